#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvanta::cli {

// Command-line words split into options and operands. Options that take a
// value are named in `valued`; the others are switches. "--name=value" and
// "--name value" both work.
struct Arguments {
  std::map<std::string, std::string> Values;
  std::set<std::string> Switches;
  std::vector<std::string> Operands;

  bool Has(const std::string &name) const { return Switches.count(name) || Values.count(name); }
  std::optional<std::string> Value(const std::string &name) const;
};

// Parses argv[first..]; on an unknown option or a missing value returns
// nothing and sets `error`.
std::optional<Arguments> ParseArguments(int argc, char **argv, int first,
                                        const std::set<std::string> &valued,
                                        const std::set<std::string> &switches,
                                        std::string &error);

// The options every volume command takes: --drive X:, --sector-size N and
// --partition N, and the DEVICE operand.
struct DriveOptions {
  std::string Drive = "E:";
  std::optional<std::uint32_t> SectorSize;
  std::optional<int> Partition;
  std::string Device;
};

std::optional<DriveOptions> ReadDriveOptions(const Arguments &args, std::string &error);

} // namespace orvanta::cli
