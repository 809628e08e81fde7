// orvanta-cli reading the kernel's tables below a folder of the test's own:
//   cli_on_tables ROOT COMMAND [WORDS...]
#include "cli/commands.h"
#include "platform/posix/volume_location.h"

int main(int argc, char **argv) {
  if (argc < 2)
    return orvanta::cli::kExitUsage;
  orvanta::UseKernelTables(orvanta::KernelTables::Below(argv[1]));
  argv[1] = argv[0];
  return orvanta::cli::Main(argc - 1, argv + 1);
}
