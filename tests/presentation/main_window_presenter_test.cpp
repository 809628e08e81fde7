// The main window's flow without a toolkit: the presenter over a recording
// view, with the test's thread as the front end's.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "front_end.h"
#include "jobs/volume_texts.h"
#include "platform/memory_device.h"
#include "presentation/main_window_presenter.h"
#include "support/fat_image.h"
#include "support/holding_host.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

constexpr int kDeleted = 12;
const std::string kQuestion = "Are you sure wipe deleted files?\nE: ORVANTA \u00B7 16 Mb \u00B7 sdz1\n"
                              "Deleted entries will be overwritten.";
const std::string kInUse = "The drive cannot be opened for writing. It may be write-protected or in use.";

// A FAT16 card with kDeleted deleted files in three folders, made once.
const std::vector<std::uint8_t> &CardBytes() {
  static const std::vector<std::uint8_t> bytes = [] {
    test::TempDir dir;
    test::FatImageFile image(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
    for (const char *folder : {"/D0", "/D1", "/D2"})
      image.Mkdir(folder);
    auto path = [](int i) { return "/D" + std::to_string(i % 3) + "/F" + std::to_string(i) + ".BIN"; };
    for (int i = 0; i < kDeleted; ++i)
      image.Put(path(i), test::PatternBytes(3000, std::uint32_t(i)));
    for (int i = 0; i < kDeleted; ++i)
      image.Delete(path(i));
    return test::ReadFileBytes(image.Path());
  }();
  return bytes;
}

std::shared_ptr<MemoryDevice> Card() {
  auto card = std::make_shared<MemoryDevice>(CardBytes());
  card->SetFileSystemName("FAT");
  return card;
}

// The machine's drives as a test plugs them: letter, device name, device.
struct Plugged {
  char Letter;
  std::string Device;
  std::shared_ptr<MemoryDevice> Card;
};

struct TestDrives final : DriveProvider {
  std::vector<Plugged> Now;
  std::vector<std::string> RemovableDrives() override {
    std::vector<std::string> names;
    for (const Plugged &p : Now)
      names.push_back({p.Letter, ':'});
    return names;
  }
  std::shared_ptr<Device> DeviceFor(std::string_view drive) override {
    for (const Plugged &p : Now)
      if (SameDriveText(drive, std::string{p.Letter, ':'}))
        return p.Card;
    return nullptr;
  }
  std::vector<DriveItem> Items() const {
    std::vector<DriveItem> items;
    for (const Plugged &p : Now)
      items.push_back({{p.Letter, ':'}, std::string{p.Letter, ':'} + "  " + p.Device, p.Device});
    return items;
  }
};

// Records what a person would see; answers questions with Answer.
struct RecordingView final : MainWindowView {
  void ShowDrives(const std::vector<DriveItem> &items, int selected) override {
    Drives = items;
    Selected = selected;
  }
  void ClearLog() override { Log.clear(); }
  void AppendLog(const std::vector<std::string> &lines) override { Log.insert(Log.end(), lines.begin(), lines.end()); }
  void ShowCounterCaption(const std::string &caption) override { CounterCaption = caption; }
  void ShowCounter(std::int64_t value) override { Counter = value; }
  void ShowProgressBar(bool shown) override { BarShown = shown; }
  void ShowProgressWidth(int width) override { BarWidth = width; }
  void ShowLook(const MainWindowLook &look) override { Looks.push_back(look); }
  void CheckMode(bool deep) override { Deep = deep; }
  std::string Mask() const override { return "*.*"; }
  bool DeepScan() const override { return Deep; }
  void Inform(const std::string &text) override { Informed.push_back(text); }
  bool Ask(const std::string &question) override {
    Asked.push_back(question);
    return Answer ? Answer() : true;
  }
  void ShowDeepScanHint() override { ++Hints; }
  void ShowResults() override { ++ResultsShown; }
  void ShowAbout() override { Shown.push_back("about"); }
  void ShowTips(SettingsFlag flag) override { Shown.push_back(std::string(SettingsValueName(flag))); }
  void CloseWindow() override { Shown.push_back("closed"); }
  void CommandEnded(MainCommand) override { ++Ended; }

  std::vector<DriveItem> Drives;
  int Selected = -2;
  std::vector<std::string> Log;
  std::string CounterCaption;
  std::int64_t Counter = -1;
  bool BarShown = false;
  int BarWidth = 0;
  std::vector<MainWindowLook> Looks;
  bool Deep = false;
  std::vector<std::string> Informed, Asked, Shown;
  std::function<bool()> Answer;
  int Hints = 0, ResultsShown = 0, Ended = 0;
};

using test::HoldingHost;

// Lets go of a mounted card as told.
struct StandInMounter final : VolumeMounter {
  bool CanUnmount(const std::filesystem::path &device) override {
    Calls.push_back("can unmount " + device.string());
    return true;
  }
  Outcome Unmount(const std::filesystem::path &) override {
    Calls.push_back("unmount");
    if (UnmountAs == Outcome::Done) {
      Card->SetMountPoint(std::nullopt);
      Card->SetWritable(WritableAfter);
    }
    return UnmountAs;
  }
  Outcome Mount(const std::filesystem::path &) override {
    Calls.push_back("mount");
    if (MountAs == Outcome::Done)
      Card->SetMountPoint("/media/me/CARD");
    return MountAs;
  }
  std::shared_ptr<MemoryDevice> Card;
  Outcome UnmountAs = Outcome::Done;
  bool WritableAfter = true;
  Outcome MountAs = Outcome::Done;
  std::vector<std::string> Calls; // written by the worker, read after it ended
};

// The presenter over drive E: (device "sdz1"), a recording view and the
// test's thread as the front end.
struct World {
  World() { Drives.Now = {{'E', "sdz1", Card()}}; }

  MainWindowPresenter &Make(std::unique_ptr<BatchingHost> host = nullptr) {
    Presenter = std::make_unique<MainWindowPresenter>(
        MainWindowPresenter::Services{State, Prefs, [this] { return Drives.Items(); },
                                      [this] { return Mounter; }, Restore},
        View, FrontEnd, std::move(host));
    Presenter->Show();
    return *Presenter;
  }
  // Runs the front end until the command has ended.
  void Click(void (MainWindowPresenter::*click)()) {
    const int before = View.Ended;
    (Presenter.get()->*click)();
    FrontEnd.RunUntil([&] { return View.Ended > before; });
    EXPECT_FALSE(Presenter->OperationRunning());
  }
  MemoryDevice &E() { return *Drives.Now.front().Card; }

  TestDrives Drives;
  EngineState State{Drives, {}, LanguageFile{}};
  Settings Prefs;
  RestoreState Restore;
  VolumeMounter *Mounter = nullptr;
  test::QueuedDispatcher FrontEnd;
  RecordingView View;
  std::unique_ptr<MainWindowPresenter> Presenter;
};

struct PresenterTest : ::testing::Test, World {};

std::vector<std::string> SummaryOf(DriveProvider &drives, const std::string &drive) {
  Volume probe(drives);
  EXPECT_EQ(OpenVolume(probe, drive, false), VolumeCheck::Ok);
  std::vector<std::string> lines = DriveSummaryLines(probe.Geometry());
  lines.insert(lines.end(), {"", "Select mode, mask and press \"Find\" button..."});
  return lines;
}

TEST_F(PresenterTest, TheDriveListKeepsTheSelectedCardAcrossArrivalsAndSaysWhatKeepsADriveFromUse) {
  auto other = Card();
  other->SetFileSystemName("NTFS");
  Drives.Now.push_back({'G', "other.img", other});
  Make();
  EXPECT_EQ(View.Drives, Drives.Items());
  EXPECT_EQ(View.Selected, 0);
  EXPECT_EQ(View.Log, SummaryOf(Drives, "E:"));
  EXPECT_EQ(View.Counter, 0);

  View.Counter = 4711;
  Presenter->SelectDrive(1);
  EXPECT_EQ(View.Log, std::vector<std::string>{"The software supports only FAT file system!"});
  EXPECT_EQ(View.Counter, 0);

  // G: arrives before the selected card, which stays selected unsummarised.
  Presenter->SelectDrive(0);
  View.Log = {"marker"};
  Drives.Now.insert(Drives.Now.begin(), {'D', "new.img", Card()});
  Presenter->DrivesChanged();
  EXPECT_EQ(View.Selected, 1);
  EXPECT_EQ(View.Log, std::vector<std::string>{"marker"});
  // The same card under another letter: selected and summarised again.
  Drives.Now[1].Letter = 'F';
  Presenter->DrivesChanged();
  EXPECT_EQ(View.Selected, 1);
  EXPECT_EQ(View.Log, SummaryOf(Drives, "F:"));
  // The selected card leaves: the first drive is chosen.
  Drives.Now.erase(Drives.Now.begin() + 1);
  Presenter->DrivesChanged();
  EXPECT_EQ(View.Selected, 0);
  EXPECT_EQ(View.Log, SummaryOf(Drives, "D:"));

  Drives.Now.clear();
  Presenter->Show();
  EXPECT_EQ(View.Selected, -1);
  EXPECT_EQ(View.Log, std::vector<std::string>{"Please connect an external flash drive."});
  Presenter->WipeClicked();
  Presenter->FindClicked();
  EXPECT_EQ(View.Informed, std::vector<std::string>(2, "Drive not found!"));
  EXPECT_EQ(View.Ended, 2); // a refused command ends as any other
  EXPECT_FALSE(Presenter->OperationRunning());
  EXPECT_TRUE(View.Asked.empty());
}

TEST_F(PresenterTest, AFindShowsItsRunReportsAndOpensTheResults) {
  Make();
  Click(&MainWindowPresenter::FindClicked);
  EXPECT_EQ(View.Hints, 1);
  EXPECT_EQ(View.Informed, std::vector<std::string>{"Deleted files found: 12"});
  EXPECT_EQ(View.ResultsShown, 1);
  EXPECT_EQ(View.Counter, kDeleted);
  EXPECT_EQ(View.Log.front(), "Find deleted files. Please wait...");
  ASSERT_EQ(View.Looks.size(), 2u);
  EXPECT_EQ(View.Looks[0], (MainWindowLook{false, "Stop", "Wipe", true, false, false}));
  EXPECT_EQ(View.Looks[1], Presenter->LookFor(MainCommand::None));
  EXPECT_EQ(View.Looks[1], (MainWindowLook{true, "Find", "Wipe", true, true, true}));
  EXPECT_FALSE(View.BarShown);
}

TEST_F(PresenterTest, WhileACommandRunsOnlyItsStopIsHeardAndClosingIsRefused) {
  auto host = std::make_unique<HoldingHost>();
  HoldingHost &held = *host;
  Make(std::move(host));
  const test::TempDir temp;
  std::filesystem::create_directories(Restore.PreviewFolder = temp / "previews");
  Presenter->FindClicked();
  FrontEnd.RunUntil([&] { return held.Waiting.load(); });

  Drives.Now.clear();
  Presenter->DrivesChanged();
  Presenter->Show();
  Presenter->SelectDrive(0);
  Presenter->ModeLabelClicked(true);
  Presenter->AboutClicked();
  Presenter->CloseClicked();
  Presenter->WipeClicked(); // no Stop for a command that does not run
  EXPECT_FALSE(Presenter->CloseRequested());
  EXPECT_EQ(View.Drives.size(), 1u);
  EXPECT_FALSE(View.Deep);
  EXPECT_TRUE(View.Shown.empty());
  EXPECT_TRUE(View.Asked.empty());

  // Stop: the question holds the worker until it is answered.
  View.Answer = [&] {
    while (!held.Question().Holding())
      std::this_thread::yield();
    return true;
  };
  Click(&MainWindowPresenter::FindClicked);
  EXPECT_EQ(View.Asked, std::vector<std::string>{"Cancel operation?"});
  const auto found = State.Catalogue.FileCount();
  EXPECT_GT(found, 0u);
  EXPECT_LT(found, std::size_t(kDeleted));
  EXPECT_EQ(View.Informed, std::vector<std::string>{"Deleted files found: " + std::to_string(found)});
  EXPECT_TRUE(Presenter->CloseRequested());
  EXPECT_FALSE(std::filesystem::exists(Restore.PreviewFolder));
}

TEST(Presenter, AStopAnsweredBeforeTheHintEndsTheFindWithoutIt) {
  for (const bool stop : {true, false}) {
    World t;
    t.Make();
    t.Presenter->FindClicked();
    // Answered once the worker waits for the hint, after its checks.
    t.View.Answer = [&] {
      while (t.FrontEnd.Waiting() < 2)
        std::this_thread::yield();
      return stop;
    };
    t.Click(&MainWindowPresenter::FindClicked);
    EXPECT_EQ(t.View.Hints, stop ? 0 : 1);
    EXPECT_EQ(t.View.Informed,
              std::vector<std::string>{stop ? "Deleted files not found!" : "Deleted files found: 12"});
  }
}

TEST(Presenter, AStoppedWipeReportsWhatItWipedSoFar) {
  World t;
  auto host = std::make_unique<HoldingHost>();
  HoldingHost &held = *host;
  t.Make(std::move(host));
  t.Presenter->WipeClicked();
  t.FrontEnd.RunUntil([&] { return held.Waiting.load(); });
  t.Presenter->FindClicked(); // Find waits while a wipe runs
  EXPECT_EQ(t.View.Asked, std::vector<std::string>{kQuestion});
  t.View.Answer = [&] {
    while (!held.Question().Holding())
      std::this_thread::yield();
    return true;
  };
  t.Click(&MainWindowPresenter::WipeClicked);
  EXPECT_EQ(t.View.Asked.back(), "Cancel operation?");
  EXPECT_GT(t.View.Counter, 0);
  EXPECT_LT(t.View.Counter, kDeleted);
  EXPECT_EQ(t.View.Informed, std::vector<std::string>{"Files wiped: " + std::to_string(t.View.Counter)});
}

TEST_F(PresenterTest, AWipeIsAskedForAndADeclinedOneChangesNothing) {
  Make();
  Click(&MainWindowPresenter::FindClicked);
  const auto log = View.Log;
  const auto looks = View.Looks.size();
  View.Informed.clear();
  View.Answer = [] { return false; };
  Click(&MainWindowPresenter::WipeClicked);
  EXPECT_EQ(View.Asked, std::vector<std::string>{kQuestion});
  EXPECT_TRUE(View.Informed.empty());
  EXPECT_EQ(View.Log, log);
  EXPECT_EQ(View.Looks.size(), looks + 1); // idle again, never running
  EXPECT_EQ(State.Catalogue.FileCount(), std::size_t(kDeleted));
  EXPECT_EQ(E().Writes(), 0u);

  View.Answer = nullptr;
  Click(&MainWindowPresenter::WipeClicked);
  EXPECT_EQ(View.Informed, std::vector<std::string>{"Files wiped: 12"});
  EXPECT_EQ(View.Log.front(), "Wipe deleted files. Please wait...");
  EXPECT_EQ(View.Looks[looks + 1], (MainWindowLook{false, "Find", "Stop", false, true, false}));
  EXPECT_EQ(State.Catalogue.FileCount(), 0u);
  EXPECT_GT(E().Writes(), 0u);
}

TEST(Presenter, AMountedCardIsUnmountedForTheWipeAndMountedAgain) {
  using Outcome = VolumeMounter::Outcome;
  struct Case {
    Outcome Unmount;
    bool WritableAfter;
    Outcome Mount;
    std::string Report;
    std::vector<std::string> Calls;
    bool Written;
  };
  const std::vector<std::string> all{"can unmount sdz1", "unmount", "mount"};
  const std::vector<std::string> refused{"can unmount sdz1", "unmount"};
  const Case cases[] = {
      {Outcome::Done, true, Outcome::Done, "Files wiped: 12", all, true},
      // Busy or refused: nothing is written and the card stays mounted.
      {Outcome::Busy, true, Outcome::Done, kInUse, refused, false},
      {Outcome::Refused, true, Outcome::Done, kInUse, refused, false},
      // Unmounted, then still not writable: mounted again all the same.
      {Outcome::Done, false, Outcome::Done, kInUse, all, false},
      // Wiped, but not mounted again: the report says how to get it back.
      {Outcome::Done, true, Outcome::Failed,
       "Files wiped: 12\nThe drive could not be mounted again. Unplug it and plug it in again.", all, true},
  };
  for (const Case &c : cases) {
    World t;
    t.E().SetMountPoint("/media/me/CARD");
    StandInMounter mounter;
    mounter.Card = t.Drives.Now.front().Card;
    mounter.UnmountAs = c.Unmount;
    mounter.WritableAfter = c.WritableAfter;
    mounter.MountAs = c.Mount;
    t.Mounter = &mounter;
    t.Make();
    t.Click(&MainWindowPresenter::WipeClicked);
    EXPECT_EQ(t.View.Asked, std::vector<std::string>{kQuestion + "\nThe drive is unmounted for the wipe."});
    EXPECT_EQ(t.View.Informed, std::vector<std::string>{c.Report});
    EXPECT_EQ(mounter.Calls, c.Calls);
    EXPECT_EQ(t.E().Writes() > 0, c.Written);
    EXPECT_EQ(t.E().MountPoint().has_value(), c.Mount == Outcome::Done);
  }

  // Without a service that can unmount it the card is refused before the
  // question.
  World t;
  t.E().SetMountPoint("/media/me/CARD");
  t.Make();
  t.Click(&MainWindowPresenter::WipeClicked);
  EXPECT_TRUE(t.View.Asked.empty());
  EXPECT_EQ(t.View.Informed, std::vector<std::string>{kInUse});
  EXPECT_EQ(t.E().Writes(), 0u);
}

TEST_F(PresenterTest, CloseShowsTheFirstTipsWhoseFlagIsSetThenCloses) {
  Make();
  Presenter->CloseClicked();
  Presenter->AboutClicked();
  EXPECT_EQ(View.Shown, (std::vector<std::string>{"Promo1", "closed", "about"}));
}

} // namespace
} // namespace orvanta
