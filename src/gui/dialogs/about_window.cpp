#include "gui/dialogs/about_window.h"

#include "gui/app/app_context.h"
#include "gui/app/build_info.h"
#include "gui/dialogs/fonts.h"
#include "gui/dialogs/message_dialogs.h"

namespace orvanta::gui {

namespace {

// A caption sized to its text whose right edge stays at `right`.
void PlaceRightAligned(QLabel *label, int right, int top) {
  label->adjustSize();
  label->move(right - label->width(), top);
}

QLabel *AddLink(QWidget *window, const QString &name, QPoint topLeft, const QString &text,
                const QString &tip) {
  auto *link = new ClickLabel(window);
  link->setObjectName(name);
  QFont font = PixelFont(QStringLiteral("MS Sans Serif"), 11);
  font.setUnderline(true);
  link->setFont(font);
  QPalette blue = link->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  link->setPalette(blue);
  link->setCursor(Qt::PointingHandCursor);
  link->setText(text);
  link->setToolTip(tip);
  link->adjustSize();
  link->move(topLeft);
  return link;
}

} // namespace

AboutAddresses AboutAddresses::OfThisBuild() {
  return {QString::fromUtf8(build::kHomePage), QString::fromUtf8(build::kSupportEmail)};
}

TForm2a::TForm2a(AppContext &context, QWidget *owner, const AboutAddresses &addresses)
    : SkinnedWindow(owner, {577, 338}, Artwork("about_window")), context_(context) {
  setObjectName(QStringLiteral("TForm2a"));
  setWindowTitle(QStringLiteral("Orvanta"));
  const QFont captions = Arial(11, true);
  button1_ = AddOkButton(1, {230, 280}, {242, 286}, context.Text(MessageId::OkButton));
  connect(button1_, &ImageButton::Clicked, this, &QDialog::accept);

  versionLabel_ = AddLabel(QStringLiteral("VersionLabel"), QRect(328, 96, 105, 14), captions, Qt::black);
  versionLabel_->setAlignment(Qt::AlignCenter);
  versionLabel_->setText(context.Text(MessageId::Version) + " " + build::kVersion);

  const QString &homePage = addresses.HomePage;
  const QString &support = addresses.SupportEmail;
  homePageLabel2_ = AddLink(this, QStringLiteral("HomePageLabel2"), {368, 216}, homePage,
                            context.Text(MessageId::VisitHomepage));
  supportLabel2_ = AddLink(this, QStringLiteral("SupportLabel2"), {368, 236}, support,
                           context.Text(MessageId::SendLetter));
  connect(static_cast<ClickLabel *>(homePageLabel2_), &ClickLabel::Clicked, this,
          &TForm2a::HomePageLabel2Click);
  connect(static_cast<ClickLabel *>(supportLabel2_), &ClickLabel::Clicked, this,
          &TForm2a::SupportLabel2Click);

  homePageLabel1_ = AddLabel(QStringLiteral("HomePageLabel1"), {}, captions, Qt::black);
  homePageLabel1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  homePageLabel1_->setText(context.Text(MessageId::Homepage));
  PlaceRightAligned(homePageLabel1_, 358, 216);
  supportLabel1_ = AddLabel(QStringLiteral("SupportLabel1"), {}, captions, Qt::black);
  supportLabel1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  supportLabel1_->setText(context.Text(MessageId::Support));
  PlaceRightAligned(supportLabel1_, 357, 236);

  // An address the build does not name is not shown at all.
  homePageLabel1_->setVisible(!homePage.isEmpty());
  homePageLabel2_->setVisible(!homePage.isEmpty());
  supportLabel1_->setVisible(!support.isEmpty());
  supportLabel2_->setVisible(!support.isEmpty());
}

void TForm2a::HomePageLabel2Click() {
  if (!homePageLabel2_->text().isEmpty())
    context_.Opener().Open(QUrl(homePageLabel2_->text()));
}

void TForm2a::SupportLabel2Click() {
  if (!supportLabel2_->text().isEmpty())
    context_.Opener().Open(QUrl(QStringLiteral("mailto:") + supportLabel2_->text()));
}

} // namespace orvanta::gui
