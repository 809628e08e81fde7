#pragma once

#include <QLabel>

#include "gui/dialogs/skinned_window.h"

namespace orvanta::gui {

class AppContext;

// The addresses the About window shows; empty ones are left out.
struct AboutAddresses {
  QString HomePage;
  QString SupportEmail;
  // Those the build sets (ORVANTA_HOMEPAGE, ORVANTA_SUPPORT_EMAIL).
  static AboutAddresses OfThisBuild();
};

// TForm2a, the About window: the version, the home page and a link that
// starts a letter to support, and OK. The links go to the desktop's opener;
// the window stays open. An address that is not set is left out with its
// caption.
class TForm2a : public SkinnedWindow {
  Q_OBJECT
public:
  TForm2a(AppContext &context, QWidget *owner,
          const AboutAddresses &addresses = AboutAddresses::OfThisBuild());

  QLabel *VersionLabel() const { return versionLabel_; }
  QLabel *HomePageLabel1() const { return homePageLabel1_; }
  QLabel *HomePageLabel2() const { return homePageLabel2_; }
  QLabel *SupportLabel1() const { return supportLabel1_; }
  QLabel *SupportLabel2() const { return supportLabel2_; }
  ImageButton *Button1() const { return button1_; }

  void HomePageLabel2Click();
  void SupportLabel2Click();

private:
  AppContext &context_;
  QLabel *versionLabel_;
  QLabel *homePageLabel1_;
  QLabel *homePageLabel2_;
  QLabel *supportLabel1_;
  QLabel *supportLabel2_;
  ImageButton *button1_;
};

} // namespace orvanta::gui
