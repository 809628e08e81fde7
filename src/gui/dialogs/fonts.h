#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace orvanta::gui {

// A font asked for by family name and pixel size; the desktop's font
// configuration supplies its nearest match (Liberation Sans for Arial,
// DejaVu Sans for Verdana).
inline QFont PixelFont(const QString &family, int pixels, bool bold = false) {
  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

inline QFont Arial(int pixels, bool bold = false) { return PixelFont(QStringLiteral("Arial"), pixels, bold); }
inline QFont Verdana(int pixels, bool bold = false) {
  return PixelFont(QStringLiteral("Verdana"), pixels, bold);
}

// Colours of the skinned windows.
inline const QColor kSkinColour{0xC3, 0xF4, 0xFF};
inline const QColor kMessageColour{0xF8, 0xFC, 0xD7};
inline const QColor kButtonTextColour{0x62, 0x81, 0xA2};
inline const QColor kCheckColour{0x5C, 0x9B, 0xD3};

} // namespace orvanta::gui
