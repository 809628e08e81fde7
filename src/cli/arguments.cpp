#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace orvanta::cli {

std::optional<std::string> Arguments::Value(const std::string &name) const {
  const auto it = Values.find(name);
  if (it == Values.end())
    return std::nullopt;
  return it->second;
}

std::optional<Arguments> ParseArguments(int argc, char **argv, int first,
                                        const std::set<std::string> &valued,
                                        const std::set<std::string> &switches,
                                        std::string &error) {
  Arguments out;
  bool operandsOnly = false;
  for (int i = first; i < argc; ++i) {
    std::string word = argv[i];
    if (operandsOnly || word.size() < 2 || word[0] != '-') {
      out.Operands.push_back(word);
      continue;
    }
    if (word == "--") {
      operandsOnly = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (const auto eq = word.find('='); eq != std::string::npos) {
      inlineValue = word.substr(eq + 1);
      word.resize(eq);
    }
    if (valued.count(word)) {
      if (inlineValue) {
        out.Values[word] = *inlineValue;
      } else if (i + 1 < argc) {
        out.Values[word] = argv[++i];
      } else {
        error = "option " + word + " needs a value";
        return std::nullopt;
      }
    } else if (switches.count(word) && !inlineValue) {
      out.Switches.insert(word);
    } else {
      error = "unknown option " + word;
      return std::nullopt;
    }
  }
  return out;
}

namespace {

// The drive text of a drive letter: "F:" for f.
std::string DriveText(char letter) {
  return {static_cast<char>(std::toupper(static_cast<unsigned char>(letter))), ':'};
}

} // namespace

std::optional<DriveOptions> ReadDriveOptions(const Arguments &args, std::string &error) {
  DriveOptions out;
  if (const auto drive = args.Value("--drive")) {
    const std::string &d = *drive;
    if (d.size() != 2 || d[1] != ':' || !std::isalpha(static_cast<unsigned char>(d[0]))) {
      error = "--drive takes a drive letter and a colon, such as E:";
      return std::nullopt;
    }
    out.Drive = DriveText(d[0]);
  }
  if (const auto size = args.Value("--sector-size")) {
    std::uint32_t n = 0;
    bool digits = !size->empty() && size->size() <= 5;
    for (const char c : *size) {
      digits = digits && std::isdigit(static_cast<unsigned char>(c));
      n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (!digits || n == 0 || n % 512 != 0 || n > 4096) {
      error = "--sector-size takes a multiple of 512 up to 4096";
      return std::nullopt;
    }
    out.SectorSize = n;
  }
  if (const auto partition = args.Value("--partition")) {
    const std::string &p = *partition;
    const bool digits = !p.empty() && p.size() <= 3 &&
                        std::all_of(p.begin(), p.end(), [](char c) {
                          return std::isdigit(static_cast<unsigned char>(c));
                        });
    if (!digits || std::stoi(p) == 0) {
      error = "--partition takes the number of a partition, such as 1";
      return std::nullopt;
    }
    out.Partition = std::stoi(p);
  }
  if (args.Operands.empty()) {
    error = "missing DEVICE";
    return std::nullopt;
  }
  out.Device = args.Operands.front();
  // A Windows drive named as a raw volume, \\.\F:, is drive F: unless
  // --drive says else.
  const std::string &device = out.Device;
  if (!args.Value("--drive") && device.size() == 6 &&
      (device.starts_with("\\\\.\\") || device.starts_with("\\\\?\\")) &&
      device[5] == ':' && std::isalpha(static_cast<unsigned char>(device[4])))
    out.Drive = DriveText(device[4]);
  return out;
}

} // namespace orvanta::cli
