#include "presentation/results_presenter.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "engine/text.h"
#include "scan/found_catalogue.h"

namespace orvanta {

namespace {

// The order of two rows by one column, ascending. Numbers compare as
// numbers and equal ones keep their places; rows without a number come
// before the others, and names (and rows equal in having none) compare
// without regard to letter case.
class RowOrder {
public:
  RowOrder(ResultsColumn column, bool ascending) : column_(column), ascending_(ascending) {}

  // Whether `a` goes before `b` in the ascending order.
  bool Less(const ResultsRow &a, const ResultsRow &b) const {
    const std::optional<std::uint64_t> mine = Key(a), theirs = Key(b);
    if (mine && theirs)
      return *mine < *theirs;
    if (mine.has_value() != theirs.has_value()) {
      // Files without a date (found by their content) stay after the dated
      // ones, whichever way the dates are sorted.
      if (column_ == ResultsColumn::Written)
        return ascending_ ? mine.has_value() : !mine.has_value();
      return !mine.has_value();
    }
    return FoldCase(Text(a)) < FoldCase(Text(b));
  }

  // The order the list takes: the ascending one, or its reverse.
  bool operator()(const ResultsRow &a, const ResultsRow &b) const {
    return ascending_ ? Less(a, b) : Less(b, a);
  }

private:
  std::optional<std::uint64_t> Key(const ResultsRow &row) const {
    switch (column_) {
    case ResultsColumn::Name:
      return std::nullopt;
    case ResultsColumn::Size:
      return row.Size;
    case ResultsColumn::Written:
      return row.WrittenOrder;
    case ResultsColumn::Condition:
      // From the best to the worst.
      if (row.Condition)
        return static_cast<std::uint64_t>(*row.Condition);
      return std::nullopt;
    }
    return std::nullopt;
  }

  const std::string &Text(const ResultsRow &row) const {
    switch (column_) {
    case ResultsColumn::Size:
      return row.SizeText;
    case ResultsColumn::Written:
      return row.WrittenText;
    case ResultsColumn::Condition:
      return row.ConditionText;
    case ResultsColumn::Name:
      break;
    }
    return row.Name;
  }

  ResultsColumn column_;
  bool ascending_;
};

} // namespace

std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kKb = 1024, kMb = kKb * 1024, kGb = kMb * 1024;
  if (bytes < kKb)
    return std::to_string(bytes) + " b";
  if (bytes < kMb)
    return std::to_string(bytes / kKb) + " Kb";
  if (bytes < kGb)
    return std::to_string(bytes / kMb) + " Mb";
  return std::to_string(bytes / kGb) + " Gb";
}

RestoreOutcome EngineResultsCommands::RestoreRows(OperationHost &host,
                                                  std::span<const RestoreRow> rows) {
  return RestoreCheckedRows(state_, restore_, host, rows);
}

RestoreOutcome EngineResultsCommands::RestoreFolder(OperationHost &host) {
  return orvanta::RestoreFolder(state_, restore_, host);
}

PreviewOutcome EngineResultsCommands::Preview(OperationHost &host, std::string_view name) {
  return ExtractPreview(state_, restore_, host, name, tempFolder_, runtimeFolder_);
}

ResultsPresenter::ResultsPresenter(EngineState &state, RestoreState &restore, ResultsView &view,
                                   ResultsCommands &commands, Dispatcher &dispatcher,
                                   std::function<bool()> resultsHintEnabled)
    : state_(state), restore_(restore), view_(view), commands_(commands),
      resultsHintEnabled_(std::move(resultsHintEnabled)), runner_(dispatcher, *this) {}

std::string ResultsPresenter::Text(MessageId id) const { return orvanta::Text(state_.Language, id); }

std::string ResultsPresenter::ConditionText(FileCondition condition) const {
  switch (condition) {
  case FileCondition::Intact:
    return Text(MessageId::Intact);
  case FileCondition::Partly:
    return Text(MessageId::PartlyOverwritten);
  case FileCondition::Overwritten:
    return Text(MessageId::Overwritten);
  case FileCondition::Empty:
    break;
  }
  return Text(MessageId::Empty);
}

