#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace orvanta {

// Holds a running operation while its front end asks the user something
// ("Cancel operation?"). The front end opens the gate before it shows the
// question and closes it after the answer (after raising Stop on Yes); the
// operation's thread waits at the gate, in its host's Pump(), while the
// gate is open. A front end that runs the operation on its own thread must
// not open the gate from that thread.
class QuestionGate {
public:
  void Open();
  void Close();
  bool IsOpen() const { return open_.load(std::memory_order_acquire); }

  // Returns at once while the gate is closed; otherwise blocks until it is.
  void WaitWhileOpen();
  // Whether an operation is waiting at the gate now.
  bool Holding() const { return waiting_.load(std::memory_order_acquire) > 0; }

  // Opens the gate for its lifetime.
  class Hold {
  public:
    explicit Hold(QuestionGate &gate) : gate_(gate) { gate_.Open(); }
    ~Hold() { gate_.Close(); }
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;

  private:
    QuestionGate &gate_;
  };

private:
  std::atomic<bool> open_{false};
  std::atomic<int> waiting_{0};
  std::mutex mutex_;
  std::condition_variable closed_;
};

} // namespace orvanta
