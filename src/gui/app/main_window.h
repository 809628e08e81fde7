#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/app/qt_dispatcher.h"
#include "gui/dialogs/image_button.h"
#include "gui/dialogs/skinned_window.h"
#include "gui/dialogs/svg_image.h"
#include "presentation/main_window_presenter.h"

namespace orvanta::gui {

class AppContext;
class ClickLabel;
class TForm3a;
class TForm3b;

// The drive list box: narrow, so the closed box shows the start of the
// selected item with an ellipsis; the open list is as wide as its items.
class DriveComboBox : public QComboBox {
  Q_OBJECT
public:
  using QComboBox::QComboBox;

protected:
  void paintEvent(QPaintEvent *event) override;
};

// What the main window shows the user around its commands: the Information
// and Confirmation dialogs, the deep-scan hint and the results window. The
// program uses the real windows; tests answer with a stand-in.
class MainWindowDialogs {
public:
  virtual ~MainWindowDialogs() = default;
  virtual void Inform(const QString &text) = 0;
  // True when the answer was Yes.
  virtual bool Ask(const QString &question) = 0;
  // Shown before a search while the hint is enabled.
  virtual void DeepScanHint() = 0;
  // The results of the last search, modally.
  virtual void ShowResults() = 0;
};

// TForm1a, the main window: the drive list with the selected drive's
// summary in the log, the mask and the scan mode, and the Find, Wipe and
// Close commands. A borderless 700 × 518 window dragged by its top band
// left of the About button; a view over MainWindowPresenter, which holds
// the flow. While an operation runs (OperationRunning) the handlers that
// could interfere do nothing and closing is refused; minimising still works.
class TForm1a : public QWidget, private MainWindowView {
  Q_OBJECT
public:
  static constexpr QSize kSize{700, 518};
  static constexpr int kCounterRight = 639; // ResultLabel2's right edge

  explicit TForm1a(AppContext &context);
  // Stops a running Find or Wipe and waits for its thread.
  ~TForm1a() override;

  // The long-lived Information and Confirmation dialogs, made after this
  // window.
  void AttachDialogs(TForm3a *information, TForm3b *confirmation);
  TForm3a *Information() const { return information_; }
  TForm3b *Confirmation() const { return confirmation_; }
  // Replaces the window's dialogs (null: the real ones again).
  void SetDialogs(MainWindowDialogs *dialogs) { dialogs_ = dialogs; }

  bool OperationRunning() { return Presenter().OperationRunning(); }
  MainWindowPresenter &Presenter();

  // ResultLabel2 := the count; then the counter rule.
  void SetCounter(std::int64_t count);

  // Handlers, named after their controls.
  void ShowForm();
  void DriveBoxChange();
  void CheckLabel1Click();
  void CheckLabel2Click();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void TopButton1Click();
  void TopButton2Click();

  // Drives arrived or left: while the window is shown the presenter lists
  // them again.
  void DrivesChanged();

  // A second start asked this copy to come forward: the window leaves the
  // minimised state and its open modal window, or itself, is raised.
  void RestoreRequest();

  QComboBox *DriveBox() const { return driveBox_; }
  QPlainTextEdit *InfoList() const { return infoList_; }
  QLabel *ResultLabel1() const { return resultLabel1_; }
  QLabel *ResultLabel2() const { return resultLabel2_; }

signals:
  // The window closed for good: the program ends.
  void Closed();
  // A Find ended and its report was shown.
  void FindFinished();
  // A Wipe ended (or was refused or declined) and its report was shown.
  void WipeFinished();

protected:
  // The host the operations run with; made once, at the first Find or Wipe.
  virtual std::unique_ptr<BatchingHost> MakeHost();
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  QLabel *AddCaption(const char *name, QRect geometry, const QString &text);
  ImageButton *AddCommand(int number, QPoint topLeft, const QString &caption);
  ImageButton *AddTitleButton(int number, const char *artwork, QRect geometry, const QString &tip);
  void PlaceCounter();
  MainWindowDialogs &Dialogs();
  // The drives as the list shows them, in letter order.
  std::vector<DriveItem> ListDrives();

  void ShowDrives(const std::vector<DriveItem> &items, int selected) override;
  void ClearLog() override;
  void AppendLog(const std::vector<std::string> &lines) override;
  void ShowCounterCaption(const std::string &caption) override;
  void ShowCounter(std::int64_t value) override;
  void ShowProgressBar(bool shown) override;
  void ShowProgressWidth(int width) override;
  void ShowLook(const MainWindowLook &look) override;
  void CheckMode(bool deep) override;
  std::string Mask() const override;
  bool DeepScan() const override;
  void Inform(const std::string &text) override;
  bool Ask(const std::string &question) override;
  void ShowDeepScanHint() override;
  void ShowResults() override;
  void ShowAbout() override;
  void ShowTips(SettingsFlag flag) override;
  void CloseWindow() override;
  void CommandEnded(MainCommand command) override;

  AppContext &context_;
  TForm3a *information_ = nullptr;
  TForm3b *confirmation_ = nullptr;

  // Made at the first use, with the host of MakeHost().
  QtDispatcher dispatcher_{*this};
  std::unique_ptr<MainWindowPresenter> presenter_;
  MainWindowDialogs *dialogs_ = nullptr;
  std::unique_ptr<MainWindowDialogs> windowDialogs_;

  SvgImage *wndImage_;
  ImageButton *topButton1_;
  ImageButton *topButton2_;
  ImageButton *topButton3_;
  QComboBox *driveBox_;
  QLineEdit *maskEdit_;
  QRadioButton *check1_;
  QRadioButton *check2_;
  QPlainTextEdit *infoList_;
  QLabel *resultLabel1_;
  QLabel *resultLabel2_;
  SvgImage *progressBarA_;
  SvgImage *progressBarB_;
  ImageButton *button1_;
  ImageButton *button2_;
  ImageButton *button3_;
};

} // namespace orvanta::gui