std::string ResultsPresenter::FirstLetterLostText() const {
  return Text(MessageId::FirstLetterLost);
}

void ResultsPresenter::Reset() {
  section_.clear();
  rows_.clear();
  ticked_.clear();
  sortColumn_.reset();
  view_.ShowRows(rows_);
  view_.ShowTickedCount(0);
}

void ResultsPresenter::ShowFolder(const std::string &section) {
  if (Busy())
    return;
  section_ = section;
  rows_.clear();
  sortColumn_.reset();
  ascending_ = true;
  if (const FoundFolder *folder = state_.Catalogue.Folder(section)) {
    rows_.reserve(folder->Files.size());
    std::string conditions[4];
    for (const FoundFileRow &file : folder->Files) {
      ResultsRow &row = rows_.emplace_back();
      row.Name = file.Name;
      row.Size = file.Size;
      row.SizeText = SizeText(file.Size);
      row.WrittenText = file.Written.Text();
      if (file.Written.Known())
        row.WrittenOrder = file.WrittenOrder();
      row.Condition = file.Condition;
      if (file.Condition) {
        std::string &text = conditions[static_cast<int>(*file.Condition)];
        if (text.empty())
          text = ConditionText(*file.Condition);
        row.ConditionText = text;
      }
      row.FirstLetterLost = file.FirstLetterLost;
      row.Ticked = ticked_.contains({section_, file.Name});
    }
  }
  view_.ShowRows(rows_);
}

void ResultsPresenter::SetTicked(std::size_t index, bool ticked) {
  if (index >= rows_.size() || rows_[index].Ticked == ticked)
    return;
  rows_[index].Ticked = ticked;
  if (ticked)
    ticked_.emplace(section_, rows_[index].Name);
  else
    ticked_.erase({section_, rows_[index].Name});
  view_.ShowTickedCount(ticked_.size());
}

void ResultsPresenter::CheckAll(bool ticked) {
  if (Busy() || rows_.empty())
    return;
  for (ResultsRow &row : rows_) {
    row.Ticked = ticked;
    if (ticked)
      ticked_.emplace(section_, row.Name);
    else
      ticked_.erase({section_, row.Name});
  }
  view_.ShowTicks(rows_);
  view_.ShowTickedCount(ticked_.size());
}

void ResultsPresenter::SortBy(ResultsColumn column) {
  ascending_ = !(sortColumn_ == column && ascending_);
  sortColumn_ = column;
  std::stable_sort(rows_.begin(), rows_.end(), RowOrder(column, ascending_));
  view_.ShowSorted(rows_, column, ascending_);
}

bool ResultsPresenter::ChooseDestination() {
  const std::string refusal = Text(MessageId::DestinationOnCard);
  // A folder chosen earlier in the run may have gone since (asked again), or
  // lie on the card scanned since (refused).
  std::error_code ec;
  if (!restore_.DestFolder.empty() && !std::filesystem::is_directory(restore_.DestFolder, ec))
    restore_.DestFolder.clear();
  if (!restore_.DestFolder.empty() && view_.OnScannedVolume(restore_.DestFolder)) {
    view_.Inform(refusal);
    restore_.DestFolder.clear();
  }
  while (restore_.DestFolder.empty()) {
    const std::filesystem::path chosen =
        view_.ChooseFolder(Text(MessageId::SelectDestination));
    if (chosen.empty())
      return false;
    if (view_.OnScannedVolume(chosen)) {
      view_.Inform(refusal);
      continue;
    }
    restore_.DestFolder = chosen;
  }
  return true;
}

void ResultsPresenter::Preview(std::optional<std::size_t> selected) {
  if (Busy() || rows_.empty() || !selected || *selected >= rows_.size())
    return;
  Start(ResultsJob::Preview,
        [this, name = rows_[*selected].Name](OperationHost &host) {
          return ResultsOutcome(commands_.Preview(host, name));
        });
}

