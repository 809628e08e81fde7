#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/partitions.h"

namespace orvanta {

// Makes the device of the whole drive. `chosen` is the partition that will
// be read from it, or null when the drive carries no partition table.
using WholeDeviceMaker = std::function<std::shared_ptr<Device>(const PartitionInfo *chosen)>;

// The volume of a drive whose partition table lists `partitions` (empty: no
// table), as OpenVolumeDevice chooses it: the whole device without a table,
// else partition `partition`, else the only FAT partition. `driveName` names
// the drive in `error` and `warning`; the rest is as OpenVolumeDevice says.
std::shared_ptr<Device> OpenChosenVolume(const std::vector<PartitionInfo> &partitions,
                                         std::optional<int> partition,
                                         const std::string &driveName,
                                         const WholeDeviceMaker &makeWhole, std::string &error,
                                         std::string *warning);

} // namespace orvanta
