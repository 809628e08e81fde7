#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jobs/engine_state.h"
#include "jobs/find_job.h"
#include "jobs/restore_jobs.h"
#include "jobs/wipe_job.h"
#include "presentation/messages.h"
#include "presentation/operation_runner.h"
#include "presentation/volume_mounter.h"
#include "settings/settings.h"

namespace orvanta {

// One item of the drive list: the drive text ("E:"), what is shown, and the
// device or image behind it.
struct DriveItem {
  std::string DrivePath;
  std::string Text;
  std::string Device;
  bool operator==(const DriveItem &) const = default;
};

enum class MainCommand { None, Find, Wipe };

// The commands' captions and which controls take input: the running
// command's button is its Stop button, the other commands and the fields
// wait.
struct MainWindowLook {
  bool FieldsEnabled = true; // drive box, mask, scan modes
  std::string FindCaption;
  std::string WipeCaption;
  bool FindEnabled = true;
  bool WipeEnabled = true;
  bool CloseEnabled = true;
  bool operator==(const MainWindowLook &) const = default;
};

// The main window as its presenter sees it; called on the front end's
// thread. Texts are UTF-8.
class MainWindowView {
public:
  virtual ~MainWindowView() = default;

  // The drive list with the item at `selected` chosen (-1: none).
  virtual void ShowDrives(const std::vector<DriveItem> &items, int selected) = 0;
  virtual void ClearLog() = 0;
  virtual void AppendLog(const std::vector<std::string> &lines) = 0;
  virtual void ShowCounterCaption(const std::string &caption) = 0;
  virtual void ShowCounter(std::int64_t value) = 0;
  virtual void ShowProgressBar(bool shown) = 0;
  // The fill's width, 0 to kProgressTrackWidth.
  virtual void ShowProgressWidth(int width) = 0;
  virtual void ShowLook(const MainWindowLook &look) = 0;
  // Checks the scan mode's radio button (true: deep).
  virtual void CheckMode(bool deep) = 0;

  // What the user set.
  virtual std::string Mask() const = 0;
  virtual bool DeepScan() const = 0;

  // Modal windows.
  virtual void Inform(const std::string &text) = 0;
  virtual bool Ask(const std::string &question) = 0; // true for Yes
  virtual void ShowDeepScanHint() = 0;
  // The results of the last search; the main window is hidden meanwhile.
  virtual void ShowResults() = 0;
  virtual void ShowAbout() = 0;
  // The tips window of `flag`; the main window is hidden first.
  virtual void ShowTips(SettingsFlag flag) = 0;
  virtual void CloseWindow() = 0;

  // A command ended, its report shown (also when refused or declined).
  virtual void CommandEnded(MainCommand command) { (void)command; }
};

// The flow of the main window: the drive list and the selected drive's
// summary, the Find and Wipe commands on a worker with Stop, the window's
// look while one runs, and Close with its tips.
class MainWindowPresenter final : private RunnerView {
public:
  struct Services {
    EngineState &State;
    const Settings &Prefs;
    // The drives present now, in letter order.
    std::function<std::vector<DriveItem>()> ListDrives;
    // Unmounts a card the desktop mounted, for a wipe; null: such a card
    // is refused.
    std::function<VolumeMounter *()> Mounter;
    // Its preview folder is emptied on Close.
    const RestoreState &Restore;
  };

  // `host`: the host the commands run with (a plain BatchingHost when null).
  MainWindowPresenter(Services services, MainWindowView &view, Dispatcher &dispatcher,
                      std::unique_ptr<BatchingHost> host = nullptr);

  // Find or Wipe runs (OperationRunning): the handlers that could
  // interfere do nothing.
  bool OperationRunning() const { return runner_.Busy(); }
  OperationRunner &Runner() { return runner_; }
  const std::vector<DriveItem> &Drives() const { return drives_; }
  int Selected() const { return selected_; }

  // The window is shown: the drives are listed and the first summarised.
  void Show();
  // The drive box chose item `index`: the log shows its summary.
  void SelectDrive(int index);
  // Drives arrived or left while the window is shown: the selected card
  // stays selected while it is there (summarised again only when its
  // letter changed); otherwise the first drive is chosen.
  void DrivesChanged();
  void ModeLabelClicked(bool deep);
  void FindClicked();
  void WipeClicked();
  void AboutClicked();
  void CloseClicked();
  // The window is about to close: false refuses it.
  bool CloseRequested();

  // The look of the window while `command` runs (None: idle).
  MainWindowLook LookFor(MainCommand command) const;

private:
  void ShowUpdate(const RunUpdate &update) override;
  bool AskStop(const std::string &question) override;
  std::string Message(MessageId id) const;
  void FillDrives(std::vector<DriveItem> items, int selected);
  void Summarise();
  void Stop(MainCommand command);
  void StartFind();
  void StartWipe();
  WipeOutcome WipeOnWorker(const WipeOptions &options, const std::filesystem::path &device);
  void Ended();

  Services services_;
  MainWindowView &view_;
  std::vector<DriveItem> drives_;
  int selected_ = -1;
  MainCommand running_ = MainCommand::None;
  OperationRunner runner_;
};

} // namespace orvanta
