#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/memory_device.h"
#include "support/crafted_volume.h"
#include "support/scan_fixture.h"
#include "volume/volume_checks.h"
#include "wipe/wipe_engine.h"
#include "wipe/wipe_job.h"

namespace orvanta::test {

// A device in memory that remembers every write it was asked for, as byte
// offset and length, whether it took it or not.
class WriteLog final : public Device {
public:
  explicit WriteLog(std::vector<std::uint8_t> bytes) : Memory(std::move(bytes)) {}

  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    return Memory.Read(offset, out);
  }
  bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    Writes.emplace_back(offset, data.size());
    return Memory.Write(offset, data);
  }
  std::optional<std::uint64_t> SizeBytes() override { return Memory.SizeBytes(); }
  std::string FileSystemName() override { return Memory.FileSystemName(); }
  std::optional<std::filesystem::path> MountPoint() override { return Memory.MountPoint(); }
  bool RootReachable() override { return Memory.RootReachable(); }
  bool WritableExclusively() override { return Memory.WritableExclusively(); }

  MemoryDevice Memory;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Writes;
};

// A crafted volume on drive E: with its geometry and FAT loaded, ready for
// the wipe tools.
struct CraftedWipe {
  explicit CraftedWipe(const CraftedVolume &v)
      : Device(std::make_shared<WriteLog>(v.Bytes)), Fixture(Device) {
    Loaded = OpenVolume(Fixture.State.Vol, "E:", true) == VolumeCheck::Ok;
    Fixture.Host.SetRunning(true);
  }
  WipeEngine Engine() { return WipeEngine(Fixture.State, Fixture.Host); }
  WipeOutcome Run(bool freeSpace) {
    Fixture.Host.SetRunning(false);
    WipeOptions options;
    options.FreeSpace = freeSpace;
    options.Confirm = [](const std::string &) { return true; };
    return RunWipe(Fixture.State, Fixture.Host, options);
  }
  std::vector<std::uint8_t> &Bytes() { return Device->Memory.Bytes(); }
  std::vector<std::uint8_t> Slice(std::size_t offset, std::size_t length) {
    return {Bytes().begin() + static_cast<std::ptrdiff_t>(offset),
            Bytes().begin() + static_cast<std::ptrdiff_t>(offset + length)};
  }

  std::shared_ptr<WriteLog> Device;
  EngineFixture Fixture;
  bool Loaded = false;
};

// Entries laid one after another, then zero bytes up to `size`.
inline std::vector<std::uint8_t> Block(const std::vector<DirEntry> &entries, std::size_t size) {
  std::vector<std::uint8_t> out(size, 0);
  std::size_t at = 0;
  for (const auto &e : entries) {
    std::copy(e.begin(), e.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
    at += 32;
  }
  return out;
}

inline std::vector<DirEntry> Join(std::initializer_list<std::vector<DirEntry>> parts) {
  std::vector<DirEntry> out;
  for (const auto &p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A file with a long name: its pieces carrying the short entry's checksum,
// then the short entry.
inline std::vector<DirEntry> LongNamed(const std::u16string &name, const DirEntry &shortEntry) {
  auto entries = LongEntries(name, ShortNameChecksum(shortEntry));
  entries.push_back(shortEntry);
  return entries;
}

} // namespace orvanta::test
