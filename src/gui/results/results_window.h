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
#include <vector>

#include "gui/app/qt_dispatcher.h"
#include "gui/dialogs/image_button.h"
#include "gui/dialogs/svg_image.h"
#include "gui/results/photo_pictures.h"
#include "presentation/results_presenter.h"

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

// The icon of a found file's row: the desktop theme's icon for the file's
// type, or the bundled one for an unknown type, a name ending in "." and a
// ".Dir" entry.
QIcon FileIcon(const QString &name);

// TForm1b, the results window: the folders that lead to found files on the
// left, the found files of the selected folder on the right with their
// size, date and time and condition, and Preview, Restore and Close. It
// draws what its presenter says and hands the user's clicks to it.
class TForm1b : public QDialog, private ResultsView {
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
  QString CurrentSection() const { return QString::fromStdString(presenter_.CurrentSection()); }

  // Replaces the window's dialogs (null: the real ones again).
  void SetDialogs(ResultsDialogs *dialogs) { dialogs_ = dialogs; }
  // Whether a restore or a preview runs; the window's other handlers do
  // nothing meanwhile and it cannot be closed.
  bool ResultsBusy() const { return presenter_.Busy(); }

  void DListChange();
  // Preview of the selected row.
  void Button1Click();
  // Restore of the checked rows; Stop while that runs.
  void Button2Click();
  void Button3Click() { close(); }
  // "Restore folder": the selected folder with everything below it.
  void FolderItemClick();
  // "Check on", "Check off": every row of the list.
  void SelectallClick() { presenter_.CheckAll(true); }
  void UncheckallClick() { presenter_.CheckAll(false); }
  QMenu *DListPopupMenu() const { return dListMenu_; }
  QMenu *FListPopupMenu() const { return fListMenu_; }

  // The look of a restore under way at `percent`, without one running (the
  // pictures of the windows).
  void ShowRestoreLook(int percent);

  // A click on the list's column header: sorts by that column, the next
  // click on it reverses the order.
  void SortBy(int column) { presenter_.SortBy(static_cast<ResultsColumn>(column)); }

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

private:
  // What the presenter shows and asks.
  void ShowRows(const std::vector<ResultsRow> &rows) override;
  void ShowSorted(const std::vector<ResultsRow> &rows,
                  ResultsColumn column, bool ascending) override;
  void ShowTicks(const std::vector<ResultsRow> &rows) override;
  void SelectRow(std::size_t index) override;
  void ShowTickedCount(std::size_t count) override;
  void ShowRunning(ResultsJob job) override;
  void Inform(const std::string &text) override;
  bool Ask(const std::string &question) override;
  void ShowResultsHint() override;
  std::filesystem::path ChooseFolder(const std::string &title) override;
  bool OnScannedVolume(const std::filesystem::path &folder) override;
  bool KnowsFileType(const std::string &extension) override;
  void Open(const std::filesystem::path &path) override;
  void OpenAsText(const std::filesystem::path &path) override;
  void ShowProgress(std::optional<int> fillWidth, std::optional<bool> shown) override;
  void ShowStopping() override;
  void Finished() override;

  ImageButton *AddCommand(int number, const QString &caption);
  void Arrange();
  ResultsDialogs &Dialogs();
  // The row selected in the list, if any.
  std::optional<std::size_t> SelectedRow() const;
  // A row's box was ticked or cleared by the user.
  void RowChanged(QTreeWidgetItem *row, int column);
  std::filesystem::path ScannedDevice() const;
  // The folder menu for a right click (or the menu key) on the tree.
  void DListMenuAt(const QContextMenuEvent &event);
  void SetRunningLook(ResultsJob job);
  // The pictures of the photos listed that have none yet, as tooltips.
  void LoadPictures();
  void ShowPicture(const QString &section, const QString &name, const QImage &picture);

  AppContext &context_;
  QTreeWidget *dList_;
  QTreeWidget *fList_;
  QLabel *hintLabel_;
  QLabel *tickedLabel_;
  ImageButton *buttons_[3];
  SvgImage *progressBarA_;
  SvgImage *progressBarB_;
  QMenu *dListMenu_;
  QMenu *fListMenu_;
  ResultsDialogs *dialogs_ = nullptr;
  std::unique_ptr<ResultsDialogs> windowDialogs_;
  PhotoPictures *pictures_;
  QHash<QString, QTreeWidgetItem *> rowsByName_; // the rows of the list, by name
  EngineResultsCommands commands_;
  QtDispatcher dispatcher_{*this};
  ResultsPresenter presenter_;
};

} // namespace orvanta::gui
