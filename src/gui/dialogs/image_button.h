#pragma once

#include <QLabel>
#include <QObject>
#include <QRect>
#include <QString>

#include "gui/dialogs/svg_image.h"

namespace orvanta::gui {

// The keyboard's way onto an image button: a transparent widget over the
// button's images that Tab reaches, draws a focus mark while it has the
// focus, and presses the button on Space or Enter. The mouse goes through
// it to the images.
class ButtonFocus : public QWidget {
  Q_OBJECT
public:
  explicit ButtonFocus(QWidget *window);

signals:
  void Pressed();

protected:
  void paintEvent(QPaintEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
};

// A command of a skinned window: three controls at one place on the window,
// the normal image, the hover image (hidden at first) and a transparent
// caption over them (none for the title-area buttons). All three show the
// hand cursor and run the command when clicked; the keyboard reaches it
// through its ButtonFocus. The window switches the images: see SetHover.
class ImageButton : public QObject {
  Q_OBJECT
public:
  struct Look {
    QString Normal;    // artwork of the normal image
    QString Hover;     // artwork of the hover image
    QRect Images;      // window coordinates of both images
    QRect Caption;     // window coordinates of the caption; empty for none
    QString Name;      // the normal image's object name ("Button1A")
    QString HoverName; // the hover image's ("Button1B")
    QString CaptionName;
  };

  ImageButton(QWidget *window, const Look &look);

  SvgImage *NormalImage() const { return normal_; }
  SvgImage *HoverImage() const { return hover_; }
  QLabel *Caption() const { return caption_; }
  // The widget that takes the keyboard focus for the button.
  ButtonFocus *Focus() const { return focus_; }

  bool Hovered() const { return hover_->isVisible(); }
  // Shows the hover image instead of the normal one, or back.
  void SetHover(bool on);
  void SetToolTip(const QString &text);
  // A disabled button ignores the mouse; its images stay as they are.
  void SetEnabled(bool enabled);
  bool Enabled() const { return normal_->isEnabled(); }

signals:
  void Clicked();
  // The mouse came onto one of the button's controls.
  void Entered();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  SvgImage *normal_;
  SvgImage *hover_;
  QLabel *caption_ = nullptr;
  ButtonFocus *focus_;
};

// A button of the skinned windows named `name` (its images `name` and
// `name` + "Hover", its caption `name` + "Label"): `normal` and `hover`
// artwork at `images`, the caption `text` at `caption` in the button colour.
ImageButton *MakeCaptionedButton(QWidget *window, const QString &name, const char *normal,
                                 const char *hover, QRect images, QRect caption,
                                 const QFont &font, const QString &text);

} // namespace orvanta::gui
