#pragma once

#include <functional>

namespace orvanta {

// The front end's thread, as seen from a worker: Post hands it a task to run
// later, in order, between its own events. Qt queues a call to an object of
// the window; a Win32 front end posts a message to its window. Post may be
// called from any thread; a task posted after the front end went away may
// be dropped.
class Dispatcher {
public:
  virtual ~Dispatcher() = default;
  virtual void Post(std::function<void()> task) = 0;
};

} // namespace orvanta
