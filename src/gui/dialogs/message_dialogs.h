#pragma once

#include <QCheckBox>
#include <QLabel>

#include <utility>

#include "gui/dialogs/skinned_window.h"
#include "settings/settings.h"

namespace orvanta::gui {

class AppContext;

// The size of every message dialog and of its message label.
inline constexpr QSize kDialogSize{300, 220};
inline constexpr QSize kInfoLabelSize{260, 64};

// The common part of the four dialogs: the "Form3" artwork, the title
// (`ActionLabel`) and the message (`InfoLabel`, 260 × 64, centred both ways,
// word-wrapped). A message that needs more lines grows the label about its
// centre, as far as the dialog's room for it allows (the dark band between
// the title and the buttons); only beyond that is it clipped.
class MessageDialog : public SkinnedWindow {
  Q_OBJECT
public:
  QLabel *ActionLabel() const { return actionLabel_; }
  QLabel *InfoLabel() const { return infoLabel_; }
  void SetMessage(const QString &text);

protected:
  // `growInto` is the dialog's room for a long message: from its top to its
  // bottom (none: the label keeps its size).
  MessageDialog(QWidget *owner, const QString &title, int infoTop, const QString &background,
                std::pair<int, int> growInto = {});
  // Enter anywhere but on a button: the dialog's first button (OK, Yes).
  // Escape closes, as for every skinned window.
  void keyPressEvent(QKeyEvent *event) override;
  virtual void EnterPressed() {}

private:
  int infoTop_;
  std::pair<int, int> room_;
  QLabel *actionLabel_;
  QLabel *infoLabel_;
};

// TForm3a, the Information dialog: a message and OK.
class TForm3a : public MessageDialog {
  Q_OBJECT
public:
  TForm3a(AppContext &context, QWidget *owner);
  ImageButton *Button1() const { return button1_; }

  // Shows `text` modally.
  void Inform(const QString &text);

protected:
  void EnterPressed() override { accept(); }

private:
  ImageButton *button1_;
};

// TForm3b, the Confirmation dialog: a question, Yes and No. `Confirmed` is
// false at every show and true only after Yes; Escape answers No.
class TForm3b : public MessageDialog {
  Q_OBJECT
public:
  TForm3b(AppContext &context, QWidget *owner);
  ImageButton *Button1() const { return button1_; }
  ImageButton *Button2() const { return button2_; }
  bool Confirmed() const { return confirmed_; }

  // Shows `question` modally; true when the answer was Yes.
  bool Ask(const QString &question);

protected:
  void showEvent(QShowEvent *event) override;
  void EnterPressed() override { Button1Click(); }

private:
  void Button1Click();
  ImageButton *button1_;
  ImageButton *button2_;
  bool confirmed_ = false;
};

// The hint dialogs TForm3c (deep scan) and TForm3d (results window): a fixed
// hint, "Do not show this window again" and OK. OK with the box ticked turns
// the hint's flag off for good; Escape stores nothing.
class HintDialog : public MessageDialog {
  Q_OBJECT
public:
  QCheckBox *Check1() const { return check1_; }
  QLabel *CheckLabel() const { return checkLabel_; }
  ImageButton *Button1() const { return button1_; }

protected:
  HintDialog(AppContext &context, QWidget *owner, SettingsFlag flag, const QString &hint);

private:
  void Button1Click();
  AppContext &context_;
  SettingsFlag flag_;
  QCheckBox *check1_;
  QLabel *checkLabel_;
  ImageButton *button1_;
};

class TForm3c : public HintDialog {
  Q_OBJECT
public:
  TForm3c(AppContext &context, QWidget *owner);
};

class TForm3d : public HintDialog {
  Q_OBJECT
public:
  TForm3d(AppContext &context, QWidget *owner);
};

// A clickable transparent label: CheckLabel toggles its box.
class ClickLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;
signals:
  void Clicked();

protected:
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
};

} // namespace orvanta::gui
