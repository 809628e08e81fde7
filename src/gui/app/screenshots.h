#pragma once

#include <QString>
#include <QStringList>

namespace orvanta::gui {

class AppContext;

// Draws every window of the program as the user sees it to PNG files in
// `folder`, at pixel ratios 1 ("name.png") and 2 ("name@2x.png"): the main
// window with its drive summary and, when a drive is listed, during a deep
// Find of it and during a free-space wipe of a copy of it held in memory;
// the Information, Confirmation and both hint dialogs, About and the two
// tips windows. Returns the files written; empty when the folder cannot be
// written.
QStringList WriteScreenshots(AppContext &context, const QString &folder);

} // namespace orvanta::gui
