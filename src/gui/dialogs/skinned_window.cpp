#include "gui/dialogs/skinned_window.h"

#include <QEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

#include "gui/dialogs/fonts.h"

namespace orvanta::gui {

HoverGroup::HoverGroup(QWidget *background) : QObject(background) {
  background->setMouseTracking(true);
  background->installEventFilter(this);
  window_ = background->window();
  window_->installEventFilter(this);
}

void HoverGroup::Add(ImageButton *button) {
  buttons_ << button;
  connect(button, &ImageButton::Entered, this, [this, button] {
    if (button->Hovered())
      return;
    RestoreAll();
    button->SetHover(true);
  });
}

void HoverGroup::RestoreAll() {
  for (ImageButton *b : buttons_)
    b->SetHover(false);
}

bool HoverGroup::eventFilter(QObject *watched, QEvent *event) {
  // Over the background, or out of the window: every button back to normal.
  if (watched == window_ ? event->type() == QEvent::Leave
                         : event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
    RestoreAll();
  return false;
}

SkinnedWindow::SkinnedWindow(QWidget *owner, QSize size, const QString &background)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setModal(true);
  setFixedSize(size);
  QPalette skin = palette();
  skin.setColor(QPalette::Window, kSkinColour);
  setPalette(skin);
  setAutoFillBackground(true);
  setFont(Arial(11));
  wndImage_ = new SvgImage(background, this);
  wndImage_->setObjectName(QStringLiteral("WndImage"));
  wndImage_->setGeometry(rect());
  drag_ = new TopBandDrag(this, kDragBand);
  hover_ = new HoverGroup(wndImage_);
}

ImageButton *SkinnedWindow::AddOkButton(int number, QPoint imageTopLeft, QPoint captionTopLeft,
                                        const QString &caption) {
  const QString name = QStringLiteral("Button%1").arg(number);
  auto *button = new ImageButton(
      this, {Artwork("ok_button"), Artwork("ok_button_hover"), QRect(imageTopLeft, QSize(111, 28)),
             QRect(captionTopLeft, QSize(90, 16)), name + "A", name + "B", name + "Label"});
  QLabel *label = button->Caption();
  label->setFont(Verdana(13, true));
  QPalette text = label->palette();
  text.setColor(QPalette::WindowText, kButtonTextColour);
  label->setPalette(text);
  label->setText(caption);
  hover_->Add(button);
  return button;
}

QLabel *SkinnedWindow::AddLabel(const QString &name, QRect geometry, const QFont &font,
                                const QColor &colour) {
  auto *label = new QLabel(this);
  label->setObjectName(name);
  label->setGeometry(geometry);
  label->setFont(font);
  QPalette text = label->palette();
  text.setColor(QPalette::WindowText, colour);
  label->setPalette(text);
  return label;
}

void CentreOnParent(QWidget &window) {
  QWidget *parent = window.parentWidget();
  if (!parent)
    return;
  const QRect around = parent->window()->frameGeometry();
  const QSize size = window.frameGeometry().size();
  QPoint topLeft = around.center() - QPoint(size.width() / 2, size.height() / 2);
  // Kept on the parent's screen.
  if (const QScreen *screen = parent->window()->screen()) {
    const QRect room = screen->availableGeometry();
    topLeft.setX(std::clamp(topLeft.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
    topLeft.setY(std::clamp(topLeft.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
  }
  window.move(topLeft);
  // A window shown before keeps its native window: the position goes to it
  // as well, since a move to where the widget already is would not reach it.
  if (QWindow *native = window.windowHandle())
    native->setFramePosition(topLeft);
}

void SkinnedWindow::setVisible(bool visible) {
  if (visible && !isVisible())
    CentreOnParent(*this);
  QDialog::setVisible(visible);
}

void SkinnedWindow::showEvent(QShowEvent *event) {
  hover_->RestoreAll();
  QDialog::showEvent(event);
}

} // namespace orvanta::gui
