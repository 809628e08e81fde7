#include "gui/app/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStylePainter>

#include "gui/app/app_context.h"
#include "gui/desktop/drive_names.h"
#include "gui/dialogs/about_window.h"
#include "gui/dialogs/fonts.h"
#include "gui/dialogs/message_dialogs.h"
#include "gui/dialogs/promo_window.h"
#include "gui/results/results_window.h"

namespace orvanta::gui {

namespace {

// The real dialogs: the long-lived Information and Confirmation dialogs (or
// ones made for the occasion when none were attached) and the hint.
class WindowDialogs final : public MainWindowDialogs {
public:
  WindowDialogs(AppContext &context, TForm1a &window) : context_(context), window_(window) {}

  void Inform(const QString &text) override {
    if (TForm3a *dialog = window_.Information()) {
      dialog->Inform(text);
      return;
    }
    TForm3a dialog(context_, &window_);
    dialog.Inform(text);
  }
  bool Ask(const QString &question) override {
    if (TForm3b *dialog = window_.Confirmation())
      return dialog->Ask(question);
    TForm3b dialog(context_, &window_);
    return dialog.Ask(question);
  }
  void DeepScanHint() override {
    TForm3c hint(context_, &window_);
    hint.exec();
  }
  void ShowResults() override {
    TForm1b results(context_, &window_);
    results.Populate();
    results.exec();
  }

private:
  AppContext &context_;
  TForm1a &window_;
};

} // namespace

void DriveComboBox::paintEvent(QPaintEvent *) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width());
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