void ResultsPresenter::Restore(std::optional<std::size_t> selected) {
  if (rows_.empty())
    return;
  if (Busy()) {
    // Only a restore of ticked files can be stopped.
    if (job_ == ResultsJob::Rows)
      runner_.AskStop(Text(MessageId::CancelOperation));
    return;
  }
  if (!selected || *selected >= rows_.size()) {
    selected = 0;
    view_.SelectRow(0);
  }
  if (!ChooseDestination())
    return;
  // Nothing ticked in any folder: the selected row.
  if (ticked_.empty()) {
    SetTicked(*selected, true);
    view_.ShowTicks(rows_);
  }
  // The rows shown as listed, then the ticked files of the other folders
  // in the catalogue's order.
  std::vector<RestoreRow> files;
  for (const ResultsRow &row : rows_)
    files.push_back({row.Name, row.Ticked, {}});
  for (const FoundFolder &folder : state_.Catalogue.Folders()) {
    if (folder.Section == section_)
      continue;
    for (const FoundFileRow &file : folder.Files)
      if (ticked_.contains({folder.Section, file.Name}))
        files.push_back({file.Name, true, folder.Section});
  }
  if (resultsHintEnabled_ && resultsHintEnabled_())
    view_.ShowResultsHint();
  Start(ResultsJob::Rows, [this, files = std::move(files)](OperationHost &host) {
    return ResultsOutcome(commands_.RestoreRows(host, files));
  });
}

void ResultsPresenter::RestoreFolder() {
  if (Busy() || state_.Tree.Empty())
    return;
  if (!ChooseDestination())
    return;
  Start(ResultsJob::Folder, [this](OperationHost &host) {
    return ResultsOutcome(commands_.RestoreFolder(host));
  });
}

void ResultsPresenter::Start(ResultsJob job, std::function<ResultsOutcome(OperationHost &)> work) {
  restore_.CurrentSection = section_;
  job_ = job;
  view_.ShowRunning(job);
  runner_.Start<ResultsOutcome>(std::move(work), [this](const ResultsOutcome &outcome) { Ended(outcome); });
}

void ResultsPresenter::ShowUpdate(const RunUpdate &update) {
  if (update.ProgressWidth || update.ProgressShown)
    view_.ShowProgress(update.ProgressWidth, update.ProgressShown);
}

bool ResultsPresenter::AskStop(const std::string &question) {
  const bool stop = view_.Ask(question);
  if (stop)
    view_.ShowStopping();
  return stop;
}

void ResultsPresenter::Ended(const ResultsOutcome &outcome) {
  job_ = ResultsJob::None;
  view_.ShowRunning(ResultsJob::None);
  if (const auto *preview = std::get_if<PreviewOutcome>(&outcome)) {
    if (preview->Outcome == PreviewOutcome::Result::Ready)
      OpenPreview(preview->Path);
    else if (preview->Outcome != PreviewOutcome::Result::Busy)
      view_.Inform(preview->Message);
  } else if (const auto &restored = std::get<RestoreOutcome>(outcome); restored.Ran) {
    std::string message = restored.Message;
    // Files that could not be created are not counted; the system says why.
    if (restored.WriteError == 0 && restored.CreateError != 0)
      message += '\n' + std::string(std::strerror(restored.CreateError));
    view_.Inform(message);
    // After a failed write the command ends with the error alone.
    if (restored.WriteError == 0)
      view_.Open(restore_.DestFolder);
  }
  view_.Finished();
}

void ResultsPresenter::OpenPreview(const std::filesystem::path &copy) {
  // The copy's name is "ae02xdc" and the found file's extension.
  const std::string extension = copy.filename().string().substr(std::string_view("ae02xdc").size());
  // A type the desktop knows opens in its program; anything else as text.
  // A name without an extension is handed to the desktop as it is.
  if (extension.empty() || view_.KnowsFileType(extension))
    view_.Open(copy);
  else
    view_.OpenAsText(copy);
}

bool ResultsPresenter::Close() {
  if (Busy())
    return false;
  state_.Catalogue.Clear();
  state_.Vol.ClearChainList();
  return true;
}

} // namespace orvanta
