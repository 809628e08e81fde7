#include <cstdio>
#include <cstring>

#include "cli/commands.h"

namespace {

constexpr const char *kUsage =
    "usage: orvanta-cli COMMAND [OPTIONS] DEVICE\n"
    "\n"
    "Finds deleted files on FAT16, FAT32 and exFAT volumes (image files or block\n"
    "devices).\n"
    "\n"
    "commands:\n"
    "  info   [--drive X:] [--sector-size N] [--partition N] DEVICE   print the drive summary\n"
    "  find   [--deep] [--mask MASK] [--json] ... DEVICE   find deleted files\n"
    "  restore [--deep] [--mask MASK] ... --to DIR DEVICE [WHAT...]   restore them\n"
    "  wipe   [--deep] [--yes] ... DEVICE   wipe deleted entries or free space\n"
    "\n"
    "Run 'orvanta-cli COMMAND --help' for the options of a command,\n"
    "'orvanta-cli --version' for the version, 'man orvanta-cli' for the manual.\n";

struct Command {
  const char *name;
  int (*run)(int, char **, int);
};

constexpr Command kCommands[] = {
    {"info", orvanta::cli::InfoCommand},
    {"find", orvanta::cli::FindCommand},
    {"restore", orvanta::cli::RestoreCommand},
    {"wipe", orvanta::cli::WipeCommand},
};

} // namespace

namespace orvanta::cli {

int Main(int argc, char **argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
      !std::strcmp(argv[1], "help")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::puts("orvanta-cli " ORVANTA_VERSION);
    return kExitOk;
  }
  for (const auto &command : kCommands)
    if (!std::strcmp(argv[1], command.name))
      return command.run(argc, argv, 2);
  std::fprintf(stderr, "orvanta-cli: unknown command '%s'\n%s", argv[1], kUsage);
  return kExitUsage;
}

} // namespace orvanta::cli
