#include "gui/results/results_window.h"

#include <QDir>
#include <QFileDialog>
#include <QHash>
#include <QHeaderView>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QSvgRenderer>

#include <algorithm>

#include "gui/app/app_context.h"
#include "gui/dialogs/fonts.h"
#include "gui/dialogs/message_dialogs.h"
#include "engine/progress.h"
#include "engine/rounding.h"
#include "restore/destination_check.h"
#include "gui/dialogs/skinned_window.h"
#include "gui/dialogs/svg_image.h"
#include "gui/dialogs/top_band_drag.h"
#include "scan/found_file_row.h"

namespace orvanta::gui {

namespace {

constexpr int kListTop = 72;
constexpr int kSectionRole = Qt::UserRole + 2;
// On a row's name: set once its photo's picture is its tooltip.
constexpr int kPictureRole = Qt::UserRole + 3;

QIcon ArtworkIcon(const char *name) {
  QSvgRenderer renderer(Artwork(name));
  QIcon icon;
  for (int side : {16, 32}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// A dot in the condition's colour: green, amber, red, grey.
QIcon ConditionIcon(FileCondition condition) {
  static const QColor colours[] = {QColor(0x2e, 0xa0, 0x43), QColor(0xe0, 0x9b, 0x16),
                                   QColor(0xd0, 0x31, 0x2d), QColor(0x9a, 0x9a, 0x9a)};
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colours[static_cast<int>(condition)]);
  painter.drawEllipse(QRectF(3, 3, 10, 10));
  painter.end();
  return QIcon(pixmap);
}

void AddFolder(QTreeWidgetItem *item, const FolderTree::Node &node, const QIcon icons[2]) {
  item->setText(0, QString::fromStdString(node.Text));
  item->setIcon(0, icons[node.ImageIndex == 1 ? 1 : 0]);
  item->setData(0, kSectionRole, QString::fromStdString(FolderTree::SectionName(node)));
  for (const auto &child : node.Children)
    AddFolder(new QTreeWidgetItem(item), *child, icons);
}

// The real dialogs, owned by the results window.
class WindowResultsDialogs final : public ResultsDialogs {
public:
  WindowResultsDialogs(AppContext &context, QWidget &window) : context_(context), window_(window) {}

  void Inform(const QString &text) override {
    TForm3a dialog(context_, &window_);
    dialog.Inform(text);
  }
  bool Ask(const QString &question) override {
    TForm3b dialog(context_, &window_);
    return dialog.Ask(question);
  }
  void ResultsHint() override {
    TForm3d hint(context_, &window_);
    hint.exec();
  }
  QString SelectFolder(const QString &title, const QString &start) override {
    QFileDialog chooser(&window_, title, start);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.adjustSize();
    CentreOnParent(chooser);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
      return {};
    return chooser.selectedFiles().front();
  }

private:
  AppContext &context_;
  QWidget &window_;
};

} // namespace

QString DestinationStart() {
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QDir(pictures).exists())
    return pictures;
  return QDir::homePath();
}

QIcon FileIcon(const QString &name) {
  static const QIcon generic = ArtworkIcon("file_generic");
  static const QIcon unnamed = ArtworkIcon("file_unnamed");
  static const QIcon directory = ArtworkIcon("file_dir");
  if (name.endsWith(QLatin1Char('.')))
    return unnamed;
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot >= 0 && name.mid(dot) == QLatin1String(".Dir"))
    return directory;
  // A folder of thousands of photos asks for the same few types: each is
  // looked up in the MIME database and the icon theme once.
  static QHash<QString, QIcon> bySuffix;
  const qsizetype firstDot = name.indexOf(QLatin1Char('.'));
  const QString suffix = firstDot >= 0 ? name.mid(firstDot) : name;
  if (const auto known = bySuffix.constFind(suffix); known != bySuffix.cend())
    return *known;
  static const QMimeDatabase types;
  const QMimeType type = types.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
  const QIcon icon = !type.isValid() || type.isDefault()
                         ? generic
                         : QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), generic));
  bySuffix.insert(suffix, icon);
  return icon;
}

