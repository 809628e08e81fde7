#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "engine/operation_host.h"
#include "jobs/engine_state.h"
#include "jobs/preview.h"
#include "jobs/restore_jobs.h"
#include "presentation/dispatcher.h"
#include "presentation/messages.h"
#include "presentation/operation_runner.h"
#include "scan/file_condition.h"
#include "scan/folder_tree.h"

namespace orvanta {

// The size text of the results list: bytes below 1 KiB, then whole Kb, Mb
// and Gb, truncated ("512 b", "1 Kb").
std::string SizeText(std::uint64_t bytes);

// The columns of the file list, as the user sorts it.
enum class ResultsColumn { Name, Size, Written, Condition };

// One row of the file list: a found file of the folder shown, with the
// texts of its cells and whether it is ticked.
struct ResultsRow {
  std::string Name;
  std::uint64_t Size = 0;
  std::string SizeText;
  // Empty, and no order, for a file found by its content without a date.
  std::string WrittenText;
  std::optional<std::uint64_t> WrittenOrder;
  std::optional<FileCondition> Condition;
  std::string ConditionText; // empty when the row records no condition
  bool FirstLetterLost = false;
  bool Ticked = false;
};

// What runs while the window is busy.
enum class ResultsJob { None, Rows, Folder, Preview };
using ResultsOutcome = std::variant<RestoreOutcome, PreviewOutcome>;

// The commands of the results window, run on a worker thread. The program
// runs the engine's jobs (EngineResultsCommands); tests answer with a
// stand-in.
class ResultsCommands {
public:
  virtual ~ResultsCommands() = default;
  // The files of `rows` that are checked (RestoreCheckedRows).
  virtual RestoreOutcome RestoreRows(OperationHost &host, std::span<const RestoreRow> rows) = 0;
  // The folder last shown with everything below it.
  virtual RestoreOutcome RestoreFolder(OperationHost &host) = 0;
  // The preview copy of the file `name` of the folder last shown.
  virtual PreviewOutcome Preview(OperationHost &host, std::string_view name) = 0;
};

class EngineResultsCommands final : public ResultsCommands {
public:
  EngineResultsCommands(EngineState &state, RestoreState &restore, std::filesystem::path tempFolder,
                        std::filesystem::path runtimeFolder)
      : state_(state), restore_(restore), tempFolder_(std::move(tempFolder)),
        runtimeFolder_(std::move(runtimeFolder)) {}
  RestoreOutcome RestoreRows(OperationHost &host, std::span<const RestoreRow> rows) override;
  RestoreOutcome RestoreFolder(OperationHost &host) override;
  PreviewOutcome Preview(OperationHost &host, std::string_view name) override;

private:
  EngineState &state_;
  RestoreState &restore_;
  std::filesystem::path tempFolder_;
  std::filesystem::path runtimeFolder_;
};

// What the results flow needs of the front end that shows it: the list, the
// look of a running command, the dialogs, the folder chooser and the
// desktop's opener. Texts are UTF-8.
class ResultsView {
public:
  virtual ~ResultsView() = default;

  // The rows of the folder shown, in this order, unsorted.
  virtual void ShowRows(const std::vector<ResultsRow> &rows) = 0;
  // The same rows in a new order, sorted by `column`.
  virtual void ShowSorted(const std::vector<ResultsRow> &rows, ResultsColumn column,
                          bool ascending) = 0;
  // The rows shown keep their order; their ticks changed.
  virtual void ShowTicks(const std::vector<ResultsRow> &rows) = 0;
  // The row at `index` becomes the selected one.
  virtual void SelectRow(std::size_t index) = 0;
  // The count of ticked files of every folder.
  virtual void ShowTickedCount(std::size_t count) = 0;
  // A command is about to start (`job`), or ended (None): what may be used
  // meanwhile. Work of the view's own on the engine stops before a start.
  virtual void ShowRunning(ResultsJob job) = 0;

  virtual void Inform(const std::string &text) = 0;
  // True when the answer was Yes.
  virtual bool Ask(const std::string &question) = 0;
  // The hint shown before a restore of ticked files.
  virtual void ShowResultsHint() = 0;
  // The folder chooser; empty when it was cancelled.
  virtual std::filesystem::path ChooseFolder(const std::string &title) = 0;

