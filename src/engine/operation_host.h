#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

// What a long operation talks to while it runs: the window (or the terminal)
// that started it. The operation calls Pump() before each unit of work, so
// that the front end can repaint and deliver Stop, and tests Running() after
// it; Stop is nothing but clearing the running flag.
class OperationHost {
public:
  static constexpr int kProgressTrackWidth = 557;

  virtual ~OperationHost() = default;

  // Lets pending front-end work run. May clear the running flag.
  virtual void Pump() {}

  bool Running() const { return running_; }
  void SetRunning(bool running) { running_ = running; }

  // The log of the main window.
  virtual void ClearLog() {}
  virtual void Log(std::string_view line) { (void)line; }

  // The counter caption ("Found:", "Cluster") and its value.
  virtual void SetCounterCaption(std::string_view caption) { (void)caption; }
  virtual void SetCounter(std::int64_t value) { (void)value; }

  // The progress bar: a fill from 0 to 557 pixels over a track of 557.
  int ProgressWidth() const { return progressWidth_; }
  void SetProgressWidth(int width) {
    progressWidth_ = width;
    ProgressChanged(width);
  }
  virtual void ShowProgress(bool visible) { (void)visible; }

  // A pause that lets the user see a state (the full bar at the end of a run).
  virtual void Pause(int milliseconds) { (void)milliseconds; }

protected:
  virtual void ProgressChanged(int width) { (void)width; }

private:
  bool running_ = false;
  int progressWidth_ = 0;
};

// The end of a Find or a Wipe: a run that was not stopped shows the full bar
// for 300 ms; then the bar empties and hides and the run is over. True when
// the run was stopped.
inline bool EndRun(OperationHost &host) {
  const bool stopped = !host.Running();
  if (!stopped) {
    host.SetProgressWidth(OperationHost::kProgressTrackWidth);
    host.Pause(300);
  }
  host.SetProgressWidth(0);
  host.ShowProgress(false);
  host.SetRunning(false);
  return stopped;
}

} // namespace orvanta
