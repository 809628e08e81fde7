#pragma once

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QString>
#include <QTreeWidget>

#include <cstdint>

#include "gui/dialogs/image_button.h"
#include "scan/file_condition.h"

namespace orvanta::gui {

class AppContext;

// The size text of the results list: bytes below 1 KiB, then whole Kb, Mb
// and Gb, truncated ("512 b", "1 Kb").
QString SizeText(std::int64_t bytes);

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
  // The catalogue section of the folder whose files are listed.
  const QString &CurrentSection() const { return currentSection_; }

  void DListChange();
  void Button1Click() {}
  void Button2Click() {}
  void Button3Click() { close(); }
  // A click on the list's column header: sorts by that column, the next
  // click on it reverses the order.
  void SortBy(int column);

protected:
  void resizeEvent(QResizeEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void done(int result) override;

private:
  ImageButton *AddCommand(int number, const QString &caption);
  // The condition column's text for a condition, from the language file.
  QString ConditionText(FileCondition condition) const;
  void Arrange();

  AppContext &context_;
  QTreeWidget *dList_;
  QTreeWidget *fList_;
  QLabel *hintLabel_;
  ImageButton *buttons_[3];
  QString currentSection_;
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace orvanta::gui