TForm1b::TForm1b(AppContext &context, QWidget *owner)
    : QDialog(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      context_(context),
      commands_(context.State(), context.Restore(), context.Folders().TempFolder,
                context.Folders().RuntimeFolder),
      presenter_(context.State(), context.Restore(), *this, commands_, dispatcher_,
                 [&context] { return context.Prefs().Hint2(); }) {
  setObjectName(QStringLiteral("TForm1b"));
  setWindowTitle(QStringLiteral("Orvanta"));
  setModal(true);
  resize(kSize);
  setMinimumSize(kMinimumSize);
  setFont(Arial(11));
  QPalette skin = palette();
  skin.setColor(QPalette::Window, kSkinColour);
  setPalette(skin);
  const AppContext &c = context_;

  dList_ = new QTreeWidget(this);
  dList_->setObjectName(QStringLiteral("DList"));
  dList_->setHeaderHidden(true);
  dList_->setIndentation(19);
  dList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  dList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  dList_->setIconSize({16, 16});
  connect(dList_, &QTreeWidget::currentItemChanged, this, &TForm1b::DListChange);

  fList_ = new QTreeWidget(this);
  fList_->setObjectName(QStringLiteral("FList"));
  fList_->setRootIsDecorated(false);
  fList_->setUniformRowHeights(true);
  fList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fList_->setIconSize({16, 16});
  fList_->setHeaderLabels({c.Text(MessageId::FileColumn), c.Text(MessageId::SizeColumn),
                           c.Text(MessageId::CreatedColumn),
                           c.Text(MessageId::ConditionColumn)});
  // Four columns share the 450 pixels that three had: the name takes what
  // the others leave, so it also grows with the window.
  const int widths[] = {0, 65, 105, 118};
  const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                      Qt::AlignLeft};
  fList_->header()->setStretchLastSection(false);
  fList_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int i = 0; i < 4; ++i) {
    if (widths[i] > 0)
      fList_->setColumnWidth(i, widths[i]);
    fList_->headerItem()->setTextAlignment(i, alignments[i] | Qt::AlignVCenter);
  }
  fList_->header()->setSectionsClickable(true);
  fList_->header()->setSortIndicatorShown(false);
  connect(fList_->header(), &QHeaderView::sectionClicked, this, &TForm1b::SortBy);
  connect(fList_, &QTreeWidget::itemDoubleClicked, this, &TForm1b::Button1Click);
  pictures_ = new PhotoPictures(context_.State(), this);
  connect(pictures_, &PhotoPictures::Loaded, this, &TForm1b::ShowPicture);

  hintLabel_ = new QLabel(c.Text(MessageId::DamagedFilesNote), this);
  hintLabel_->setObjectName(QStringLiteral("HintLabel"));
  hintLabel_->setAlignment(Qt::AlignCenter);
  hintLabel_->setWordWrap(true);
  hintLabel_->setFont(Arial(11));
  QPalette hint = hintLabel_->palette();
  hint.setColor(QPalette::WindowText, kSkinColour);
  hintLabel_->setPalette(hint);

  tickedLabel_ = new QLabel(this);
  tickedLabel_->setObjectName(QStringLiteral("TickedLabel"));
  tickedLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  tickedLabel_->setFont(Arial(11, true));
  tickedLabel_->setPalette(hint);
  connect(fList_, &QTreeWidget::itemChanged, this, &TForm1b::RowChanged);
  ShowTickedCount(0);

  auto *hover = new HoverGroup(this);
  buttons_[0] = AddCommand(1, c.Text(MessageId::PreviewButton));
  buttons_[1] = AddCommand(2, c.Text(MessageId::RestoreButton));
  buttons_[2] = AddCommand(3, c.Text(MessageId::CloseButton));
  for (ImageButton *b : buttons_)
    hover->Add(b);
  connect(buttons_[0], &ImageButton::Clicked, this, &TForm1b::Button1Click);
  connect(buttons_[1], &ImageButton::Clicked, this, &TForm1b::Button2Click);
  connect(buttons_[2], &ImageButton::Clicked, this, &TForm1b::Button3Click);
  // Tab goes as the eye does: the folders, the files, then the commands.
  QWidget *order[] = {dList_, fList_, buttons_[0]->Focus(), buttons_[1]->Focus(), buttons_[2]->Focus()};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);

  progressBarA_ = new SvgImage(Artwork("progress_track"), this);
  progressBarA_->setObjectName(QStringLiteral("ProgressBarA"));
  progressBarA_->hide();
  progressBarB_ = new SvgImage(Artwork("progress_fill"), this);
  progressBarB_->setObjectName(QStringLiteral("ProgressBarB"));
  progressBarB_->SetArtworkSize({kProgressTrackWidth, 14});
  progressBarB_->resize(0, 14);
  progressBarB_->hide();

  // The folder menu acts on the folder under the pointer: a right click
  // makes it the current folder first, as file managers do.
  dListMenu_ = new QMenu(this);
  dListMenu_->setObjectName(QStringLiteral("DListPopupMenu"));
  QAction *folderItem = dListMenu_->addAction(c.Text(MessageId::RestoreFolderItem));
  folderItem->setObjectName(QStringLiteral("FolderItem"));
  connect(folderItem, &QAction::triggered, this, &TForm1b::FolderItemClick);
  dList_->viewport()->installEventFilter(this);
  fListMenu_ = new QMenu(this);
  fListMenu_->setObjectName(QStringLiteral("FListPopupMenu"));
  QAction *checkAll = fListMenu_->addAction(c.Text(MessageId::CheckOn));
  checkAll->setObjectName(QStringLiteral("CheckAllItem"));
  connect(checkAll, &QAction::triggered, this, &TForm1b::SelectallClick);
  QAction *uncheckAll = fListMenu_->addAction(c.Text(MessageId::CheckOff));
  uncheckAll->setObjectName(QStringLiteral("UnCheckAllItem"));
  connect(uncheckAll, &QAction::triggered, this, &TForm1b::UncheckallClick);
  fList_->installEventFilter(this); // the menu key
  fList_->viewport()->installEventFilter(this);

  auto *grip = new QSizeGrip(this);
  grip->setObjectName(QStringLiteral("SizeGrip"));
  grip->resize(16, 16);

  new TopBandDrag(this, kListTop);
  Arrange();
}

