#pragma once

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "platform/memory_device.h"
#include "restore/extraction.h"
#include "platform/output_file.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "volume/volume_checks.h"

namespace orvanta::test {

// A crafted volume (1 KiB clusters of two sectors) whose every data cluster
// holds its own pseudo-random bytes, so a copy shows which clusters it took.
inline CraftedVolume PatternVolume(int fatBits) {
  CraftedVolume v(
      {.FatBits = fatBits, .SectorsPerCluster = 2, .Clusters = 128, .ReservedSectors = 8});
  for (std::uint32_t c = 2; c < 130; ++c)
    v.PutBytes(v.ClusterOffset(c), PatternBytes(v.ClusterBytes(), c));
  return v;
}

// `length` bytes of the volume from the start of `cluster` on (clusters 0 and
// 1 lie before the data area).
inline std::vector<std::uint8_t> RunFrom(const CraftedVolume &v, std::int64_t cluster,
                                         std::size_t length) {
  const std::int64_t at =
      std::int64_t(v.ClusterOffset(2)) + (cluster - 2) * std::int64_t(v.ClusterBytes());
  return {v.Bytes.begin() + at, v.Bytes.begin() + at + std::int64_t(length)};
}

// The clusters' bytes one after another, cut to `length`.
inline std::vector<std::uint8_t>
ClustersOf(const CraftedVolume &v, const std::vector<std::uint32_t> &clusters, std::size_t length) {
  std::vector<std::uint8_t> out;
  for (const auto c : clusters) {
    const auto bytes = RunFrom(v, c, v.ClusterBytes());
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  out.resize(std::min(out.size(), length));
  return out;
}

// A host that presses Stop at the first pump after the device has served
// `reads` more reads.
struct StopAfterReads : RecordingHost {
  StopAfterReads(const MemoryDevice &device, std::uint64_t reads)
      : Device(device), StopAt(device.Reads() + reads) {}
  void Pump() override {
    RecordingHost::Pump();
    if (Device.Reads() >= StopAt)
      SetRunning(false);
  }
  const MemoryDevice &Device;
  std::uint64_t StopAt;
};

// Runs an extraction into a new output file and names it `path`.
template <class Extraction> ExtractResult ExtractInto(const std::filesystem::path &path,
                                                      Extraction &&extract) {
  auto out = CreateOutputFile(path.parent_path());
  EXPECT_TRUE(out.has_value());
  if (!out)
    return {};
  const ExtractResult result = extract(*out);
  EXPECT_EQ(out->Name(path.filename().string()), OutputFile::Naming::Named) << path;
  return result;
}

// The volume as drive E: of an engine, with its geometry and FAT loaded.
struct CraftedEngine {
  explicit CraftedEngine(const CraftedVolume &v)
      : Memory(std::make_shared<MemoryDevice>(v.Bytes)), Engine(Memory) {
    EXPECT_EQ(OpenVolume(Engine.State.Vol, "E:", true), VolumeCheck::Ok);
  }

  struct Extracted {
    std::vector<std::uint8_t> Bytes;
    ExtractResult Result;
  };
  // Extracts a file, not stoppable, into `path` and reads the output back.
  Extracted Extract(const std::filesystem::path &path, std::uint64_t size, std::uint32_t first) {
    Extracted got;
    got.Result = ExtractInto(path, [&](OutputFile &out) {
      return ExtractFoundFile(Engine.State.Vol, Engine.Host, {size, first}, out, false);
    });
    got.Bytes = ReadFileBytes(path);
    return got;
  }

  std::shared_ptr<MemoryDevice> Memory;
  EngineFixture Engine;
};

} // namespace orvanta::test
