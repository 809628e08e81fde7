#pragma once

#include <QCheckBox>
#include <QLabel>

#include "gui/dialogs/skinned_window.h"
#include "settings/settings.h"

namespace orvanta::gui {

class AppContext;

// The two tips windows shown when the main window closes, while their flags
// are on: Promo1 tells about orvanta-cli for scripts and servers, Promo2 how
// to keep a card recoverable. Each has "Do not show this window again";
// leaving the window with the box ticked (OK or Escape) turns its flag off
// for good.
class PromoWindow : public SkinnedWindow {
  Q_OBJECT
public:
  PromoWindow(AppContext &context, QWidget *owner, SettingsFlag flag);

  QLabel *ActionLabel() const { return actionLabel_; }
  QLabel *InfoLabel() const { return infoLabel_; }
  QCheckBox *Check1() const { return check1_; }
  QLabel *CheckLabel() const { return checkLabel_; }
  ImageButton *Button1() const { return button1_; }

  void done(int result) override;

private:
  AppContext &context_;
  SettingsFlag flag_;
  QLabel *actionLabel_;
  QLabel *infoLabel_;
  QCheckBox *check1_;
  QLabel *checkLabel_;
  ImageButton *button1_;
};

} // namespace orvanta::gui
