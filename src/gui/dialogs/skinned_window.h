#pragma once

#include <QDialog>
#include <QLabel>
#include <QList>
#include <QSize>

#include "gui/dialogs/image_button.h"
#include "gui/dialogs/svg_image.h"
#include "gui/dialogs/top_band_drag.h"

namespace orvanta::gui {

class AppContext;

// Lets the buttons of one window show their hover images: the mouse on a
// button's controls shows its hover image (the other buttons go back to
// normal), the mouse over the background puts every button back.
class HoverGroup : public QObject {
  Q_OBJECT
public:
  HoverGroup(QWidget *background);
  void Add(ImageButton *button);
  void RestoreAll();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QWidget *window_;
  QList<ImageButton *> buttons_;
};

// Places a top-level window centred on the frame of its parent's window, as
// a position of the program's own, before it is shown: window managers keep
// such a position, where they place a window left to them by their own rule
// (Openbox: the screen's free top-left). Nothing without a parent.
void CentreOnParent(QWidget &window);

// A borderless skinned window shown modally: a fixed size, the skin colour
// where the artwork leaves gaps, the artwork (`WndImage`) over the whole
// client area, dragging by the top band of 60 pixels, Escape closes it, and
// it opens centred on the window that owns it.
class SkinnedWindow : public QDialog {
  Q_OBJECT
public:
  static constexpr int kDragBand = 60;

  SkinnedWindow(QWidget *owner, QSize size, const QString &background);

  SvgImage *WndImage() const { return wndImage_; }
  TopBandDrag *Drag() const { return drag_; }
  HoverGroup *Hover() const { return hover_; }

protected:
  // The 111 × 28 button of the dialogs, with its caption label 90 × 16
  // placed 12, 6 inside it (Verdana bold 13, #6281A2).
  ImageButton *AddOkButton(int number, QPoint imageTopLeft, QPoint captionTopLeft,
                           const QString &caption);
  // A transparent text label.
  QLabel *AddLabel(const QString &name, QRect geometry, const QFont &font, const QColor &colour);

  void showEvent(QShowEvent *event) override;

public:
  // Centred on the owner before it is shown.
  void setVisible(bool visible) override;

private:
  SvgImage *wndImage_;
  TopBandDrag *drag_;
  HoverGroup *hover_;
};

} // namespace orvanta::gui
