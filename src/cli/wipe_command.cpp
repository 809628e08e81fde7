#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/arguments.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "engine/text.h"
#include "jobs/wipe_job.h"

namespace orvanta::cli {

namespace {

constexpr const char *kUsage =
    "usage: orvanta-cli wipe [--deep] [--yes] [--drive X:] [--sector-size N] [--partition N]\n"
    "                        DEVICE\n"
    "Removes the directory entries of deleted files from every directory reachable\n"
    "from the root; with --deep, overwrites every free cluster with zero bytes\n"
    "instead. Asks before it writes unless --yes is given. The log and the progress\n"
    "go to stderr, the report to stdout (writes the device refused are counted on\n"
    "stderr, and the exit code is then 1). Ctrl+C, SIGTERM or SIGHUP stops the\n"
    "wipe, reports what was done and exits with 130.\n";

// The question on the terminal: yes only for "y" or "yes".
bool AskOnTerminal(const std::string &question) {
  std::cerr << question << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer))
    return false;
  const std::string word = UpperAscii(TrimControl(answer));
  return word == "Y" || word == "YES";
}

} // namespace

int WipeCommand(int argc, char **argv, int first) {
  const auto parsed = ParseVolumeCommand(argc, argv, first, {}, {"--deep", "--yes"}, kUsage,
                                         /*moreOperands=*/false);
  if (const int *exit = std::get_if<int>(&parsed))
    return *exit;
  const auto &[args, drive] = std::get<VolumeCommandLine>(parsed);

  DriveSession session(drive);
  if (const auto failed = SessionFailure(session))
    return *failed;
  EngineState state(session.Drives(), {}, LoadLanguage());
  TerminalHost host;
  WipeOptions options;
  options.Drive = drive.Drive;
  options.DeviceName = PathToUtf8(PathFromUtf8(drive.Device).filename());
  options.FreeSpace = args.Has("--deep");
  if (args.Has("--yes"))
    options.Confirm = [](const std::string &) { return true; };
  else
    options.Confirm = AskOnTerminal;

  const WipeOutcome outcome = RunWipe(state, host, options);
  switch (outcome.Outcome) {
  case WipeOutcome::Result::Refused:
  case WipeOutcome::Result::Busy:
    std::cerr << outcome.Message << '\n';
    if (!outcome.HazardPath.empty())
      std::cerr << outcome.HazardPath << '\n';
    return kExitFailure;
  case WipeOutcome::Result::Declined:
    return kExitFailure;
  case WipeOutcome::Result::Done:
    break;
  }
  // The report is the last line on stdout; failed writes are told on stderr
  // (and by the exit code), as restore tells of unreadable parts.
  if (!outcome.FailedWritesMessage.empty())
    std::cerr << outcome.FailedWritesMessage << '\n';
  std::cout << outcome.Message << std::endl;
  if (TerminalHost::Interrupted())
    return StoppedByUser();
  return outcome.FailedWrites > 0 ? kExitFailure : kExitOk;
}

} // namespace orvanta::cli
