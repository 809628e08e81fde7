#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "presentation/batching_host.h"
#include "presentation/dispatcher.h"

namespace orvanta {

// What a runner needs of its view, on the front end's thread.
class RunnerView {
public:
  virtual ~RunnerView() = default;
  // What the operation showed since the last update: a log that a burst of
  // lines fills comes a slice at a time, so the view keeps answering.
  virtual void ShowUpdate(const RunUpdate &update) = 0;
  // Asks the user `question` (modally); true for Yes.
  virtual bool AskStop(const std::string &question) = 0;
};

// Runs one long operation at a time on a worker thread for a view: Stop
// through a question that holds the operation while it is open, the
// operation's log, counter and progress handed to the view in coalesced
// updates through the dispatcher, and the operation's end delivered on the
// front end's thread, after the answer when a question is open then.
//
// Every member is for the front end's thread, except Host() and OnFrontEnd(),
// which the operation uses on the worker.
class OperationRunner {
public:
  // At most this many log lines go to the view per update.
  static constexpr std::size_t kLinesPerUpdate = 200;

  // `host`: the host the operations run with (a plain BatchingHost when
  // null).
  OperationRunner(Dispatcher &dispatcher, RunnerView &view, std::unique_ptr<BatchingHost> host = nullptr);
  // Stops a running operation and waits for it; what it would still have
  // shown, asked or delivered is dropped.
  ~OperationRunner();
  OperationRunner(const OperationRunner &) = delete;
  OperationRunner &operator=(const OperationRunner &) = delete;

  // From Start until the end has been delivered.
  bool Busy() const { return busy_; }
  // "Cancel operation?" (or another Stop question) is open.
  bool Asking() const { return asking_; }

  // Runs `work` on a worker thread with Host() (Stop reset, nothing shown
  // yet); when it returns, everything it showed is handed to the view and
  // `ended` gets its result. Refused (false) while Busy().
  template <class Outcome>
  bool Start(std::function<Outcome(OperationHost &)> work, std::function<void(const Outcome &)> ended) {
    return StartWork([work = std::move(work), ended = std::move(ended)](OperationHost &host) {
      return std::function<void()>([ended, outcome = work(host)] { ended(outcome); });
    });
  }

  // Asks `question` through the view while the operation waits at the
  // question gate (at its next Pump); Yes requests Stop. Does nothing when
  // idle or already asking.
  void AskStop(const std::string &question);

  // From the worker: runs `act` on the front end's thread (after an open
  // question has been answered) and waits for it. False when the runner
  // went away first and `act` never ran.
  bool OnFrontEnd(std::function<void()> act);

  // Hands what the operation showed so far to the view now.
  void ShowUpdates() { Deliver(false); }

  BatchingHost &Host() { return *host_; }

private:
  struct Call;
  bool StartWork(std::function<std::function<void()>(OperationHost &)> work);
  // Posts `task`, which will not run once the runner is gone.
  void Post(std::function<void()> task);
  // Runs `act` now, or after the open question's answer.
  void AfterQuestion(std::function<void()> act);
  void Deliver(bool all);
  void End(std::function<void()> ended);
  void Finish(const std::shared_ptr<Call> &call, bool ran);

  Dispatcher &dispatcher_;
  RunnerView &view_;
  std::unique_ptr<BatchingHost> host_;
  // Tasks posted to the dispatcher run only while alive_ does; the worker
  // reads the weak copy only.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  const std::weak_ptr<int> weakAlive_ = alive_;
  std::thread worker_;
  bool busy_ = false;
  bool asking_ = false;
  std::vector<std::function<void()>> afterQuestion_;
  // Log lines handed over by the host but not yet to the view.
  std::vector<std::string> pendingLines_;
  bool slicePosted_ = false;
  // The worker's waits in OnFrontEnd, released when the runner goes away.
  std::mutex callsMutex_;
  std::vector<std::shared_ptr<Call>> calls_;
  bool closing_ = false;
};

} // namespace orvanta