ImageButton *TForm1b::AddCommand(int number, const QString &caption) {
  const QPoint topLeft(260 + 176 * (number - 1), 550);
  return MakeCaptionedButton(this, QStringLiteral("Button%1").arg(number), "command_button",
                             "command_button_hover", QRect(topLeft, QSize(171, 38)),
                             QRect(topLeft + QPoint(11, 11), QSize(150, 18)), Verdana(16, true),
                             caption);
}

// The design places everything for 800 × 600; a larger or smaller window
// gives the lists the difference and keeps the bottom row at the bottom and
// the buttons at the right.
void TForm1b::setVisible(bool visible) {
  if (visible && !isVisible())
    CentreOnParent(*this);
  QDialog::setVisible(visible);
}

void TForm1b::Arrange() {
  const int dw = width() - kSize.width();
  const int dh = height() - kSize.height();
  dList_->setGeometry(36, kListTop, 280, 432 + dh);
  fList_->setGeometry(320, kListTop, 450 + dw, 432 + dh);
  hintLabel_->setGeometry(12, 544 + dh, 240, 48);
  tickedLabel_->setGeometry(320, 508 + dh, 450 + dw, 18);
  progressBarA_->setGeometry(120, 512 + dh, kProgressTrackWidth, 14);
  progressBarB_->move(120, 512 + dh);
  for (int i = 0; i < 3; ++i) {
    const QPoint topLeft(260 + 176 * i + dw, 550 + dh);
    buttons_[i]->NormalImage()->move(topLeft);
    buttons_[i]->HoverImage()->move(topLeft);
    buttons_[i]->Focus()->move(topLeft);
    buttons_[i]->Caption()->move(topLeft + QPoint(11, 11));
  }
  if (auto *grip = findChild<QSizeGrip *>(QStringLiteral("SizeGrip")))
    grip->move(width() - grip->width(), height() - grip->height());
}

