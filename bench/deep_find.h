#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "jobs/engine_state.h"
#include "platform/posix/posix_device.h"
#include "jobs/find_job.h"

namespace orvanta::bench {

// An engine over a 512-byte-sector card image as drive E:, with a host
// that shows nothing.
struct ImageEngine {
  explicit ImageEngine(const std::filesystem::path &image) {
    Drives.Add("E:", std::make_shared<PosixDevice>(image, 512));
  }
  FixedDrives Drives;
  EngineState State{Drives, {}, LanguageFile{}};
  OperationHost Host;
};

// A deep Find of the image, as the command line runs it (dates up to 2040
// admitted); the number of files found.
inline std::int64_t DeepFind(const std::filesystem::path &image) {
  ImageEngine engine(image);
  FindOptions options;
  options.Deep = true;
  options.MaxYearOffset = 60;
  RunFind(engine.State, engine.Host, options);
  return engine.State.FoundCount;
}

} // namespace orvanta::bench
