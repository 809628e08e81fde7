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
#include "jobs/preview.h"
#include "jobs/volume_opener.h"
#include "jobs/volume_texts.h"

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

// The device as the wipe question names it, as the drive box does: a block
// device by its kernel name ("sdb1"), an image by its file name.
std::string DeviceNameOf(const std::filesystem::path &device) { return device.filename().string(); }

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

TForm1a::~TForm1a() { runner_.reset(); }

std::unique_ptr<BatchingHost> TForm1a::MakeHost() { return std::make_unique<BatchingHost>(); }

OperationRunner &TForm1a::Runner() {
  if (!runner_)
    runner_ = std::make_unique<OperationRunner>(dispatcher_, static_cast<RunnerView &>(*this), MakeHost());
  return *runner_;
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

void TForm1a::Log(const QString &line) { infoList_->appendPlainText(line); }

std::vector<DriveItem> TForm1a::ListDrives() {
  std::vector<DriveItem> items;
  for (const DriveEntry &entry : context_.Drives().Refresh())
    items.push_back({std::string{entry.Letter, ':'}, DriveItemText(entry), entry.Path.string()});
  return items;
}

void TForm1a::FillDriveBox(const std::vector<DriveItem> &items, int select) {
  const QSignalBlocker quiet(driveBox_);
  shownDrives_ = items;
  // A letter means the device of this listing from now on.
  context_.State().Vol.ForgetDevice();
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
  driveBox_->setCurrentIndex(items.empty() ? -1 : select);
  driveBox_->setToolTip(driveBox_->currentText());
}

void TForm1a::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  // The window coming back from the minimised state is no new show.
  if (!event->spontaneous())
    ShowForm();
}

void TForm1a::ShowForm() {
  if (operationRunning_)
    return;
  FillDriveBox(ListDrives(), 0);
  DriveBoxChange();
}

void TForm1a::DrivesChanged() {
  if (operationRunning_ || !isVisible())
    return;
  const int selected = driveBox_->currentIndex();
  const DriveItem before = selected >= 0 && selected < static_cast<int>(shownDrives_.size())
                               ? shownDrives_[static_cast<std::size_t>(selected)]
                               : DriveItem{};
  const std::vector<DriveItem> items = ListDrives();
  int keep = 0;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (!before.Device.empty() && items[i].Device == before.Device) {
      if (items[i].DrivePath == before.DrivePath) {
        FillDriveBox(items, static_cast<int>(i)); // the summary still holds
        return;
      }
      keep = static_cast<int>(i); // the same card under another letter
    }
  FillDriveBox(items, keep);
  DriveBoxChange();
}

void TForm1a::DriveBoxChange() {
  if (operationRunning_)
    return;
  driveBox_->setToolTip(driveBox_->currentText());
  infoList_->clear();
  progressBarA_->hide();
  progressBarB_->hide();
  SetCounter(0);
  const AppContext &c = context_;
  if (driveBox_->count() == 0) {
    Log(c.Text(MessageId::ConnectADrive));
    return;
  }
  const std::string drive = driveBox_->currentText().left(2).toStdString();
  EngineState &state = context_.State();
  // What keeps the drive from being used is said at once, not only when a
  // command is started.
  const VolumeCheck check = OpenAnyVolume(state.Vol, drive, false);
  if (check != VolumeCheck::Ok) {
    Log(context_.CheckMessage(check));
    return;
  }
  for (const std::string &line : DriveSummaryLines(state.Vol.Geometry()))
    Log(QString::fromStdString(line));
  Log(QString());
  Log(c.Text(MessageId::PressFind));
}

void TForm1a::CheckLabel1Click() {
  if (!operationRunning_ && !check1_->isChecked())
    check1_->setChecked(true);
}

void TForm1a::CheckLabel2Click() {
  if (!operationRunning_ && !check2_->isChecked())
    check2_->setChecked(true);
}

void TForm1a::Button1Click() {
  if (!operationRunning_)
    StartFind();
  else if (running_ == Command::Find)
    AskStop();
}