void TForm1b::resizeEvent(QResizeEvent *event) {
  QDialog::resizeEvent(event);
  Arrange();
}

void TForm1b::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  if (size() == kSize) {
    QSvgRenderer(Artwork("results_window")).render(&painter, QRectF(rect()));
    return;
  }
  QSvgRenderer(Artwork("results_body")).render(&painter, QRectF(rect()));
  QSvgRenderer(Artwork("results_band")).render(&painter, QRectF(0, 0, width(), 60));
  QSvgRenderer logo(Artwork("title_logo"));
  logo.render(&painter, QRectF(QPointF(16, 10), logo.defaultSize()));
  painter.setPen(QColor(0x05, 0x13, 0x22));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TForm1b::Populate() {
  const QSignalBlocker quiet(dList_);
  dList_->clear();
  presenter_.Reset();
  const QIcon folders[2] = {ArtworkIcon("folder_present"), ArtworkIcon("folder_absent")};
  for (const auto &root : presenter_.Tree().TopLevel())
    AddFolder(new QTreeWidgetItem(dList_), *root, folders);
  if (QTreeWidgetItem *first = dList_->topLevelItem(0)) {
    first->setExpanded(true);
    dList_->setCurrentItem(first);
  }
  DListChange();
}

void TForm1b::DListChange() {
  if (ResultsBusy())
    return;
  const QTreeWidgetItem *node = dList_->currentItem();
  presenter_.ShowFolder(node ? node->data(0, kSectionRole).toString().toStdString() : std::string());
}

void TForm1b::ShowRows(const std::vector<ResultsRow> &rows) {
  pictures_->Stop();
  const QSignalBlocker quiet(fList_);
  rowsByName_.clear();
  fList_->clear();
  fList_->header()->setSortIndicatorShown(false);
  QList<QTreeWidgetItem *> items;
  items.reserve(qsizetype(rows.size()));
  QString firstLetterLost;
  for (const ResultsRow &file : rows) {
    auto *row = new QTreeWidgetItem;
    const QString name = QString::fromStdString(file.Name);
    row->setText(0, name);
    row->setIcon(0, FileIcon(name));
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, file.Ticked ? Qt::Checked : Qt::Unchecked);
    if (file.FirstLetterLost) {
      if (firstLetterLost.isEmpty())
        firstLetterLost = QString::fromStdString(presenter_.FirstLetterLostText());
      row->setToolTip(0, firstLetterLost);
    }
    row->setText(1, QString::fromStdString(file.SizeText));
    row->setText(2, QString::fromStdString(file.WrittenText));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    row->setTextAlignment(2, Qt::AlignHCenter | Qt::AlignVCenter);
    if (file.Condition) {
      row->setText(3, QString::fromStdString(file.ConditionText));
      row->setToolTip(3, row->text(3));
      row->setIcon(3, ConditionIcon(*file.Condition));
    }
    items << row;
    rowsByName_.insert(name, row);
  }
  fList_->addTopLevelItems(items);
  LoadPictures();
}

