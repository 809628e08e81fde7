#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/progress.h"
#include "engine/question_gate.h"
#include "engine/stop_flag.h"

namespace orvanta {

// What a long operation talks to while it runs: the window (or the terminal)
// that started it. The operation calls Pump() before each unit of work and
// tests Running() after it.
//
// Threads: every call an operation makes on its host comes from the one
// thread that runs the operation, which need not be the front end's (a
// window runs operations on a worker thread and forwards what they show).
// The front end may use Stop() and Question() from any thread while the
// operation runs; nothing else in this class needs the front end's thread.
class OperationHost {
public:
  // The host with a Stop of its own, or with the front end's.
  OperationHost() : stop_(&ownStop_) {}
  explicit OperationHost(StopFlag &stop) : stop_(&stop) {}
  OperationHost(const OperationHost &) = delete;
  OperationHost &operator=(const OperationHost &) = delete;
  virtual ~OperationHost() = default;

  // Lets pending front-end work run, and waits while the front end asks the
  // user a question. Hosts that override it call this one too.
  virtual void Pump() { question_.WaitWhileOpen(); }

  // True until Stop is requested. The engine only reads it: the front end
  // resets it before it starts an operation.
  bool Running() const { return !stop_->Requested(); }
  StopFlag &Stop() { return *stop_; }
  // The front end's shorthand: true resets Stop, false requests it.
  void SetRunning(bool running) { running ? stop_->Reset() : stop_->Request(); }

  // Held open by the front end while it asks "Cancel operation?".
  QuestionGate &Question() { return question_; }

  // The log of the main window.
  virtual void ClearLog() {}
  virtual void Log(std::string_view line) { (void)line; }

  // The counter caption ("Found:", "Cluster") and its value.
  virtual void SetCounterCaption(std::string_view caption) { (void)caption; }
  virtual void SetCounter(std::int64_t value) { (void)value; }

  // The progress of the run, as done of total; the front end decides how
  // to show it. Read and set on the operation's thread.
  ProgressFraction Progress() const { return progress_; }
  std::int64_t ProgressPercent() const { return orvanta::ProgressPercent(progress_); }
  void SetProgress(ProgressFraction progress) {
    progress_ = progress;
    ProgressChanged(progress);
  }
  // Moves to `done` of `total` when its percent is more than the one shown:
  // the bar only grows.
  void AdvanceProgress(std::int64_t done, std::int64_t total) {
    if (orvanta::ProgressPercent({done, total}) > ProgressPercent())
      SetProgress({done, total});
  }
  // Moves to `done` of `total` when its percent differs from the one shown.
  void MoveProgress(std::int64_t done, std::int64_t total) {
    if (orvanta::ProgressPercent({done, total}) != ProgressPercent())
      SetProgress({done, total});
  }
  virtual void ShowProgress(bool visible) { (void)visible; }

  // A pause that lets the user see a state (the full bar at the end of a run).
  virtual void Pause(int milliseconds) { (void)milliseconds; }

protected:
  virtual void ProgressChanged(ProgressFraction progress) { (void)progress; }

private:
  StopFlag ownStop_;
  StopFlag *stop_;
  QuestionGate question_;
  ProgressFraction progress_;
};

// The end of a Find or a Wipe: a run that was not stopped shows the full bar
// for 300 ms; then the bar empties and hides. True when the run was stopped.
inline bool EndRun(OperationHost &host) {
  const bool stopped = !host.Running();
  if (!stopped) {
    host.SetProgress(kProgressComplete);
    host.Pause(300);
  }
  host.SetProgress({});
  host.ShowProgress(false);
  return stopped;
}

} // namespace orvanta
