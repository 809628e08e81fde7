#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/operation_host.h"
#include "jobs/engine_state.h"

namespace orvanta {

// The first `limit` bytes of the found file `name` of a catalogue section
// (all of it when it is shorter), read as a restore reads it: what a
// picture of a photo is made from. An operation of its own on the engine:
// empty when another one runs, when there is no such file, or when the host
// was stopped.
std::vector<std::uint8_t> ReadFoundFileHead(EngineState &state, OperationHost &host,
                                            std::string_view section, std::string_view name,
                                            std::size_t limit);

} // namespace orvanta