void TForm1a::StartFind() {
  if (driveBox_->count() == 0) {
    Dialogs().Inform(context_.Text(MessageId::DriveNotFound));
    return;
  }

  FindOptions options;
  options.Drive = driveBox_->currentText().left(2).toStdString();
  options.Mask = maskEdit_->text().toStdString();
  options.Deep = check2_->isChecked();
  // On the worker, after the window was prepared: the hint is shown on the
  // window's thread while the worker waits for it to close. It waits for an
  // open "Cancel operation?" too, and a Stop confirmed there ends the run
  // before the hint.
  options.BeforeScan = [this] {
    Runner().OnFrontEnd([this] {
      Runner().ShowUpdates();
      if (Host().Running() && context_.Prefs().Hint1())
        Dialogs().DeepScanHint();
    });
  };

  // The checks run on the worker too; the window is prepared only when they
  // passed (the host's first batch says so).
  operationRunning_ = true;
  running_ = Command::Find;
  Runner().Start<FindOutcome>(
      [this, options](OperationHost &host) { return RunFind(context_.State(), host, options); },
      [this](const FindOutcome &outcome) { FindEnded(outcome); });
}

void TForm1a::AskStop() {
  if (runner_)
    runner_->AskStop(Text(context_.Language(), MessageId::CancelOperation));
}

bool TForm1a::AskStop(const std::string &question) { return Dialogs().Ask(QString::fromStdString(question)); }

void TForm1a::ShowUpdate(const RunUpdate &update) {
  if (update.Started)
    SetRunningLook(true);
  if (update.Cleared)
    infoList_->clear();
  if (!update.Lines.empty()) {
    std::string lines;
    for (const std::string &line : update.Lines)
      (lines += line) += '\n';
    lines.pop_back();
    infoList_->appendPlainText(QString::fromStdString(lines));
  }
  if (update.CounterCaption) {
    resultLabel1_->setText(QString::fromStdString(*update.CounterCaption));
    PlaceCounter();
  }
  if (update.Counter)
    SetCounter(*update.Counter);
  if (update.ProgressWidth)
    progressBarB_->resize(std::clamp(*update.ProgressWidth, 0, kProgressTrackWidth), progressBarB_->height());
  if (update.ProgressShown) {
    progressBarA_->setVisible(*update.ProgressShown);
    progressBarB_->setVisible(*update.ProgressShown);
  }
}

void TForm1a::SetRunningLook(bool running) {
  for (QWidget *w : std::initializer_list<QWidget *>{driveBox_, maskEdit_, check1_, check2_})
    w->setEnabled(!running);
  // The running command's button is its Stop button; the others wait.
  const bool wipe = running_ == Command::Wipe;
  const QString stop = context_.Text(MessageId::StopButton);
  button1_->Caption()->setText(running && !wipe ? stop : context_.Text(MessageId::FindButton));
  button2_->Caption()->setText(running && wipe ? stop : context_.Text(MessageId::WipeButton));
  button1_->SetEnabled(!running || !wipe);
  button2_->SetEnabled(!running || wipe);
  button3_->SetEnabled(!running);
}

void TForm1a::FinishRun() {
  SetRunningLook(false);
  operationRunning_ = false;
  running_ = Command::None;
}

void TForm1a::FindEnded(const FindOutcome &outcome) {
  FinishRun();

  switch (outcome.Outcome) {
  case FindOutcome::Result::Found:
    Dialogs().Inform(QString::fromStdString(outcome.Message));
    hide();
    Dialogs().ShowResults();
    show();
    break;
  case FindOutcome::Result::NothingFound:
  case FindOutcome::Result::Refused:
    Dialogs().Inform(QString::fromStdString(outcome.Message));
    break;
  case FindOutcome::Result::Busy:
    break;
  }
  emit FindFinished();
}

void TForm1a::Button2Click() {
  if (!operationRunning_)
    StartWipe();
  else if (running_ == Command::Wipe)
    AskStop();
}

