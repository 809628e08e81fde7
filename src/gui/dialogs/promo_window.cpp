#include "gui/dialogs/promo_window.h"

#include "gui/app/app_context.h"
#include "gui/dialogs/fonts.h"
#include "gui/dialogs/message_dialogs.h"

namespace orvanta::gui {

namespace {

struct PromoTexts {
  QString Title;
  QString Body; // rich text
};

QString Paragraph(const QString &text) { return "<p>" + text.toHtmlEscaped() + "</p>"; }

PromoTexts TextsFor(const AppContext &c, SettingsFlag flag) {
  if (flag == SettingsFlag::Promo1)
    return {c.Text(MessageId::Promo1Title),
            Paragraph(c.Text(MessageId::Promo1Message1)) +
                "<p style=\"font-family:'DejaVu Sans Mono',monospace\">" +
                c.Text(MessageId::Promo1Example).toHtmlEscaped() +
                "</p>" +
                Paragraph(c.Text(MessageId::Promo1Message2))};
  return {c.Text(MessageId::Promo2Title),
          "<ul style=\"margin-left:-24px\"><li>" +
              c.Text(MessageId::Promo2Message1)
                  .toHtmlEscaped() +
              "</li><li>" +
              c.Text(MessageId::Promo2Message2)
                  .toHtmlEscaped() +
              "</li><li>" +
              c.Text(MessageId::Promo2Message3)
                  .toHtmlEscaped() +
              "</li></ul>"};
}

} // namespace

PromoWindow::PromoWindow(AppContext &context, QWidget *owner, SettingsFlag flag)
    : SkinnedWindow(owner, {420, 300}, Artwork("promo_window")), context_(context), flag_(flag) {
  setObjectName(flag == SettingsFlag::Promo1 ? QStringLiteral("PromoWindow1")
                                             : QStringLiteral("PromoWindow2"));
  const PromoTexts texts = TextsFor(context, flag);
  setWindowTitle(texts.Title);
  // The artwork: title band 0-32, dark text area 24,48 372 x 164, light
  // footer from 226 with the check box and OK.
  actionLabel_ = AddLabel(QStringLiteral("ActionLabel"), QRect(16, 8, 360, 18), Arial(13, true), Qt::white);
  actionLabel_->setText(texts.Title);
  infoLabel_ = AddLabel(QStringLiteral("InfoLabel"), QRect(32, 52, 356, 156), Arial(13), kMessageColour);
  infoLabel_->setTextFormat(Qt::RichText);
  infoLabel_->setWordWrap(true);
  infoLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  infoLabel_->setText(texts.Body);

  check1_ = new QCheckBox(this);
  check1_->setObjectName(QStringLiteral("Check1"));
  check1_->setGeometry(24, 236, 17, 17);
  auto *label = new ClickLabel(this);
  label->setObjectName(QStringLiteral("CheckLabel"));
  label->setFont(Arial(11, true));
  label->setText(context.Text(MessageId::DoNotShowAgain));
  label->adjustSize();
  label->move(check1_->x() + check1_->width() + 8, 238);
  checkLabel_ = label;
  connect(label, &ClickLabel::Clicked, check1_, &QCheckBox::toggle);

  button1_ = AddOkButton(1, {154, 262}, {166, 268}, context.Text(MessageId::OkButton));
  connect(button1_, &ImageButton::Clicked, this, &QDialog::accept);
}

void PromoWindow::done(int result) {
  if (check1_->isChecked())
    context_.ClearFlag(flag_);
  SkinnedWindow::done(result);
}

} // namespace orvanta::gui
