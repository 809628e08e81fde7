#include "jobs/found_file_head.h"

#include "restore/extraction.h"
#include "volume/device_session.h"

namespace orvanta {

std::vector<std::uint8_t> ReadFoundFileHead(EngineState &state, OperationHost &host,
                                            std::string_view section, std::string_view name,
                                            std::size_t limit) {
  const OperationGuard guard(state.Operation);
  if (!guard)
    return {};
  const FoundFileRow *row = state.Catalogue.File(section, name);
  if (!row)
    return {};
  const DeviceSession session(state.Vol, DeviceAccess::Read);
  auto bytes = ReadFoundFileStart(state.Vol, host, {row->Size, row->FirstCluster, row->Runs, row->ValidLength}, limit);
  if (!host.Running())
    return {};
  return bytes;
}

} // namespace orvanta