TForm1a::TForm1a(AppContext &context)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      context_(context) {
  setObjectName(QStringLiteral("TForm1a"));
  setWindowTitle(QStringLiteral("Orvanta"));
  setFixedSize(kSize);
  setFont(Arial(11));
  QPalette skin = palette();
  skin.setColor(QPalette::Window, kSkinColour);
  setPalette(skin);
  setAutoFillBackground(true);

  wndImage_ = new SvgImage(Artwork("main_window"), this);
  wndImage_->setObjectName(QStringLiteral("WndImage"));
  wndImage_->setGeometry(rect());
  auto *hover = new HoverGroup(wndImage_);

  const AppContext &c = context_;
  topButton1_ = AddTitleButton(1, "title_about", {565, 11, 36, 27}, c.Text(MessageId::AboutButton));
  topButton2_ = AddTitleButton(2, "title_minimize", {603, 11, 41, 27},
                               c.Text(MessageId::MinimizeButton));
  topButton3_ = AddTitleButton(3, "title_close", {646, 12, 41, 27}, c.Text(MessageId::CloseButton));

  AddCaption("DriveLabel", {32, 139, 80, 30}, c.Text(MessageId::SelectDrive));
  driveBox_ = new DriveComboBox(this);
  driveBox_->setObjectName(QStringLiteral("DriveBox"));
  driveBox_->setGeometry(118, 144, 80, 22);
  driveBox_->setEditable(false);
  driveBox_->view()->setTextElideMode(Qt::ElideNone);
  AddCaption("MaskLabel", {208, 139, 80, 30}, c.Text(MessageId::FileOrMask));
  maskEdit_ = new QLineEdit(QStringLiteral("*.*"), this);
  maskEdit_->setObjectName(QStringLiteral("MaskEdit"));
  maskEdit_->setGeometry(294, 144, 80, 22);
  AddCaption("ModeLabel", {382, 139, 80, 30}, c.Text(MessageId::SelectMode));
  check1_ = new QRadioButton(this);
  check1_->setObjectName(QStringLiteral("Check1"));
  check1_->setGeometry(472, 147, 16, 16);
  check1_->setChecked(true);
  QLabel *checkLabel1 = AddCaption("CheckLabel1", {492, 139, 72, 30}, c.Text(MessageId::QuickScan));
  check2_ = new QRadioButton(this);
  check2_->setObjectName(QStringLiteral("Check2"));
  check2_->setGeometry(572, 147, 16, 16);
  QLabel *checkLabel2 = AddCaption("CheckLabel2", {593, 139, 72, 30}, c.Text(MessageId::DeepScan));
  for (QLabel *label : {checkLabel1, checkLabel2}) {
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setCursor(Qt::PointingHandCursor);
  }
  connect(static_cast<ClickLabel *>(checkLabel1), &ClickLabel::Clicked, this, &TForm1a::CheckLabel1Click);
  connect(static_cast<ClickLabel *>(checkLabel2), &ClickLabel::Clicked, this, &TForm1a::CheckLabel2Click);

  infoList_ = new QPlainTextEdit(this);
  infoList_->setObjectName(QStringLiteral("InfoList"));
  infoList_->setGeometry(28, 184, 640, 200);
  infoList_->setReadOnly(true);
  infoList_->setLineWrapMode(QPlainTextEdit::NoWrap);
  infoList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  infoList_->setFont(Arial(13));

  resultLabel1_ = new QLabel(c.Text(MessageId::Found), this);
  resultLabel1_->setObjectName(QStringLiteral("ResultLabel1"));
  resultLabel1_->setFont(Arial(13, true));
  resultLabel1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  resultLabel2_ = new QLabel(QStringLiteral("0"), this);
  resultLabel2_->setObjectName(QStringLiteral("ResultLabel2"));
  resultLabel2_->setFont(Arial(13, true));
  resultLabel2_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  PlaceCounter();

  progressBarA_ = new SvgImage(Artwork("progress_track"), this);
  progressBarA_->setObjectName(QStringLiteral("ProgressBarA"));
  progressBarA_->setGeometry(80, 432, 557, 14);
  progressBarA_->hide();
  progressBarB_ = new SvgImage(Artwork("progress_fill"), this);
  progressBarB_->setObjectName(QStringLiteral("ProgressBarB"));
  progressBarB_->SetArtworkSize({557, 14});
  progressBarB_->setGeometry(80, 432, 557, 14);
  progressBarB_->hide();

  button1_ = AddCommand(1, {50, 458}, c.Text(MessageId::FindButton));
  button2_ = AddCommand(2, {266, 458}, c.Text(MessageId::WipeButton));
  button3_ = AddCommand(3, {482, 458}, c.Text(MessageId::CloseButton));
  for (ImageButton *b : {topButton1_, topButton2_, topButton3_, button1_, button2_, button3_})
    hover->Add(b);
  connect(button1_, &ImageButton::Clicked, this, &TForm1a::Button1Click);
  connect(button2_, &ImageButton::Clicked, this, &TForm1a::Button2Click);
  connect(button3_, &ImageButton::Clicked, this, &TForm1a::Button3Click);
  connect(topButton1_, &ImageButton::Clicked, this, &TForm1a::TopButton1Click);
  connect(topButton2_, &ImageButton::Clicked, this, &TForm1a::TopButton2Click);
  connect(topButton3_, &ImageButton::Clicked, this, &TForm1a::Button3Click);
  connect(driveBox_, &QComboBox::currentIndexChanged, this, &TForm1a::DriveBoxChange);
  connect(&context_.HotPlug(), &HotPlugMonitor::DrivesChanged, this, &TForm1a::DrivesChanged);

  // The fields and every command take the keyboard, in the order they are
  // seen: the title buttons, the fields row, the log, the command row. The
  // drive box has it first. Enter in the mask box is Find.
  for (QWidget *w : findChildren<QWidget *>())
    if (!qobject_cast<ButtonFocus *>(w))
      w->setFocusPolicy(Qt::NoFocus);
  QWidget *fields[] = {driveBox_, maskEdit_, check1_, check2_, infoList_};
  for (QWidget *w : fields)
    w->setFocusPolicy(Qt::StrongFocus);
  infoList_->setTabChangesFocus(true);
  QWidget *order[] = {topButton1_->Focus(), topButton2_->Focus(), topButton3_->Focus(),
                      driveBox_, maskEdit_, check1_, check2_, infoList_,
                      button1_->Focus(), button2_->Focus(), button3_->Focus()};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);
  driveBox_->setFocus();
  connect(maskEdit_, &QLineEdit::returnPressed, this, &TForm1a::Button1Click);

  // Dragging by the top band, left of the About button.
  new TopBandDrag(this, SkinnedWindow::kDragBand, [this] { return topButton1_->NormalImage()->x(); });

  if (QScreen *screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TForm1a::~TForm1a() { presenter_.reset(); }

std::unique_ptr<BatchingHost> TForm1a::MakeHost() { return std::make_unique<BatchingHost>(); }

MainWindowPresenter &TForm1a::Presenter() {
  if (!presenter_) {
    MainWindowPresenter::Services services{
        context_.State(), context_.Prefs(), [this] { return ListDrives(); },
        [this] { return context_.Mounter(); }, context_.Restore()};
    presenter_ = std::make_unique<MainWindowPresenter>(std::move(services), static_cast<MainWindowView &>(*this),
                                                       dispatcher_, MakeHost());
  }
  return *presenter_;
}

MainWindowDialogs &TForm1a::Dialogs() {
  if (dialogs_)
    return *dialogs_;
  if (!windowDialogs_)
    windowDialogs_ = std::make_unique<WindowDialogs>(context_, *this);
  return *windowDialogs_;
}

QLabel *TForm1a::AddCaption(const char *name, QRect geometry, const QString &text) {
  auto *label = new ClickLabel(text, this);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(geometry);
  label->setFont(Arial(11, true));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  QPalette white = label->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(white);
  return label;
}

ImageButton *TForm1a::AddCommand(int number, QPoint topLeft, const QString &caption) {
  return MakeCaptionedButton(this, QStringLiteral("Button%1").arg(number), "command_button",
                             "command_button_hover", QRect(topLeft, QSize(170, 38)),
                             QRect(topLeft + QPoint(10, 10), QSize(150, 18)), Verdana(16, true),
                             caption);
}

ImageButton *TForm1a::AddTitleButton(int number, const char *artwork, QRect geometry, const QString &tip) {
  const QString name = QStringLiteral("TopButton%1").arg(number);
  auto *button = new ImageButton(this, {Artwork(artwork), Artwork((std::string(artwork) + "_hover").c_str()),
                                        geometry, {}, name, name + "Hover", {}});
  button->SetToolTip(tip);
  return button;
}

void TForm1a::AttachDialogs(TForm3a *information, TForm3b *confirmation) {
  information_ = information;
  confirmation_ = confirmation;
}

void TForm1a::PlaceCounter() {
  const int numberWidth = resultLabel2_->fontMetrics().horizontalAdvance(resultLabel2_->text());
  resultLabel2_->setGeometry(kCounterRight - numberWidth, 396, numberWidth, 16);
  const int captionWidth = resultLabel1_->fontMetrics().horizontalAdvance(resultLabel1_->text());
  resultLabel1_->setGeometry(resultLabel2_->x() - captionWidth - 10, 396, captionWidth, 16);
}

void TForm1a::SetCounter(std::int64_t count) {
  resultLabel2_->setText(QString::number(count));
  PlaceCounter();
}

std::vector<DriveItem> TForm1a::ListDrives() {
  std::vector<DriveItem> items;
  for (const DriveEntry &entry : context_.Drives().Refresh())
    items.push_back({std::string{entry.Letter, ':'}, DriveItemText(entry), entry.Path.string()});
  return items;
}

void TForm1a::ShowDrives(const std::vector<DriveItem> &items, int selected) {
  const QSignalBlocker quiet(driveBox_);
  driveBox_->clear();
  int widest = 0;
  for (const DriveItem &item : items) {
    const QString text = QString::fromStdString(item.Text);
    driveBox_->addItem(text, QString::fromStdString(item.DrivePath));
    widest = std::max(widest, driveBox_->fontMetrics().horizontalAdvance(text));
  }
  // The list opens as wide as its longest item; the closed box shows the
  // start of the selected one.
  driveBox_->view()->setMinimumWidth(widest + 32);
  driveBox_->setCurrentIndex(selected);
  driveBox_->setToolTip(driveBox_->currentText());
}

void TForm1a::ClearLog() { infoList_->clear(); }

void TForm1a::AppendLog(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines)
    (text += line) += '\n';
  if (!text.empty())
    text.pop_back();
  infoList_->appendPlainText(QString::fromStdString(text));
}

