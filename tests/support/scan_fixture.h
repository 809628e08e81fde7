#pragma once

#include <memory>
#include <string>

#include "jobs/engine_state.h"
#include "platform/memory_device.h"
#include "jobs/find_job.h"
#include "support/recording_host.h"

namespace orvanta::test {

// An engine over one drive E:, with a recording host: what a front end
// owns, for running the commands in tests.
struct EngineFixture {
  explicit EngineFixture(std::shared_ptr<Device> device) : Drive(std::move(device)) {
    Drives.Add("E:", Drive);
  }
  // Without a sector size the image takes its boot sector's, as on the command line.
  static EngineFixture OfImage(const std::filesystem::path &image,
                               std::optional<std::uint32_t> sectorSize = std::nullopt);
  static EngineFixture OfBytes(std::vector<std::uint8_t> bytes, std::uint32_t sectorSize = 512) {
    return EngineFixture(std::make_shared<MemoryDevice>(std::move(bytes), sectorSize));
  }
  EngineFixture(EngineFixture &&) = delete;

  // Runs a Find with the year limit of 2026 unless told.
  FindOutcome Find(const std::string &mask = "*.*", bool deep = false, int maxYearOffset = 46);

  std::shared_ptr<Device> Drive;
  FixedDrives Drives;
  EngineState State{Drives, {}, LanguageFile{}};
  RecordingHost Host;
};

} // namespace orvanta::test
