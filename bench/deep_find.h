#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "jobs/engine_state.h"
#include "platform/posix/posix_device.h"
#include "jobs/find_job.h"

namespace orvanta::bench {

// A deep Find of a 512-byte-sector card image as drive E:, as the command
// line runs it (dates up to 2040 admitted); the number of files found.
inline std::int64_t DeepFind(const std::filesystem::path &image) {
  FixedDrives drives;
  drives.Add("E:", std::make_shared<PosixDevice>(image, 512));
  EngineState engine(drives, {}, LanguageFile{});
  OperationHost host;
  FindOptions options;
  options.Deep = true;
  options.MaxYearOffset = 60;
  RunFind(engine, host, options);
  return engine.FoundCount;
}

} // namespace orvanta::bench
