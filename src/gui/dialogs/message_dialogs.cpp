#include "gui/dialogs/message_dialogs.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

#include "gui/app/app_context.h"
#include "gui/dialogs/fonts.h"

namespace orvanta::gui {

void ClickLabel::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton)
    event->accept();
  else
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit Clicked();
  else
    QLabel::mouseReleaseEvent(event);
}

MessageDialog::MessageDialog(QWidget *owner, const QString &title, int infoTop, const QString &background,
                             std::pair<int, int> growInto)
    : SkinnedWindow(owner, kDialogSize, background), infoTop_(infoTop), room_(growInto) {
  if (room_.second - room_.first < kInfoLabelSize.height())
    room_ = {infoTop, infoTop + kInfoLabelSize.height()};
  setWindowTitle(title);
  actionLabel_ = AddLabel(QStringLiteral("ActionLabel"), QRect(16, 5, 268, 16), Arial(13, true), Qt::white);
  actionLabel_->setText(title);
  infoLabel_ = AddLabel(QStringLiteral("InfoLabel"), QRect(QPoint(20, infoTop), kInfoLabelSize),
                        Arial(13, true), kMessageColour);
  infoLabel_->setAlignment(Qt::AlignCenter);
  infoLabel_->setWordWrap(true);
}

void MessageDialog::SetMessage(const QString &text) {
  infoLabel_->setText(text);
  const int roomHeight = room_.second - room_.first;
  const QRect room(0, 0, kInfoLabelSize.width(), roomHeight);
  const int needed =
      infoLabel_->fontMetrics().boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, text).height();
  const int height = std::clamp(needed, kInfoLabelSize.height(), roomHeight);
  const int centred = infoTop_ + (kInfoLabelSize.height() - height) / 2;
  const int top = std::clamp(centred, room_.first, room_.second - height);
  infoLabel_->setGeometry(20, top, kInfoLabelSize.width(), height);
}

void MessageDialog::keyPressEvent(QKeyEvent *event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    EnterPressed();
    return;
  }
  SkinnedWindow::keyPressEvent(event);
}

// The room a long message may take: the dark band of the artwork, below
// the title and above the light part with the buttons.
constexpr std::pair<int, int> kMessageRoom{32, 130};

TForm3a::TForm3a(AppContext &context, QWidget *owner)
    : MessageDialog(owner, context.Text(MessageId::Information), 64,
                    Artwork("dialog_message"), kMessageRoom) {
  setObjectName(QStringLiteral("TForm3a"));
  button1_ = AddOkButton(1, {94, 166}, {106, 172}, context.Text(MessageId::OkButton));
  connect(button1_, &ImageButton::Clicked, this, &QDialog::accept);
}

void TForm3a::Inform(const QString &text) {
  SetMessage(text);
  exec();
}

TForm3b::TForm3b(AppContext &context, QWidget *owner)
    : MessageDialog(owner, context.Text(MessageId::Confirmation), 56,
                    Artwork("dialog_message"), kMessageRoom) {
  setObjectName(QStringLiteral("TForm3b"));
  button1_ = AddOkButton(1, {34, 166}, {46, 172}, context.Text(MessageId::YesButton));
  button2_ = AddOkButton(2, {158, 166}, {170, 172}, context.Text(MessageId::NoButton));
  connect(button1_, &ImageButton::Clicked, this, &TForm3b::Button1Click);
  connect(button2_, &ImageButton::Clicked, this, &QDialog::reject);
}

void TForm3b::showEvent(QShowEvent *event) {
  confirmed_ = false;
  MessageDialog::showEvent(event);
}

void TForm3b::Button1Click() {
  confirmed_ = true;
  accept();
}

bool TForm3b::Ask(const QString &question) {
  SetMessage(question);
  exec();
  return confirmed_;
}

HintDialog::HintDialog(AppContext &context, QWidget *owner, SettingsFlag flag, const QString &hint)
    : MessageDialog(owner, context.Text(MessageId::HintTitle), 48, Artwork("dialog")),
      context_(context), flag_(flag) {
  SetMessage(hint);
  check1_ = new QCheckBox(this);
  check1_->setObjectName(QStringLiteral("Check1"));
  check1_->setGeometry(52, 125, 17, 17);
  QPalette box = check1_->palette();
  box.setColor(QPalette::Window, kCheckColour);
  box.setColor(QPalette::Button, kCheckColour);
  check1_->setPalette(box);
  check1_->setAutoFillBackground(true);
  auto *label = new ClickLabel(this);
  label->setObjectName(QStringLiteral("CheckLabel"));
  label->setFont(Arial(11, true));
  QPalette text = label->palette();
  text.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(text);
  label->setText(context.Text(MessageId::DoNotShowAgain));
  label->adjustSize();
  label->move(check1_->x() + check1_->width() + 8, 128);
  checkLabel_ = label;
  connect(label, &ClickLabel::Clicked, check1_, &QCheckBox::toggle);
  button1_ = AddOkButton(1, {94, 158}, {106, 164}, context.Text(MessageId::OkButton));
  connect(button1_, &ImageButton::Clicked, this, &HintDialog::Button1Click);
}

void HintDialog::Button1Click() {
  if (check1_->isChecked())
    context_.ClearFlag(flag_);
  accept();
}

TForm3c::TForm3c(AppContext &context, QWidget *owner)
    : HintDialog(context, owner, SettingsFlag::Hint1,
                 context.Text(MessageId::DeepScanHint)) {
  setObjectName(QStringLiteral("TForm3c"));
}

TForm3d::TForm3d(AppContext &context, QWidget *owner)
    : HintDialog(context, owner, SettingsFlag::Hint2,
                 context.Text(MessageId::ResultsHint)) {
  setObjectName(QStringLiteral("TForm3d"));
}

} // namespace orvanta::gui
