#include "presentation/operation_runner.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <utility>

namespace orvanta {

struct OperationRunner::Call {
  std::function<void()> Act;
  std::mutex Mutex;
  std::condition_variable Done;
  bool Finished = false;
  bool Ran = false;
};

OperationRunner::OperationRunner(Dispatcher &dispatcher, RunnerView &view, std::unique_ptr<BatchingHost> host)
    : dispatcher_(dispatcher), view_(view), host_(host ? std::move(host) : std::make_unique<BatchingHost>()) {
  host_->SetNotice([this] { Post([this] { Deliver(false); }); });
}

OperationRunner::~OperationRunner() {
  alive_.reset();
  host_->Stop().Request();
  host_->Question().Close();
  {
    std::lock_guard lock(callsMutex_);
    closing_ = true;
  }
  // A hint or a question the worker waits for is never shown: releasing it
  // lets the worker go on to its end.
  for (;;) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard lock(callsMutex_);
      if (calls_.empty())
        break;
      call = calls_.back();
    }
    Finish(call, false);
  }
  if (worker_.joinable())
    worker_.join();
}

void OperationRunner::Post(std::function<void()> task) {
  dispatcher_.Post([alive = weakAlive_, task = std::move(task)] {
    if (alive.lock())
      task();
  });
}

bool OperationRunner::StartWork(std::function<std::function<void()>(OperationHost &)> work) {
  if (busy_)
    return false;
  if (worker_.joinable())
    worker_.join();
  busy_ = true;
  pendingLines_.clear();
  host_->Begin();
  host_->Stop().Reset();
  worker_ = std::thread([this, work = std::move(work)] {
    std::function<void()> ended = work(*host_);
    Post([this, ended = std::move(ended)] { End(ended); });
  });
  return true;
}

void OperationRunner::AfterQuestion(std::function<void()> act) {
  if (asking_)
    afterQuestion_.push_back(std::move(act));
  else
    act();
}

void OperationRunner::AskStop(const std::string &question) {
  if (!busy_ || asking_)
    return;
  {
    asking_ = true;
    const QuestionGate::Hold hold(host_->Question());
    if (view_.AskStop(question))
      host_->Stop().Request();
    asking_ = false;
  }
  for (auto &act : std::exchange(afterQuestion_, {}))
    act();
}

bool OperationRunner::OnFrontEnd(std::function<void()> act) {
  auto call = std::make_shared<Call>();
  call->Act = std::move(act);
  {
    std::lock_guard lock(callsMutex_);
    if (closing_)
      return false;
    calls_.push_back(call);
  }
  Post([this, call] {
    AfterQuestion([this, call] {
      call->Act();
      Finish(call, true);
    });
  });
  std::unique_lock lock(call->Mutex);
  call->Done.wait(lock, [&] { return call->Finished; });
  return call->Ran;
}

void OperationRunner::Finish(const std::shared_ptr<Call> &call, bool ran) {
  {
    std::lock_guard lock(callsMutex_);
    std::erase(calls_, call);
  }
  {
    std::lock_guard lock(call->Mutex);
    if (call->Finished)
      return;
    call->Finished = true;
    call->Ran = ran;
  }
  call->Done.notify_all();
}

void OperationRunner::Deliver(bool all) {
  RunUpdate update = host_->Take();
  if (update.Cleared)
    pendingLines_.clear();
  std::move(update.Lines.begin(), update.Lines.end(), std::back_inserter(pendingLines_));
  const std::size_t count = all ? pendingLines_.size() : std::min(pendingLines_.size(), kLinesPerUpdate);
  update.Lines.assign(std::make_move_iterator(pendingLines_.begin()),
                      std::make_move_iterator(pendingLines_.begin() + static_cast<std::ptrdiff_t>(count)));
  pendingLines_.erase(pendingLines_.begin(), pendingLines_.begin() + static_cast<std::ptrdiff_t>(count));
  view_.ShowUpdate(update);
  // The rest of a burst follows once the front end has handled its events.
  if (!pendingLines_.empty() && !slicePosted_) {
    slicePosted_ = true;
    Post([this] {
      slicePosted_ = false;
      Deliver(false);
    });
  }
}

void OperationRunner::End(std::function<void()> ended) {
  if (asking_) {
    // The result waits until the question has been answered.
    afterQuestion_.push_back([this, ended = std::move(ended)] { End(ended); });
    return;
  }
  worker_.join();
  Deliver(true);
  busy_ = false;
  ended();
}

} // namespace orvanta
