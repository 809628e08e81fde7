#pragma once

#include "engine/operation_guard.h"
#include "scan/find_state.h"

namespace orvanta {

// The state that the commands share for the whole run of the program: the
// volume, catalogue, tree, counter, mask and language file of FindState,
// and the lock of the running operation. The front end owns one and hands
// it to every command; each operation holds `Operation` while it runs, so
// that a second one started meanwhile (from another thread) is refused.
struct EngineState : FindState {
  using FindState::FindState;

  OperationLock Operation;
};

} // namespace orvanta
