// The results window's flow without a toolkit: a stand-in view records what
// it is told and answers the dialogs; stand-in commands record what they
// are asked to restore or preview.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "front_end.h"
#include "platform/drive_provider.h"
#include "presentation/results_presenter.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

struct StandInView final : ResultsView {
  void ShowRows(const std::vector<ResultsRow> &rows) override { Names = NamesOf(rows); }
  void ShowSorted(const std::vector<ResultsRow> &rows, ResultsColumn, bool) override {
    Names = NamesOf(rows);
  }
  void ShowTicks(const std::vector<ResultsRow> &) override { ++TicksShown; }
  void SelectRow(std::size_t index) override { Selected = index; }
  void ShowTickedCount(std::size_t count) override { TickedCount = count; }
  void ShowRunning(ResultsJob job) override { Running = job; }
  void Inform(const std::string &text) override { Told.push_back(text); }
  bool Ask(const std::string &question) override {
    Asked.push_back(question);
    return true;
  }
  void ShowResultsHint() override { ++Hints; }
  std::filesystem::path ChooseFolder(const std::string &title) override {
    Titles.push_back(title);
    if (Answers.empty())
      return {};
    auto answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  bool OnScannedVolume(const std::filesystem::path &folder) override {
    return folder.filename() == "card";
  }
  bool KnowsFileType(const std::string &extension) override { return extension == ".jpg"; }
  void Open(const std::filesystem::path &path) override { Opened.push_back(path); }
  void OpenAsText(const std::filesystem::path &path) override { OpenedAsText.push_back(path); }
  void ShowProgress(std::optional<int> fillWidth, std::optional<bool> shown) override {
    if (fillWidth)
      Fill = *fillWidth;
    if (shown)
      BarShown = *shown;
  }
  void ShowStopping() override { ++Stopping; }
  void Finished() override { ++Ends; }

  static std::vector<std::string> NamesOf(const std::vector<ResultsRow> &rows) {
    std::vector<std::string> names;
    for (const ResultsRow &row : rows)
      names.push_back(row.Name);
    return names;
  }

  std::vector<std::string> Names, Told, Titles, Asked;
  std::deque<std::filesystem::path> Answers;
  std::vector<std::filesystem::path> Opened, OpenedAsText;
  std::optional<std::size_t> Selected;
  std::size_t TickedCount = 0;
  int TicksShown = 0, Hints = 0, Ends = 0, Stopping = 0, Fill = -1;
  bool BarShown = false;
  ResultsJob Running = ResultsJob::None;
};

struct StandInCommands final : ResultsCommands {
  RestoreOutcome RestoreRows(OperationHost &host, std::span<const RestoreRow> rows) override {
    host.ShowProgress(true);
    host.SetProgress({1, 2});
    Rows.assign(rows.begin(), rows.end());
    return Restored;
  }
  RestoreOutcome RestoreFolder(OperationHost &) override {
    ++Folders;
    return Restored;
  }
  PreviewOutcome Preview(OperationHost &, std::string_view name) override {
    Previewed.emplace_back(name);
    return Previews;
  }
  std::vector<RestoreRow> Rows;
  std::vector<std::string> Previewed;
  int Folders = 0;
  RestoreOutcome Restored{.Ran = true, .Restored = 1, .Message = "Files restored: 1"};
  PreviewOutcome Previews;
};

// Three folders of found files: the root, E:\A\ and E:\A\B\.
class ResultsFlow : public ::testing::Test {
protected:
  ResultsFlow() {
    state_.Tree.AddTopLevel("E:");
    const FoundDateTime day{2019, 5, 7, 9, 5};
    auto &catalogue = state_.Catalogue;
    catalogue.Write("E:\\", {.Name = "b.jpg", .Size = 2048, .Written = {2020, 1, 1, 0, 0}});
    catalogue.Write("E:\\", {.Name = "C.mov", .Size = 999, .Written = FoundDateTime::None(),
                             .Condition = FileCondition::Overwritten});
    catalogue.Write("E:\\", {.Name = "a.txt", .Size = 2048, .Written = day,
                             .Condition = FileCondition::Intact, .Seconds = 2});
    catalogue.Write("E:\\", {.Name = "d", .Size = 5, .Written = day, .Seconds = 0});
    catalogue.Write("E:\\A\\", {.Name = "x.jpg", .Size = 1});
    catalogue.Write("E:\\A\\", {.Name = "y.jpg", .Size = 1});
    catalogue.Write("E:\\A\\B\\", {.Name = "z.jpg", .Size = 1});
    restore_.DestFolder = dir_.Path();
  }

