#include "support/tsk.h"

#include <sstream>

#include "support/run.h"

namespace orvanta::test {

std::vector<TskEntry> Fls(const std::filesystem::path &image, bool deletedOnly,
                          std::uint32_t sectorSize) {
  std::vector<std::string> argv = {"fls", "-r", "-p", "-l", "-z", "UTC", "-b",
                                   std::to_string(sectorSize)};
  if (deletedOnly)
    argv.push_back("-d");
  argv.push_back(image.string());
  const std::string out = RunOrFail(argv);
  std::vector<TskEntry> entries;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    // "r/r * 39:\tpath\tmtime\tatime\tctime\tcrtime\tsize\tuid\tgid"
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
      const auto tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab - start));
      if (tab == std::string::npos)
        break;
      start = tab + 1;
    }
    if (fields.size() < 7)
      continue;
    TskEntry e;
    const std::string &head = fields[0];
    e.Directory = head.size() > 2 && head[2] == 'd';
    e.Deleted = head.find('*') != std::string::npos;
    const auto digits = head.find_first_of("0123456789", 4);
    if (digits != std::string::npos)
      e.Inode = std::stoull(head.substr(digits));
    e.Path = fields[1];
    e.Written = fields[2].substr(0, 19);
    e.Size = std::stoll(fields[6]);
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<std::uint8_t> Icat(const std::filesystem::path &image, std::uint64_t inode,
                               std::uint32_t sectorSize) {
  const std::string out = RunOrFail(
      {"icat", "-r", "-b", std::to_string(sectorSize), image.string(), std::to_string(inode)});
  return {out.begin(), out.end()};
}

} // namespace orvanta::test
