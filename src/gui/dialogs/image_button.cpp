#include "gui/dialogs/image_button.h"

#include "gui/dialogs/fonts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace orvanta::gui {

ButtonFocus::ButtonFocus(QWidget *window) : QWidget(window) {
  setObjectName(QStringLiteral("ButtonFocus"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::TabFocus);
}

void ButtonFocus::paintEvent(QPaintEvent *) {
  if (!hasFocus())
    return;
  // A dotted frame just inside the button's edge, in the caption colour,
  // with a light line beside it so that it shows on light and dark artwork.
  QPainter painter(this);
  const QRect frame = rect().adjusted(2, 2, -3, -3);
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(frame.adjusted(1, 1, -1, -1));
  painter.setPen(QPen(kButtonTextColour, 1, Qt::DotLine));
  painter.drawRect(frame);
}

void ButtonFocus::keyPressEvent(QKeyEvent *event) {
  switch (event->key()) {
  case Qt::Key_Space:
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (!event->isAutoRepeat())
      emit Pressed();
    event->accept();
    return;
  default:
    QWidget::keyPressEvent(event);
  }
}

ImageButton::ImageButton(QWidget *window, const Look &look) : QObject(window) {
  normal_ = new SvgImage(look.Normal, window);
  normal_->setObjectName(look.Name);
  normal_->setGeometry(look.Images);
  hover_ = new SvgImage(look.Hover, window);
  hover_->setObjectName(look.HoverName);
  hover_->setGeometry(look.Images);
  hover_->hide();
  QList<QWidget *> parts{normal_, hover_};
  if (!look.Caption.isEmpty()) {
    caption_ = new QLabel(window);
    caption_->setObjectName(look.CaptionName);
    caption_->setGeometry(look.Caption);
    caption_->setAlignment(Qt::AlignCenter);
    parts << caption_;
  }
  for (QWidget *part : parts) {
    part->setCursor(Qt::PointingHandCursor);
    part->installEventFilter(this);
  }
  focus_ = new ButtonFocus(window);
  focus_->setObjectName(look.Name + "Focus");
  focus_->setGeometry(look.Images);
  connect(focus_, &ButtonFocus::Pressed, this, [this] {
    if (Enabled())
      emit Clicked();
  });
}

void ImageButton::SetHover(bool on) {
  if (Hovered() == on)
    return;
  hover_->setVisible(on);
  normal_->setVisible(!on);
  if (caption_)
    caption_->raise();
  focus_->raise();
}

void ImageButton::SetToolTip(const QString &text) {
  normal_->setToolTip(text);
  hover_->setToolTip(text);
  focus_->setAccessibleName(text);
}

void ImageButton::SetEnabled(bool enabled) {
  normal_->setEnabled(enabled);
  hover_->setEnabled(enabled);
  if (caption_)
    caption_->setEnabled(enabled);
  focus_->setEnabled(enabled);
  if (!enabled)
    SetHover(false);
}

bool ImageButton::eventFilter(QObject *watched, QEvent *event) {
  auto *part = qobject_cast<QWidget *>(watched);
  if (!part)
    return false;
  switch (event->type()) {
  case QEvent::Enter:
    emit Entered();
    return false;
  case QEvent::MouseButtonPress:
    return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
  case QEvent::MouseButtonRelease: {
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() == Qt::LeftButton && part->rect().contains(mouse->position().toPoint()))
      emit Clicked();
    return mouse->button() == Qt::LeftButton;
  }
  default:
    return false;
  }
}

ImageButton *MakeCaptionedButton(QWidget *window, const QString &name, const char *normal,
                                 const char *hover, QRect images, QRect caption,
                                 const QFont &font, const QString &text) {
  auto *button = new ImageButton(window, {Artwork(normal), Artwork(hover), images, caption, name,
                                          name + "Hover", name + "Label"});
  QLabel *label = button->Caption();
  label->setFont(font);
  QPalette face = label->palette();
  face.setColor(QPalette::WindowText, kButtonTextColour);
  label->setPalette(face);
  label->setText(text);
  return button;
}

} // namespace orvanta::gui