  // Lets the command the presenter started run to its end.
  void RunPending() {
    ASSERT_TRUE(presenter_.Busy());
    front_.RunUntil([&] { return !presenter_.Busy(); });
  }

  test::TempDir dir_;
  FixedDrives drives_;
  EngineState state_{drives_, {}, LanguageFile{}};
  RestoreState restore_;
  StandInView view_;
  StandInCommands commands_;
  bool hint_ = false;
  test::QueuedDispatcher front_;
  ResultsPresenter presenter_{state_, restore_, view_, commands_, front_, [this] { return hint_; }};
};

TEST(ResultsSizeText, BytesThenWholeUnitsTruncated) {
  const std::pair<std::uint64_t, const char *> cases[] = {
      {0, "0 b"},          {512, "512 b"},         {1023, "1023 b"},       {1024, "1 Kb"},
      {1536, "1 Kb"},      {1048575, "1023 Kb"},   {1048576, "1 Mb"},      {1073741823, "1023 Mb"},
      {1073741824, "1 Gb"}, {4294967295u, "3 Gb"},
  };
  for (const auto &[bytes, text] : cases)
    EXPECT_EQ(SizeText(bytes), text) << bytes;
}

// Each step sorts the rows as the previous step left them.
TEST_F(ResultsFlow, SortsByTheValuesBehindTheCellsWithBlankDatesLast) {
  presenter_.ShowFolder("E:\\");
  EXPECT_EQ(view_.Names, (std::vector<std::string>{"b.jpg", "C.mov", "a.txt", "d"}));
  const struct {
    ResultsColumn Column;
    bool Ascending;
    std::vector<std::string> Names;
  } steps[] = {
      {ResultsColumn::Name, true, {"a.txt", "b.jpg", "C.mov", "d"}},
      {ResultsColumn::Name, false, {"d", "C.mov", "b.jpg", "a.txt"}},
      // Equal sizes keep their places.
      {ResultsColumn::Size, true, {"d", "C.mov", "b.jpg", "a.txt"}},
      {ResultsColumn::Written, true, {"d", "a.txt", "b.jpg", "C.mov"}},
      {ResultsColumn::Written, false, {"b.jpg", "a.txt", "d", "C.mov"}},
      // Rows without a condition first, then from the best to the worst.
      {ResultsColumn::Condition, true, {"b.jpg", "d", "a.txt", "C.mov"}},
      {ResultsColumn::Condition, false, {"C.mov", "a.txt", "b.jpg", "d"}},
  };
  for (const auto &step : steps) {
    presenter_.SortBy(step.Column);
    EXPECT_EQ(presenter_.SortAscending(), step.Ascending);
    EXPECT_EQ(view_.Names, step.Names) << int(step.Column) << step.Ascending;
  }
  const ResultsRow &movie = presenter_.Rows().front();
  EXPECT_EQ(movie.SizeText, "999 b");
  EXPECT_EQ(movie.WrittenText, "");
  EXPECT_EQ(movie.ConditionText, "Overwritten");
  // Another folder comes unsorted.
  presenter_.ShowFolder("E:\\A\\");
  EXPECT_FALSE(presenter_.SortColumn());
  presenter_.ShowFolder("E:\\NONE\\");
  EXPECT_TRUE(view_.Names.empty());
}

TEST_F(ResultsFlow, TicksStayWithTheirFilesAndRestoreTakesThemFromEveryFolder) {
  presenter_.ShowFolder("E:\\A\\");
  presenter_.CheckAll(true);
  EXPECT_EQ(view_.TickedCount, 2u);
  presenter_.ShowFolder("E:\\A\\B\\");
  EXPECT_FALSE(presenter_.Rows()[0].Ticked);
  presenter_.ShowFolder("E:\\");
  presenter_.SetTicked(2, true); // a.txt
  presenter_.SortBy(ResultsColumn::Name);
  EXPECT_TRUE(presenter_.Rows()[0].Ticked);
  presenter_.ShowFolder("E:\\A\\");
  presenter_.SetTicked(0, false);
  EXPECT_EQ(view_.TickedCount, 2u);

  hint_ = true;
  presenter_.Restore(std::nullopt);
  EXPECT_EQ(presenter_.Job(), ResultsJob::Rows);
  EXPECT_EQ(view_.Running, ResultsJob::Rows);
  EXPECT_EQ(restore_.CurrentSection, "E:\\A\\");
  presenter_.Restore(std::nullopt); // Stop
  presenter_.RestoreFolder();       // nothing while busy
  presenter_.ShowFolder("E:\\");
  EXPECT_EQ(view_.Asked, std::vector<std::string>{"Cancel operation?"});
  EXPECT_EQ(view_.Stopping, 1);
  RunPending();
  // The rows shown as listed, then the ticks of the other folders.
  std::vector<std::string> dispatched;
  for (const RestoreRow &row : commands_.Rows)
    dispatched.push_back(row.Caption + (row.Checked ? " ticked " : " ") + row.Section);
  EXPECT_EQ(dispatched, (std::vector<std::string>{"x.jpg ", "y.jpg ticked ", "a.txt ticked E:\\"}));
  EXPECT_EQ(view_.Fill, 278); // half of the bar's 557 pixels, rounded to even
  EXPECT_TRUE(view_.BarShown);
  EXPECT_EQ(view_.Hints, 1);
  EXPECT_EQ(view_.Told, std::vector<std::string>{"Files restored: 1"});
  EXPECT_EQ(view_.Opened, std::vector<std::filesystem::path>{dir_.Path()});
  EXPECT_EQ(view_.Running, ResultsJob::None);
  EXPECT_EQ(view_.Ends, 1);
  EXPECT_EQ(commands_.Folders, 0);

  presenter_.Reset();
  EXPECT_EQ(view_.TickedCount, 0u);
  EXPECT_TRUE(presenter_.Rows().empty());
}

// Nothing ticked anywhere: the selected row, or the first one, is ticked
// and restored alone.
TEST_F(ResultsFlow, WithNothingTickedTheSelectedRowIsRestored) {
  const struct {
    std::optional<std::size_t> Selected;
    std::size_t Restored;
  } cases[] = {{std::nullopt, 0}, {1, 1}, {7, 0}};
  for (const auto &c : cases) {
    presenter_.Reset();
    view_.Selected.reset();
    presenter_.ShowFolder("E:\\A\\");
    presenter_.Restore(c.Selected);
    RunPending();
    ASSERT_EQ(commands_.Rows.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
      EXPECT_EQ(commands_.Rows[i].Checked, i == c.Restored);
    EXPECT_EQ(view_.TickedCount, 1u);
    EXPECT_EQ(view_.Selected.has_value(), !c.Selected || *c.Selected >= 2);
  }
}

// The destination: asked for when there is none or it has gone, a folder on
// the card being read refused (and asked again), a cancel ending the
// command with nothing started.
TEST_F(ResultsFlow, TheDestinationIsAskedForAndAFolderOnTheCardRefused) {
  const auto gone = dir_ / "gone";
  const auto card = dir_ / "card";
  const auto other = dir_ / "other";
  std::filesystem::create_directories(card);
  const struct {
    const char *Name;
    std::filesystem::path Before;
    std::vector<std::filesystem::path> Answers;
    std::size_t Asked, Refused;
    std::filesystem::path After; // empty: nothing started
  } cases[] = {
      {"kept", other, {}, 0, 0, other},
      {"none_then_chosen", {}, {other}, 1, 0, other},
      {"none_then_cancelled", {}, {}, 1, 0, {}},
      {"gone_asked_again", gone, {other}, 1, 0, other},
      {"on_the_card_then_elsewhere", {}, {card, other}, 2, 1, other},
      {"kept_but_on_the_card", card, {card}, 2, 2, {}},
  };
  std::filesystem::create_directories(other);
  presenter_.ShowFolder("E:\\A\\");
  for (const auto &c : cases) {
    restore_.DestFolder = c.Before;
    view_.Titles.clear();
    view_.Told.clear();
    view_.Answers.assign(c.Answers.begin(), c.Answers.end());
    presenter_.RestoreFolder();
    EXPECT_EQ(view_.Titles.size(), c.Asked) << c.Name;
    EXPECT_EQ(view_.Told.size(), c.Refused) << c.Name;
    EXPECT_EQ(restore_.DestFolder, c.After) << c.Name;
    EXPECT_EQ(presenter_.Busy(), !c.After.empty()) << c.Name;
    if (presenter_.Busy())
      RunPending();
  }
  EXPECT_EQ(view_.Titles.front(), "Please select folder to save restored files");
  EXPECT_EQ(commands_.Folders, 4);
}

TEST_F(ResultsFlow, TheOutcomeDecidesWhatIsShownAndOpened) {
  using R = PreviewOutcome::Result;
  const auto copy = [&](const char *name) { return dir_ / name; };
  const struct {
    const char *Name;
    ResultsOutcome Outcome;
    std::vector<std::string> Told;
    std::vector<std::filesystem::path> Opened, AsText;
  } cases[] = {
      {"preview_of_a_known_type", PreviewOutcome{R::Ready, copy("ae02xdc.jpg"), ""}, {},
       {copy("ae02xdc.jpg")}, {}},
      {"preview_of_an_unknown_type", PreviewOutcome{R::Ready, copy("ae02xdc.zq9"), ""}, {}, {},
       {copy("ae02xdc.zq9")}},
      {"preview_without_extension", PreviewOutcome{R::Ready, copy("ae02xdc"), ""}, {},
       {copy("ae02xdc")}, {}},
      {"preview_impossible", PreviewOutcome{R::Impossible, {}, "Viewing impossible!"},
       {"Viewing impossible!"}, {}, {}},
      {"preview_refused_while_busy", PreviewOutcome{R::Busy, {}, ""}, {}, {}, {}},
      {"restore_not_run", RestoreOutcome{}, {}, {}, {}},
      {"restore_with_a_file_not_created",
       RestoreOutcome{.Ran = true, .CreateError = EACCES, .Message = "Files restored: 0"},
       {"Files restored: 0\n" + std::string(std::strerror(EACCES))}, {dir_.Path()}, {}},
      {"restore_ended_by_a_failed_write",
       RestoreOutcome{.Ran = true, .CreateError = EACCES, .WriteError = ENOSPC,
                      .Message = std::strerror(ENOSPC)},
       {std::strerror(ENOSPC)}, {}, {}},
  };
  presenter_.ShowFolder("E:\\A\\");
  for (const auto &c : cases) {
    view_ = {};
    if (const auto *preview = std::get_if<PreviewOutcome>(&c.Outcome)) {
      commands_.Previews = *preview;
      presenter_.Preview(0);
    } else {
      commands_.Restored = std::get<RestoreOutcome>(c.Outcome);
      presenter_.RestoreFolder();
    }
    RunPending();
    EXPECT_EQ(view_.Told, c.Told) << c.Name;
    EXPECT_EQ(view_.Opened, c.Opened) << c.Name;
    EXPECT_EQ(view_.OpenedAsText, c.AsText) << c.Name;
    EXPECT_EQ(view_.Ends, 1) << c.Name;
  }
}

TEST_F(ResultsFlow, PreviewTakesTheSelectedRowAndCloseWaitsForTheEnd) {
  presenter_.ShowFolder("E:\\A\\");
  presenter_.Preview(std::nullopt);
  EXPECT_FALSE(presenter_.Busy());
  presenter_.Preview(1);
  EXPECT_EQ(view_.Running, ResultsJob::Preview);
  presenter_.CheckAll(true); // nothing while busy
  EXPECT_EQ(view_.TickedCount, 0u);
  EXPECT_FALSE(presenter_.Close());
  EXPECT_EQ(state_.Catalogue.FileCount(), 7u);
  RunPending();
  EXPECT_EQ(commands_.Previewed, std::vector<std::string>{"y.jpg"});
  EXPECT_TRUE(presenter_.Close());
  EXPECT_EQ(state_.Catalogue.FileCount(), 0u);
}

} // namespace
} // namespace orvanta
