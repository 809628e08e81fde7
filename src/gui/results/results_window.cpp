#include "gui/results/results_window.h"

#include <QDateTime>
#include <QHash>
#include <QHeaderView>
#include <QMimeDatabase>
#include <QPainter>
#include <QSizeGrip>
#include <QSvgRenderer>

#include <functional>

#include "gui/app/app_context.h"
#include "gui/dialogs/fonts.h"
#include "gui/dialogs/skinned_window.h"
#include "gui/dialogs/svg_image.h"
#include "gui/dialogs/top_band_drag.h"
#include "scan/found_file_row.h"

namespace orvanta::gui {

namespace {

constexpr int kListTop = 72;
constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kSectionRole = Qt::UserRole + 2;

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

// A row of the file list: sorts by the number or the date behind a cell
// where there is one, else by its text.
class FileRow final : public QTreeWidgetItem {
public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem &other) const override {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    const QVariant mine = data(column, kSortRole);
    const QVariant theirs = other.data(column, kSortRole);
    if (mine.isValid() && theirs.isValid()) {
      if (mine.typeId() == QMetaType::QDateTime && theirs.typeId() == QMetaType::QDateTime)
        return mine.toDateTime() < theirs.toDateTime();
      if (mine.typeId() != QMetaType::QDateTime && theirs.typeId() != QMetaType::QDateTime)
        return mine.toLongLong() < theirs.toLongLong();
    }
    // Rows without a number or a date go first.
    if (mine.isValid() != theirs.isValid())
      return !mine.isValid();
    return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
  }
};

// The sort key of a "yyyy/MM/dd HH:mm" date, read by hand and kept in UTC:
// it orders as the date does, without a parser and a time-zone lookup per
// row. Invalid for any other text.
QDateTime SortStamp(const QString &when) {
  if (when.size() != 16 || when[4] != QLatin1Char('/') || when[7] != QLatin1Char('/') ||
      when[10] != QLatin1Char(' ') || when[13] != QLatin1Char(':'))
    return {};
  int fields[5];
  const int starts[5] = {0, 5, 8, 11, 14};
  const int lengths[5] = {4, 2, 2, 2, 2};
  for (int i = 0; i < 5; ++i) {
    bool ok = false;
    fields[i] = QStringView(when).mid(starts[i], lengths[i]).toInt(&ok);
    if (!ok)
      return {};
  }
  const QDate date(fields[0], fields[1], fields[2]);
  const QTime time(fields[3], fields[4]);
  if (!date.isValid() || !time.isValid())
    return {};
  return QDateTime(date, time, Qt::UTC);
}

void AddFolder(QTreeWidgetItem *item, const FolderTree::Node &node, const QIcon icons[2]) {
  item->setText(0, QString::fromStdString(node.Text));
  item->setIcon(0, icons[node.ImageIndex == 1 ? 1 : 0]);
  item->setData(0, kSectionRole, QString::fromStdString(FolderTree::SectionName(node)));
  for (const auto &child : node.Children)
    AddFolder(new QTreeWidgetItem(item), *child, icons);
}

} // namespace

