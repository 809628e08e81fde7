#pragma once

#include <QContextMenuEvent>
#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QString>
#include <QTreeWidget>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

#include "gui/app/gui_host.h"
#include "gui/dialogs/image_button.h"
#include "gui/dialogs/svg_image.h"
#include "gui/results/file_ticks.h"
#include "gui/results/photo_pictures.h"
#include "jobs/preview.h"
#include "jobs/restore_jobs.h"
#include "scan/file_condition.h"

namespace orvanta::gui {

class AppContext;

// What the results window shows the user around its commands: the
// Information and Confirmation dialogs, the results hint and the folder
// browser. The program uses the real windows; tests answer with a stand-in.
class ResultsDialogs {
public:
  virtual ~ResultsDialogs() = default;
  virtual void Inform(const QString &text) = 0;
  // True when the answer was Yes.
  virtual bool Ask(const QString &question) = 0;
  // Shown before a restore of checked files while the hint is enabled.
  virtual void ResultsHint() = 0;
  // The folder browser, opened on `start`; empty when it was cancelled.
  virtual QString SelectFolder(const QString &title, const QString &start) = 0;
};

// Where the folder browser opens: the user's Pictures folder, else home;
// never the drive being recovered.
QString DestinationStart();

// The size text of the results list: bytes below 1 KiB, then whole Kb, Mb
// and Gb, truncated ("512 b", "1 Kb").
QString SizeText(std::uint64_t bytes);

// The icon of a found file's row: the desktop theme's icon for the file's
// type, or the bundled one for an unknown type, a name ending in "." and a
// ".Dir" entry.
QIcon FileIcon(const QString &name);

// TForm1b, the results window: the folders that lead to found files on the
// left, the found files of the selected folder on the right with their
// size, date and time and condition, and Preview, Restore and Close. It only reads the
// engine's tree and catalogue; closing it empties the catalogue.
class TForm1b : public QDialog {
  Q_OBJECT
public:
  static constexpr QSize kSize{800, 600};
  static constexpr QSize kMinimumSize{614, 450};

  TForm1b(AppContext &context, QWidget *owner);

  // Builds the tree from the last Find, expands and selects its root.
  void Populate();

  QTreeWidget *DList() const { return dList_; }
  QTreeWidget *FList() const { return fList_; }
  QLabel *HintLabel() const { return hintLabel_; }
  // "Files ticked: N", the ticks of every folder.
  QLabel *TickedLabel() const { return tickedLabel_; }
  // The catalogue section of the folder whose files are listed.
  const QString &CurrentSection() const { return currentSection_; }

  // Replaces the window's dialogs (null: the real ones again).
  void SetDialogs(ResultsDialogs *dialogs) { dialogs_ = dialogs; }
  // Whether a restore or a preview runs; the window's other handlers do
  // nothing meanwhile and it cannot be closed.
  bool ResultsBusy() const { return job_ != Job::None; }

  void DListChange();
  // Preview of the selected row.
  void Button1Click();
  // Restore of the checked rows; Stop while that runs.
  void Button2Click();
  void Button3Click() { close(); }
  // "Restore folder": the selected folder with everything below it.
  void FolderItemClick();
  // "Check on", "Check off": every row of the list.
  void SelectallClick() { CheckAll(true); }
  void UncheckallClick() { CheckAll(false); }
  QMenu *DListPopupMenu() const { return dListMenu_; }
  QMenu *FListPopupMenu() const { return fListMenu_; }

  // The look of a restore under way at `percent`, without one running (the
  // pictures of the windows).
  void ShowRestoreLook(int percent);

  // Stops a running restore and waits for its thread.
  ~TForm1b() override;
  // A click on the list's column header: sorts by that column, the next
  // click on it reverses the order.
  void SortBy(int column);

signals:
  // A restore or preview ended and its outcome was shown.
  void OperationFinished();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void done(int result) override;

public:
  // Centred on the main window before it is shown, by the program rather
  // than the window manager, so that the window's own idea of where it lies
  // (which its menus and dialogs are placed by) is where it is.
  void setVisible(bool visible) override;

protected:

private:
  enum class Job { None, Rows, Folder, Preview };
  using Outcome = std::variant<RestoreOutcome, PreviewOutcome>;

  ImageButton *AddCommand(int number, const QString &caption);
  // The condition column's text for a condition, from the language file.
  QString ConditionText(FileCondition condition) const;
  // The name's tooltip of a file whose first letter was lost.
  QString FirstLetterLostText() const;
  void Arrange();
  ResultsDialogs &Dialogs();
  void CheckAll(bool checked);
  // A row's box was ticked or cleared, by the user or a command.
  void RowChanged(QTreeWidgetItem *row, int column);
  void ShowTickCount();
  // The destination of this run, asked for when there is none; refuses a
  // folder on the drive being recovered. False when the user cancelled.
  bool ChooseDestination();
  std::filesystem::path ScannedDevice() const;
  void Start(Job job, std::vector<RestoreRow> rows, std::string previewName);
  void AskStop();
  void ApplyHostBatch();
  // The folder menu for a right click (or the menu key) on the tree.
  void DListMenuAt(const QContextMenuEvent &event);
  void SetRunningLook(Job job);
  void Ended(const Outcome &outcome);
  void OpenPreview(const std::filesystem::path &copy);
  // The pictures of the photos listed that have none yet, as tooltips.
  void LoadPictures();
  void ShowPicture(const QString &section, const QString &name, const QImage &picture);

  AppContext &context_;
  QTreeWidget *dList_;
  QTreeWidget *fList_;
  QLabel *hintLabel_;
  QLabel *tickedLabel_;
  FileTicks ticks_;
  ImageButton *buttons_[3];
  SvgImage *progressBarA_;
  SvgImage *progressBarB_;
  QMenu *dListMenu_;
  QMenu *fListMenu_;
  QString currentSection_;
  ResultsDialogs *dialogs_ = nullptr;
  std::unique_ptr<ResultsDialogs> windowDialogs_;
  // The restore or preview on its worker thread; the engine's state belongs
  // to the worker while a job runs.
  Job job_ = Job::None;
  std::unique_ptr<GuiHost> host_;
  std::thread worker_;
  bool asking_ = false; // "Cancel operation?" is open
  std::optional<Outcome> endedWhileAsking_;
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
  PhotoPictures *pictures_;
  QHash<QString, QTreeWidgetItem *> rowsByName_; // the rows of the list, by name
};

} // namespace orvanta::gui
