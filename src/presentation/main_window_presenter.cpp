#include "presentation/main_window_presenter.h"

#include <utility>

#include "jobs/preview.h"
#include "jobs/volume_opener.h"
#include "jobs/volume_texts.h"

namespace orvanta {

MainWindowPresenter::MainWindowPresenter(Services services, MainWindowView &view, Dispatcher &dispatcher,
                                         std::unique_ptr<BatchingHost> host)
    : services_(std::move(services)), view_(view), runner_(dispatcher, *this, std::move(host)) {}

std::string MainWindowPresenter::Message(MessageId id) const { return Text(services_.State.Language, id); }

MainWindowLook MainWindowPresenter::LookFor(MainCommand command) const {
  const bool running = command != MainCommand::None;
  const bool wipe = command == MainCommand::Wipe;
  MainWindowLook look;
  look.FieldsEnabled = !running;
  look.FindCaption = Message(running && !wipe ? MessageId::StopButton : MessageId::FindButton);
  look.WipeCaption = Message(running && wipe ? MessageId::StopButton : MessageId::WipeButton);
  look.FindEnabled = !running || !wipe;
  look.WipeEnabled = !running || wipe;
  look.CloseEnabled = !running;
  return look;
}

void MainWindowPresenter::Show() {
  if (OperationRunning())
    return;
  FillDrives(services_.ListDrives(), 0);
  Summarise();
}

void MainWindowPresenter::FillDrives(std::vector<DriveItem> items, int selected) {
  drives_ = std::move(items);
  selected_ = drives_.empty() ? -1 : selected;
  // A letter means the device of this listing from now on.
  services_.State.Vol.ForgetDevice();
  view_.ShowDrives(drives_, selected_);
}

void MainWindowPresenter::DrivesChanged() {
  if (OperationRunning())
    return;
  const DriveItem before = selected_ >= 0 ? drives_[static_cast<std::size_t>(selected_)] : DriveItem{};
  std::vector<DriveItem> items = services_.ListDrives();
  int keep = 0;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (!before.Device.empty() && items[i].Device == before.Device) {
      if (items[i].DrivePath == before.DrivePath) {
        FillDrives(std::move(items), static_cast<int>(i)); // the summary still holds
        return;
      }
      keep = static_cast<int>(i); // the same card under another letter
    }
  FillDrives(std::move(items), keep);
  Summarise();
}

void MainWindowPresenter::SelectDrive(int index) {
  if (OperationRunning())
    return;
  selected_ = index >= 0 && index < static_cast<int>(drives_.size()) ? index : -1;
  Summarise();
}

void MainWindowPresenter::Summarise() {
  view_.ClearLog();
  view_.ShowProgressBar(false);
  view_.ShowCounter(0);
  if (drives_.empty()) {
    view_.AppendLog({Message(MessageId::ConnectADrive)});
    return;
  }
  if (selected_ < 0)
    return;
  EngineState &state = services_.State;
  // What keeps the drive from being used is said at once, not only when a
  // command is started.
  const VolumeCheck check = OpenAnyVolume(state.Vol, drives_[static_cast<std::size_t>(selected_)].DrivePath, false);
  if (check != VolumeCheck::Ok) {
    view_.AppendLog({VolumeCheckMessage(check, state.Language)});
    return;
  }
  std::vector<std::string> lines = DriveSummaryLines(state.Vol.Geometry());
  lines.emplace_back();
  lines.push_back(Message(MessageId::PressFind));
  view_.AppendLog(lines);
}

void MainWindowPresenter::ModeLabelClicked(bool deep) {
  if (!OperationRunning())
    view_.CheckMode(deep);
}

void MainWindowPresenter::Stop(MainCommand command) {
  if (running_ == command)
    runner_.AskStop(Message(MessageId::CancelOperation));
}

void MainWindowPresenter::FindClicked() {
  if (OperationRunning())
    Stop(MainCommand::Find);
  else
    StartFind();
}

void MainWindowPresenter::WipeClicked() {
  if (OperationRunning())
    Stop(MainCommand::Wipe);
  else
    StartWipe();
}

void MainWindowPresenter::StartFind() {
  if (selected_ < 0) {
    view_.Inform(Message(MessageId::DriveNotFound));
    view_.CommandEnded(MainCommand::Find);
    return;
  }
  FindOptions options;
  options.Drive = drives_[static_cast<std::size_t>(selected_)].DrivePath;
  options.Mask = view_.Mask();
  options.Deep = view_.DeepScan();
  // On the worker, once the window shows the run: the hint is shown on the
  // front end's thread while the worker waits for it to close. It waits for
  // an open "Cancel operation?" too, and a Stop confirmed there ends the run
  // before the hint.
  options.BeforeScan = [this] {
    runner_.OnFrontEnd([this] {
      runner_.ShowUpdates();
      if (runner_.Host().Running() && services_.Prefs.Hint1())
        view_.ShowDeepScanHint();
    });
  };
  // The checks run on the worker too; the window shows the run only once
  // they passed (the first update says so).
  running_ = MainCommand::Find;
  runner_.Start<FindOutcome>(
      [this, options](OperationHost &host) { return RunFind(services_.State, host, options); },
      [this](const FindOutcome &outcome) {
        Ended();
        switch (outcome.Outcome) {
        case FindOutcome::Result::Found:
          view_.Inform(outcome.Message);
          view_.ShowResults();
          break;
        case FindOutcome::Result::NothingFound:
        case FindOutcome::Result::Refused:
          view_.Inform(outcome.Message);
          break;
        case FindOutcome::Result::Busy:
          break;
        }
        view_.CommandEnded(MainCommand::Find);
      });
}

void MainWindowPresenter::StartWipe() {
  if (selected_ < 0) {
    view_.Inform(Message(MessageId::DriveNotFound));
    view_.CommandEnded(MainCommand::Wipe);
    return;
  }
  const DriveItem &drive = drives_[static_cast<std::size_t>(selected_)];
  WipeOptions options;
  options.Drive = drive.DrivePath;
  options.FreeSpace = view_.DeepScan();
  const std::filesystem::path device = drive.Device;
  // The question names the device as the drive box does: a block device by
  // its kernel name ("sdb1"), an image by its file name.
  options.DeviceName = device.filename().string();
  // Checks, question and run on the worker; the window shows the run once
  // it starts (the first update says so).
  running_ = MainCommand::Wipe;
  runner_.Start<WipeOutcome>(
      [this, options, device](OperationHost &) { return WipeOnWorker(options, device); },
      [this](const WipeOutcome &outcome) {
        Ended();
        if (outcome.Outcome == WipeOutcome::Result::Refused || outcome.Outcome == WipeOutcome::Result::Done)
          view_.Inform(outcome.ReportText());
        view_.CommandEnded(MainCommand::Wipe);
      });
}

WipeOutcome MainWindowPresenter::WipeOnWorker(const WipeOptions &options, const std::filesystem::path &device) {
  EngineState &state = services_.State;
  OperationHost &host = runner_.Host();
  // The question on the front end's thread; a Stop confirmed meanwhile is a
  // No.
  auto ask = [&](const std::string &question) {
    bool yes = false;
    runner_.OnFrontEnd([&] { yes = host.Running() && view_.Ask(question); });
    return yes;
  };
  WipeOutcome declined;
  declined.Outcome = WipeOutcome::Result::Declined;
  VolumeMounter *mounter = nullptr;
  {
    WipeCheck check = CheckWipe(state, options);
    if (check.Passed()) {
      if (!ask(check.Question()))
        return declined;
      return RunCheckedWipe(state, host, std::move(check), options);
    }
    mounter = services_.Mounter ? services_.Mounter() : nullptr;
    if (!check.RefusedAsMounted() || !mounter || device.empty() || !mounter->CanUnmount(device))
      return check.Refusal();
  }

  // The desktop mounted the card: with the user's consent it lets go of it
  // for the run, and gets it back however the run ends.
  if (!ask(WipeQuestion(state, options) + "\n" + Message(MessageId::UnmountedForWipe)))
    return declined;
  WipeOutcome outcome;
  if (mounter->Unmount(device) != VolumeMounter::Outcome::Done) {
    outcome.Outcome = WipeOutcome::Result::Refused;
    outcome.Message = Message(MessageId::CannotWrite);
    return outcome;
  }
  {
    // Checked again: unmounting wrote out what the system still held, and
    // the run works on what is on the card now.
    WipeCheck check = CheckWipe(state, options);
    outcome = check.Passed() ? RunCheckedWipe(state, host, std::move(check), options) : check.Refusal();
  }
  if (mounter->Mount(device) != VolumeMounter::Outcome::Done) {
    // The card is wiped but out of the file manager's sight: say how to get
    // it back, after the report.
    (outcome.FailedWritesMessage.empty() ? outcome.Message : outcome.FailedWritesMessage) +=
        "\n" + Message(MessageId::NotMountedAgain);
  }
  return outcome;
}

void MainWindowPresenter::Ended() {
  running_ = MainCommand::None;
  view_.ShowLook(LookFor(MainCommand::None));
}

void MainWindowPresenter::ShowUpdate(const RunUpdate &update) {
  if (update.Started)
    view_.ShowLook(LookFor(running_));
  if (update.Cleared)
    view_.ClearLog();
  if (!update.Lines.empty())
    view_.AppendLog(update.Lines);
  if (update.CounterCaption)
    view_.ShowCounterCaption(*update.CounterCaption);
  if (update.Counter)
    view_.ShowCounter(*update.Counter);
  if (update.ProgressWidth)
    view_.ShowProgressWidth(*update.ProgressWidth);
  if (update.ProgressShown)
    view_.ShowProgressBar(*update.ProgressShown);
}

bool MainWindowPresenter::AskStop(const std::string &question) { return view_.Ask(question); }

void MainWindowPresenter::AboutClicked() {
  if (!OperationRunning())
    view_.ShowAbout();
}

void MainWindowPresenter::CloseClicked() {
  if (OperationRunning())
    return;
  const Settings &prefs = services_.Prefs;
  if (prefs.Promo1() || prefs.Promo2())
    view_.ShowTips(prefs.Promo1() ? SettingsFlag::Promo1 : SettingsFlag::Promo2);
  view_.CloseWindow();
}

bool MainWindowPresenter::CloseRequested() {
  if (OperationRunning())
    return false;
  RemovePreviewCopies(services_.Restore.PreviewFolder);
  return true;
}

} // namespace orvanta