void TForm1a::StartWipe() {
  const int selected = driveBox_->currentIndex();
  if (driveBox_->count() == 0 || selected < 0 || selected >= static_cast<int>(shownDrives_.size())) {
    Dialogs().Inform(context_.Text(MessageId::DriveNotFound));
    return;
  }
  WipeOptions options;
  options.Drive = driveBox_->currentText().left(2).toStdString();
  options.FreeSpace = check2_->isChecked();
  const std::filesystem::path device = shownDrives_[static_cast<std::size_t>(selected)].Device;
  options.DeviceName = DeviceNameOf(device);

  // Checks, question and run on the worker; the window is prepared when the
  // run starts (the host's first batch says so).
  operationRunning_ = true;
  running_ = Command::Wipe;
  Runner().Start<WipeOutcome>([this, options, device](OperationHost &) { return WipeOnWorker(options, device); },
                              [this](const WipeOutcome &outcome) { WipeEnded(outcome); });
}

WipeOutcome TForm1a::WipeOnWorker(const WipeOptions &options, const std::filesystem::path &device) {
  EngineState &state = context_.State();
  const auto &language = state.Language;
  // The question on the window's thread; a Stop confirmed meanwhile is a No.
  auto ask = [this](const std::string &question) {
    bool yes = false;
    Runner().OnFrontEnd([&] { yes = Host().Running() && Dialogs().Ask(QString::fromStdString(question)); });
    return yes;
  };
  WipeOutcome declined;
  declined.Outcome = WipeOutcome::Result::Declined;
  {
    WipeCheck check = CheckWipe(state, options);
    if (check.Passed()) {
      if (!ask(check.Question()))
        return declined;
      return RunCheckedWipe(state, Host(), std::move(check), options);
    }
    VolumeMounter *mounter = context_.Mounter();
    if (!check.RefusedAsMounted() || !mounter || device.empty() || !mounter->CanUnmount(device))
      return check.Refusal();
  }

  // The desktop mounted the card: with the user's consent it lets go of it
  // for the run, and gets it back however the run ends.
  VolumeMounter &mounter = *context_.Mounter();
  const std::string question =
      WipeQuestion(state, options) + "\n" + Text(language, MessageId::UnmountedForWipe);
  if (!ask(question))
    return declined;
  WipeOutcome outcome;
  if (mounter.Unmount(device) != VolumeMounter::Outcome::Done) {
    outcome.Outcome = WipeOutcome::Result::Refused;
    outcome.Message = Text(language, MessageId::CannotWrite);
    return outcome;
  }
  {
    // Checked again: unmounting wrote out what the system still held, and
    // the run works on what is on the card now.
    WipeCheck check = CheckWipe(state, options);
    outcome = check.Passed() ? RunCheckedWipe(state, Host(), std::move(check), options) : check.Refusal();
  }
  if (mounter.Mount(device) != VolumeMounter::Outcome::Done) {
    // The card is wiped but out of the file manager's sight: say how to get
    // it back, after the report.
    const std::string again = Text(language, MessageId::NotMountedAgain);
    (outcome.FailedWritesMessage.empty() ? outcome.Message : outcome.FailedWritesMessage) += "\n" + again;
  }
  return outcome;
}

void TForm1a::WipeEnded(const WipeOutcome &outcome) {
  FinishRun();
  switch (outcome.Outcome) {
  case WipeOutcome::Result::Refused:
  case WipeOutcome::Result::Done:
    Dialogs().Inform(QString::fromStdString(outcome.ReportText()));
    break;
  case WipeOutcome::Result::Declined:
  case WipeOutcome::Result::Busy:
    break;
  }
  emit WipeFinished();
}

void TForm1a::Button3Click() {
  if (operationRunning_)
    return;
  const Settings &prefs = context_.Prefs();
  if (prefs.Promo1() || prefs.Promo2()) {
    hide();
    PromoWindow promo(context_, this, prefs.Promo1() ? SettingsFlag::Promo1 : SettingsFlag::Promo2);
    promo.exec();
  }
  close();
}

void TForm1a::TopButton1Click() {
  if (operationRunning_)
    return;
  TForm2a about(context_, this);
  about.exec();
}

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
  if (operationRunning_) {
    event->ignore();
    return;
  }
  RemovePreviewCopies(context_.Restore().PreviewFolder);
  event->accept();
  emit Closed();
}

} // namespace orvanta::gui