QString SizeText(std::int64_t bytes) {
  if (bytes < 1024)
    return QStringLiteral("%1 b").arg(bytes);
  if (bytes < 1024 * 1024)
    return QStringLiteral("%1 Kb").arg(bytes / 1024);
  if (bytes < 1024 * 1024 * 1024)
    return QStringLiteral("%1 Mb").arg(bytes / (1024 * 1024));
  return QStringLiteral("%1 Gb").arg(bytes / (1024LL * 1024 * 1024));
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
      context_(context) {
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
  fList_->setHeaderLabels({c.Text("Restore", "File", "File"), c.Text("Restore", "Size", "Size"),
                           c.Text("Restore", "Created", "Created")});
  const int widths[] = {200, 100, 120};
  const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
  for (int i = 0; i < 3; ++i) {
    fList_->setColumnWidth(i, widths[i]);
    fList_->headerItem()->setTextAlignment(i, alignments[i] | Qt::AlignVCenter);
  }
  fList_->header()->setSectionsClickable(true);
  fList_->header()->setSortIndicatorShown(false);
  connect(fList_->header(), &QHeaderView::sectionClicked, this, &TForm1b::SortBy);
  connect(fList_, &QTreeWidget::itemDoubleClicked, this, &TForm1b::Button1Click);

  hintLabel_ = new QLabel(c.Text("Drive", "Message5",
                                 "Note: some deleted files may be damaged. Their undeleting is impossible."),
                          this);
  hintLabel_->setObjectName(QStringLiteral("HintLabel"));
  hintLabel_->setAlignment(Qt::AlignCenter);
  hintLabel_->setWordWrap(true);
  hintLabel_->setFont(Arial(11));
  QPalette hint = hintLabel_->palette();
  hint.setColor(QPalette::WindowText, kSkinColour);
  hintLabel_->setPalette(hint);

  auto *hover = new HoverGroup(this);
  buttons_[0] = AddCommand(1, c.Text("Buttons", "Preview", "Preview"));
  buttons_[1] = AddCommand(2, c.Text("Buttons", "Restore", "Restore"));
  buttons_[2] = AddCommand(3, c.Text("Buttons", "Close", "Close"));
  for (ImageButton *b : buttons_)
    hover->Add(b);
  connect(buttons_[0], &ImageButton::Clicked, this, &TForm1b::Button1Click);
  connect(buttons_[1], &ImageButton::Clicked, this, &TForm1b::Button2Click);
  connect(buttons_[2], &ImageButton::Clicked, this, &TForm1b::Button3Click);

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
void TForm1b::Arrange() {
  const int dw = width() - kSize.width();
  const int dh = height() - kSize.height();
  dList_->setGeometry(36, kListTop, 280, 432 + dh);
  fList_->setGeometry(320, kListTop, 450 + dw, 432 + dh);
  hintLabel_->setGeometry(12, 544 + dh, 240, 48);
  for (int i = 0; i < 3; ++i) {
    const QPoint topLeft(260 + 176 * i + dw, 550 + dh);
    buttons_[i]->NormalImage()->move(topLeft);
    buttons_[i]->HoverImage()->move(topLeft);
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
  fList_->clear();
  currentSection_.clear();
  const QIcon folders[2] = {ArtworkIcon("folder_present"), ArtworkIcon("folder_absent")};
  for (const auto &root : context_.State().Tree.TopLevel())
    AddFolder(new QTreeWidgetItem(dList_), *root, folders);
  if (QTreeWidgetItem *first = dList_->topLevelItem(0)) {
    first->setExpanded(true);
    dList_->setCurrentItem(first);
  }
  DListChange();
}

void TForm1b::DListChange() {
  QTreeWidgetItem *node = dList_->currentItem();
  fList_->clear();
  sortColumn_ = -1;
  fList_->header()->setSortIndicatorShown(false);
  if (!node)
    return;
  currentSection_ = node->data(0, kSectionRole).toString();
  const auto &catalogue = context_.State().Catalogue;
  const std::string section = currentSection_.toStdString();
  QList<QTreeWidgetItem *> rows;
  for (const std::string &key : catalogue.Keys(section)) {
    const std::string value = catalogue.Value(section, key);
    if (value.empty())
      continue;
    const FoundFileCells cells = FoundFileCells::Read(value);
    auto *row = new FileRow;
    const QString name = QString::fromStdString(key);
    row->setText(0, name);
    row->setIcon(0, FileIcon(name));
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, Qt::Unchecked);
    if (cells.Size) {
      row->setText(1, SizeText(*cells.Size));
      row->setData(1, kSortRole, QVariant::fromValue<qlonglong>(*cells.Size));
    } else {
      row->setText(1, QString::fromStdString(cells.SizeText));
    }
    const QString when = QString::fromStdString(cells.DateTime);
    row->setText(2, when);
    const QDateTime stamp = SortStamp(when);
    if (stamp.isValid())
      row->setData(2, kSortRole, stamp);
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    row->setTextAlignment(2, Qt::AlignHCenter | Qt::AlignVCenter);
    rows << row;
  }
  fList_->addTopLevelItems(rows);
}

void TForm1b::SortBy(int column) {
  sortOrder_ = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                          : Qt::AscendingOrder;
  sortColumn_ = column;
  // The rows compare by the header's sort column: set it first.
  fList_->header()->setSortIndicator(column, sortOrder_);
  fList_->header()->setSortIndicatorShown(true);
  fList_->sortItems(column, sortOrder_);
}

void TForm1b::done(int result) {
  // Preview and restore read the catalogue; they work until the window
  // closes, however it closes.
  EngineState &state = context_.State();
  state.Catalogue.Clear();
  state.Vol.ClearChainList();
  QDialog::done(result);
}

} // namespace orvanta::gui
