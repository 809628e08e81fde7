#pragma once

#include <filesystem>

namespace orvanta {

// Lets go of a card that the desktop mounted as it was plugged in, for the
// length of a wipe, and mounts it again afterwards. Calls block; they may be
// made from a worker thread.
class VolumeMounter {
public:
  enum class Outcome {
    Done,
    Busy,    // a program has files open on the volume
    Refused, // the user or the system's policy said no
    Failed,  // anything else: no such device, no service
  };

  virtual ~VolumeMounter() = default;
  // Whether the device's file system is mounted where this service can
  // unmount it.
  virtual bool CanUnmount(const std::filesystem::path &device) = 0;
  virtual Outcome Unmount(const std::filesystem::path &device) = 0;
  virtual Outcome Mount(const std::filesystem::path &device) = 0;
};

} // namespace orvanta