  // Whether a folder lies on the volume the results were found on.
  virtual bool OnScannedVolume(const std::filesystem::path &folder) = 0;
  // Whether the desktop has a program for files of this extension (".jpg").
  virtual bool KnowsFileType(const std::string &extension) = 0;
  virtual void Open(const std::filesystem::path &path) = 0;
  virtual void OpenAsText(const std::filesystem::path &path) = 0;

  // The bar of a running restore: its fill (0 to kProgressTrackWidth) and
  // whether it is shown, when they changed.
  virtual void ShowProgress(std::optional<int> fillWidth, std::optional<bool> shown) = 0;
  // Stop was confirmed: the restore ends at its next step.
  virtual void ShowStopping() = 0;
  // A command ended and its outcome was shown.
  virtual void Finished() = 0;
};

// The flow of the results window: the folder shown and its rows, the ticks
// (kept per found file while the window lives), sorting, the destination of
// restored files, and Restore, Restore folder and Preview with what follows
// them. The view draws what it is told and forwards the user's clicks.
class ResultsPresenter final : private RunnerView {
public:
  // `resultsHintEnabled` says whether the hint comes before a restore of
  // ticked files.
  ResultsPresenter(EngineState &state, RestoreState &restore, ResultsView &view,
                   ResultsCommands &commands, Dispatcher &dispatcher,
                   std::function<bool()> resultsHintEnabled);

  // The results of a new Find: nothing shown, nothing ticked.
  void Reset();
  // The folders that lead to found files, as the scans left them.
  const FolderTree &Tree() const { return state_.Tree; }
  // Shows the found files of a folder (its catalogue section), unsorted; an
  // empty section shows nothing. Ignored while a command runs.
  void ShowFolder(const std::string &section);
  const std::string &CurrentSection() const { return section_; }
  const std::vector<ResultsRow> &Rows() const { return rows_; }

  // A tick set or cleared on the row at `index` by the user.
  void SetTicked(std::size_t index, bool ticked);
  // "Check on", "Check off": every row shown.
  void CheckAll(bool ticked);
  std::size_t TickedCount() const { return ticked_.size(); }

  // Sorts by a column; the next sort by it reverses the order. Rows without
  // a date come last either way; rows without a number otherwise first.
  void SortBy(ResultsColumn column);
  std::optional<ResultsColumn> SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return ascending_; }

  bool Busy() const { return job_ != ResultsJob::None; }
  ResultsJob Job() const { return job_; }

  // Preview of the row at `selected`.
  void Preview(std::optional<std::size_t> selected);
  // Restore of the ticked files, or Stop while that runs. `selected` is the
  // row selected in the list.
  void Restore(std::optional<std::size_t> selected);
  // "Restore folder": the folder shown with everything below it.
  void RestoreFolder();
  // Whether the window may close now; when it may, preview and restore end
  // with it: the catalogue is emptied.
  bool Close();

  std::string ConditionText(FileCondition condition) const;
  // The note on a name whose first letter was lost.
  std::string FirstLetterLostText() const;

private:
  void ShowUpdate(const RunUpdate &update) override;
  bool AskStop(const std::string &question) override;
  // The outcome of the command that ran, on the front end's thread.
  void Ended(const ResultsOutcome &outcome);
  // The destination of this run, asked for when there is none; a folder on
  // the volume being recovered is refused and asked for again. False when
  // the user cancelled.
  bool ChooseDestination();
  void Start(ResultsJob job, std::function<ResultsOutcome(OperationHost &)> work);
  void OpenPreview(const std::filesystem::path &copy);
  std::string Text(MessageId id) const;

  EngineState &state_;
  RestoreState &restore_;
  ResultsView &view_;
  ResultsCommands &commands_;
  std::function<bool()> resultsHintEnabled_;

  std::string section_;
  std::vector<ResultsRow> rows_;
  std::set<std::pair<std::string, std::string>> ticked_; // section, name
  std::optional<ResultsColumn> sortColumn_;
  bool ascending_ = true;
  ResultsJob job_ = ResultsJob::None;
  // Last: its worker stops before the rest goes.
  OperationRunner runner_;
};

} // namespace orvanta
