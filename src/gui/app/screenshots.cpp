#include "gui/app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTreeWidgetItemIterator>

#include <functional>
#include <memory>

#include "gui/app/app_context.h"
#include "gui/app/main_window.h"
#include "gui/dialogs/about_window.h"
#include "gui/dialogs/message_dialogs.h"
#include "gui/dialogs/promo_window.h"
#include "gui/results/results_window.h"
#include "scan/entry_decoding.h"
#include "jobs/find_job.h"

namespace orvanta::gui {

namespace {

bool Save(QWidget &window, const QString &folder, const QString &name, QStringList &written) {
  window.show();
  QApplication::processEvents();
  for (const int ratio : {1, 2}) {
    QImage image(window.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    window.render(&image);
    const QString file = QDir(folder).filePath(ratio == 1 ? name + ".png" : name + "@2x.png");
    if (!image.save(file))
      return false;
    written << file;
  }
  window.hide();
  return true;
}

// The results window after a Find on the first drive listed (the demo
// card): the tree expanded, a folder with files selected and two of its
// rows checked; then the same window during a restore. Nothing when no
// drive is listed or nothing is found there.
bool SaveResults(AppContext &context, QWidget &main, const QString &folder, QStringList &written) {
  const auto &drives = context.Drives().Refresh();
  if (drives.empty())
    return true;
  OperationHost host;
  FindOptions options;
  options.Drive = std::string{drives.front().Letter, ':'};
  options.MaxYearOffset = CurrentYearOffsetLimit();
  if (RunFind(context.State(), host, options).Outcome != FindOutcome::Result::Found)
    return true;
  TForm1b results(context, &main);
  results.Populate();
  results.DList()->expandAll();
  // The first folder below the root with two files or more.
  QTreeWidgetItem *chosen = nullptr;
  for (QTreeWidgetItemIterator it(results.DList()); *it && !chosen; ++it) {
    results.DList()->setCurrentItem(*it);
    if ((*it)->parent() && results.FList()->topLevelItemCount() >= 2)
      chosen = *it;
  }
  results.DList()->setCurrentItem(chosen ? chosen : results.DList()->topLevelItem(0));
  QTreeWidget *list = results.FList();
  for (int i = 0; i < list->topLevelItemCount() && i < 2; ++i)
    list->topLevelItem(i)->setCheckState(0, Qt::Checked);
  if (list->topLevelItemCount() > 0)
    list->setCurrentItem(list->topLevelItem(0));
  if (!Save(results, folder, QStringLiteral("results"), written))
    return false;
  results.ShowRestoreLook(40);
  return Save(results, folder, QStringLiteral("results_restoring"), written);
}

} // namespace

QStringList WriteScreenshots(AppContext &context, const QString &folder) {
  QStringList written;
  if (!QDir().mkpath(folder))
    return {};
  TForm1a main(context);
  if (!Save(main, folder, QStringLiteral("main_window"), written))
    return {};
  main.show();

  TForm3a information(context, &main);
  information.SetMessage(context.Text("Restore", "Message1", "Deleted files found:") + " 7");
  TForm3b confirmation(context, &main);
  confirmation.SetMessage(context.Text("Drive", "Message4", "Cancel operation?"));
  TForm3c deepScanHint(context, &main);
  TForm3d resultsHint(context, &main);
  TForm2a about(context, &main);
  PromoWindow tipsCli(context, &main, SettingsFlag::Promo1);
  PromoWindow tipsCard(context, &main, SettingsFlag::Promo2);
  const std::pair<QWidget *, const char *> windows[] = {
      {&information, "information"},   {&confirmation, "confirmation"},
      {&deepScanHint, "hint_deep_scan"}, {&resultsHint, "hint_results"},
      {&about, "about"},               {&tipsCli, "tips_cli"},
      {&tipsCard, "tips_card"},
  };
  for (const auto &[window, name] : windows)
    if (!Save(*window, folder, QLatin1String(name), written))
      return {};
  if (!SaveResults(context, main, folder, written))
    return {};
  main.hide();
  return written;
}

} // namespace orvanta::gui