void TForm1a::ShowCounterCaption(const std::string &caption) {
  resultLabel1_->setText(QString::fromStdString(caption));
  PlaceCounter();
}

void TForm1a::ShowCounter(std::int64_t value) { SetCounter(value); }

void TForm1a::ShowProgressBar(bool shown) {
  progressBarA_->setVisible(shown);
  progressBarB_->setVisible(shown);
}

void TForm1a::ShowProgressWidth(int width) {
  progressBarB_->resize(std::clamp(width, 0, kProgressTrackWidth), progressBarB_->height());
}

void TForm1a::ShowLook(const MainWindowLook &look) {
  for (QWidget *w : std::initializer_list<QWidget *>{driveBox_, maskEdit_, check1_, check2_})
    w->setEnabled(look.FieldsEnabled);
  button1_->Caption()->setText(QString::fromStdString(look.FindCaption));
  button2_->Caption()->setText(QString::fromStdString(look.WipeCaption));
  button1_->SetEnabled(look.FindEnabled);
  button2_->SetEnabled(look.WipeEnabled);
  button3_->SetEnabled(look.CloseEnabled);
}

void TForm1a::CheckMode(bool deep) {
  QRadioButton *mode = deep ? check2_ : check1_;
  if (!mode->isChecked())
    mode->setChecked(true);
}