void TForm1b::ShowSorted(const std::vector<ResultsRow> &rows,
                         ResultsColumn column, bool ascending) {
  // The same rows in another order: they keep their pictures and the
  // selection.
  const QSignalBlocker quiet(fList_);
  QTreeWidgetItem *current = fList_->currentItem();
  const QList<QTreeWidgetItem *> selected = fList_->selectedItems();
  fList_->invisibleRootItem()->takeChildren();
  QList<QTreeWidgetItem *> items;
  items.reserve(qsizetype(rows.size()));
  for (const ResultsRow &row : rows)
    if (QTreeWidgetItem *item = rowsByName_.value(QString::fromStdString(row.Name)))
      items << item;
  fList_->addTopLevelItems(items);
  if (current)
    fList_->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
  for (QTreeWidgetItem *item : selected)
    item->setSelected(true);
  fList_->header()->setSortIndicator(static_cast<int>(column),
                                     ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  fList_->header()->setSortIndicatorShown(true);
}

void TForm1b::ShowTicks(const std::vector<ResultsRow> &rows) {
  const QSignalBlocker quiet(fList_);
  for (int i = 0; i < fList_->topLevelItemCount() && std::size_t(i) < rows.size(); ++i)
    fList_->topLevelItem(i)->setCheckState(0, rows[std::size_t(i)].Ticked ? Qt::Checked : Qt::Unchecked);
}

void TForm1b::SelectRow(std::size_t index) {
  if (QTreeWidgetItem *row = fList_->topLevelItem(int(index)))
    fList_->setCurrentItem(row);
}

std::optional<std::size_t> TForm1b::SelectedRow() const {
  QTreeWidgetItem *row = fList_->currentItem();
  if (!row || !row->isSelected())
    return std::nullopt;
  return std::size_t(fList_->indexOfTopLevelItem(row));
}

void TForm1b::RowChanged(QTreeWidgetItem *row, int column) {
  if (column == 0)
    presenter_.SetTicked(std::size_t(fList_->indexOfTopLevelItem(row)),
                         row->checkState(0) == Qt::Checked);
}

void TForm1b::ShowTickedCount(std::size_t count) {
  tickedLabel_->setText(context_.Text(MessageId::FilesTicked) + QLatin1Char(' ') +
                        QString::number(count));
}

void TForm1b::LoadPictures() {
  if (ResultsBusy())
    return;
  QStringList names;
  for (int i = 0; i < fList_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem *row = fList_->topLevelItem(i);
    if (IsPhotoName(row->text(0)) && !row->data(0, kPictureRole).toBool())
      names << row->text(0);
  }
  pictures_->Load(CurrentSection(), names);
}

void TForm1b::ShowPicture(const QString &section, const QString &name, const QImage &picture) {
  if (section != CurrentSection())
    return;
  QTreeWidgetItem *row = rowsByName_.value(name);
  if (!row)
    return;
  // A note on the name stays under the picture.
  const QSignalBlocker quiet(fList_);
  const QString note = row->toolTip(0);
  row->setToolTip(0, PictureToolTip(picture) +
                         (note.isEmpty() ? QString() : "<br>" + note.toHtmlEscaped()));
  row->setData(0, kPictureRole, true);
}

void TForm1b::done(int result) {
  if (ResultsBusy())
    return;
  // Preview and restore read the catalogue; they work until the window
  // closes, however it closes.
  pictures_->Stop();
  presenter_.Close();
  QDialog::done(result);
}

ResultsDialogs &TForm1b::Dialogs() {
  if (dialogs_)
    return *dialogs_;
  if (!windowDialogs_)
    windowDialogs_ = std::make_unique<WindowResultsDialogs>(context_, *this);
  return *windowDialogs_;
}

bool TForm1b::eventFilter(QObject *watched, QEvent *event) {
  // Both menus open where the event says the pointer is: the window's own
  // idea of where it lies can be stale under a window manager.
  if ((watched == fList_ || watched == fList_->viewport()) && event->type() == QEvent::ContextMenu) {
    if (!ResultsBusy())
      fListMenu_->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
  }
  if (watched != dList_->viewport())
    return QDialog::eventFilter(watched, event);
  switch (event->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
    // The context menu chooses the folder it acts on.
    return static_cast<QMouseEvent *>(event)->button() == Qt::RightButton;
  case QEvent::ContextMenu:
    DListMenuAt(*static_cast<QContextMenuEvent *>(event));
    return true;
  default:
    return false;
  }
}

void TForm1b::DListMenuAt(const QContextMenuEvent &event) {
  if (ResultsBusy() || dList_->topLevelItemCount() == 0)
    return;
  // A click on a folder makes it the current one; elsewhere (or from the
  // keyboard) the menu acts on the folder already current.
  if (event.reason() == QContextMenuEvent::Mouse)
    if (QTreeWidgetItem *under = dList_->itemAt(event.pos()); under && under != dList_->currentItem())
      dList_->setCurrentItem(under);
  dListMenu_->popup(event.globalPos());
}

std::filesystem::path TForm1b::ScannedDevice() const {
  const std::string &drive = context_.State().Vol.Geometry().DrivePath;
  for (const DriveEntry &entry : context_.Drives().Entries())
    if (!drive.empty() && SameDriveText(std::string{entry.Letter, ':'}, drive))
      return entry.Path;
  return {};
}

bool TForm1b::OnScannedVolume(const std::filesystem::path &folder) {
  const std::filesystem::path device = ScannedDevice();
  return !device.empty() && DestinationOnVolume(folder, device);
}

void TForm1b::Inform(const std::string &text) { Dialogs().Inform(QString::fromStdString(text)); }

bool TForm1b::Ask(const std::string &question) {
  return Dialogs().Ask(QString::fromStdString(question));
}

void TForm1b::ShowResultsHint() { Dialogs().ResultsHint(); }

std::filesystem::path TForm1b::ChooseFolder(const std::string &title) {
  return Dialogs().SelectFolder(QString::fromStdString(title), DestinationStart()).toStdString();
}

bool TForm1b::KnowsFileType(const std::string &extension) {
  return context_.Opener().KnowsFileType(QString::fromStdString(extension));
}

void TForm1b::Open(const std::filesystem::path &path) {
  context_.Opener().Open(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

void TForm1b::OpenAsText(const std::filesystem::path &path) {
  context_.Opener().OpenAsText(QString::fromStdString(path.string()));
}

void TForm1b::Button1Click() { presenter_.Preview(SelectedRow()); }

void TForm1b::Button2Click() { presenter_.Restore(SelectedRow()); }

void TForm1b::FolderItemClick() { presenter_.RestoreFolder(); }

void TForm1b::ShowProgress(std::optional<int> fillWidth, std::optional<bool> shown) {
  if (fillWidth)
    progressBarB_->resize(std::clamp(*fillWidth, 0, kProgressTrackWidth), progressBarB_->height());
  if (shown) {
    progressBarA_->setVisible(*shown);
    progressBarB_->setVisible(*shown);
  }
}

void TForm1b::ShowStopping() { setCursor(Qt::BusyCursor); }

void TForm1b::ShowRunning(ResultsJob job) {
  // A restore or preview has the engine to itself.
  if (job != ResultsJob::None)
    pictures_->Stop();
  // A preview disables nothing.
  if (job == ResultsJob::Preview)
    return;
  SetRunningLook(job);
  if (job != ResultsJob::None)
    return;
  progressBarB_->resize(0, progressBarB_->height());
  progressBarA_->hide();
  progressBarB_->hide();
  unsetCursor();
}

void TForm1b::SetRunningLook(ResultsJob job) {
  const bool running = job != ResultsJob::None;
  dList_->setEnabled(!running);
  fList_->setEnabled(!running);
  buttons_[0]->SetEnabled(!running);
  buttons_[1]->SetEnabled(job != ResultsJob::Folder);
  buttons_[2]->SetEnabled(!running);
  // The bar takes its place while a restore runs.
  tickedLabel_->setVisible(!running);
  buttons_[1]->Caption()->setText(job == ResultsJob::Rows ? context_.Text(MessageId::StopButton)
                                                          : context_.Text(MessageId::RestoreButton));
}

void TForm1b::ShowRestoreLook(int percent) {
  SetRunningLook(ResultsJob::Rows);
  progressBarB_->resize(ProgressFillWidth(double(percent)), progressBarB_->height());
  progressBarA_->show();
  progressBarB_->show();
}

void TForm1b::Finished() {
  LoadPictures();
  emit OperationFinished();
}

} // namespace orvanta::gui