std::string TForm1a::Mask() const { return maskEdit_->text().toStdString(); }

bool TForm1a::DeepScan() const { return check2_->isChecked(); }

void TForm1a::Inform(const std::string &text) { Dialogs().Inform(QString::fromStdString(text)); }

bool TForm1a::Ask(const std::string &question) { return Dialogs().Ask(QString::fromStdString(question)); }

void TForm1a::ShowDeepScanHint() { Dialogs().DeepScanHint(); }

void TForm1a::ShowResults() {
  hide();
  Dialogs().ShowResults();
  show();
}

void TForm1a::ShowAbout() {
  TForm2a about(context_, this);
  about.exec();
}

void TForm1a::ShowTips(SettingsFlag flag) {
  hide();
  PromoWindow promo(context_, this, flag);
  promo.exec();
}

void TForm1a::CloseWindow() { close(); }

void TForm1a::CommandEnded(MainCommand command) {
  if (command == MainCommand::Find)
    emit FindFinished();
  else
    emit WipeFinished();
}

void TForm1a::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  // The window coming back from the minimised state is no new show.
  if (!event->spontaneous())
    ShowForm();
}

void TForm1a::ShowForm() { Presenter().Show(); }

void TForm1a::DrivesChanged() {
  if (isVisible())
    Presenter().DrivesChanged();
}

void TForm1a::DriveBoxChange() {
  driveBox_->setToolTip(driveBox_->currentText());
  Presenter().SelectDrive(driveBox_->currentIndex());
}

void TForm1a::CheckLabel1Click() { Presenter().ModeLabelClicked(false); }

void TForm1a::CheckLabel2Click() { Presenter().ModeLabelClicked(true); }

void TForm1a::Button1Click() { Presenter().FindClicked(); }

void TForm1a::Button2Click() { Presenter().WipeClicked(); }

void TForm1a::Button3Click() { Presenter().CloseClicked(); }

void TForm1a::TopButton1Click() { Presenter().AboutClicked(); }

void TForm1a::TopButton2Click() { showMinimized(); }


void TForm1a::RestoreRequest() {
  if (windowState() & Qt::WindowMinimized)
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  // The open modal window, if there is one (the main window may be hidden
  // behind a tips window); else the main window when it is shown.
  QWidget *front = QApplication::activeModalWidget();
  if (!front && isVisible())
    front = this;
  if (!front)
    return;
  if (front->windowState() & Qt::WindowMinimized)
    front->setWindowState(front->windowState() & ~Qt::WindowMinimized);
  front->raise();
  front->activateWindow();
}

void TForm1a::closeEvent(QCloseEvent *event) {
  if (!Presenter().CloseRequested()) {
    event->ignore();
    return;
  }
  event->accept();
  emit Closed();
}

} // namespace orvanta::gui
