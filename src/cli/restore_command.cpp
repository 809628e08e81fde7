#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <optional>
#include <system_error>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "cli/arguments.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "engine/text.h"
#include "jobs/restore_jobs.h"
#include "restore/destination_check.h"
#include "scan/entry_decoding.h"
#include "scan/file_condition.h"
#include "scan/live_view.h"
#include "scan/mask.h"

namespace orvanta::cli {

namespace {

constexpr const char *kUsage =
    "usage: orvanta-cli restore [--deep] [--mask MASK] [--drive X:] [--sector-size N]\n"
    "                           [--partition N] [--condition LIST] --to DIR DEVICE\n"
    "                           [WHAT...]\n"
    "Finds deleted files on a FAT16, FAT32 or exFAT volume and writes them into\n"
    "DIR. Without WHAT every found file is restored, in the folders it was found\n"
    "in (DIR/DCIM/photo.jpg). A WHAT that ends in a backslash (E:\\DCIM\\) restores\n"
    "that folder with everything below it the same way; any other WHAT\n"
    "(E:\\DCIM\\photo.jpg) restores that one file into DIR itself, letter case\n"
    "aside. A deleted file without a long name has lost the first letter of its\n"
    "name, shown as \"\xD1\x85\" (Cyrillic kha, U+0445); any character of WHAT or\n"
    "MASK matches it there: E:\\DCIM\\IMG_0001.JPG restores \xD1\x85MG_0001.JPG.\n"
    "A file already in DIR is never replaced: a restored file whose name is\n"
    "taken gets the next free \"name (N).ext\", and stderr says how many did. A\n"
    "file is written under a temporary name and takes its own only when it is\n"
    "whole. The last line on stdout is \"Files restored: N\"; the progress goes\n"
    "to stderr. Files that cannot be written are reported there and the exit\n"
    "code is then 1. Ctrl+C stops the restore: the file being written is\n"
    "removed, what was restored is counted, and the exit code is 130. A DIR on\n"
    "the volume being recovered is refused (exit code 1).\n"
    "--condition LIST restores only files in one of the conditions the FAT (on\n"
    "exFAT, the allocation bitmap) gives them, a comma-separated list of: intact\n"
    "(no live file holds what the restore reads or lies inside it), partly (live\n"
    "files hold clusters inside its run), overwritten (a live file holds its\n"
    "first cluster), empty (size 0);\n"
    "for example --condition intact,partly. Files left out are counted on stderr.\n";

struct Totals {
  std::int64_t Restored = 0;
  std::int64_t Renamed = 0;
  std::int64_t WithUnreadableParts = 0;
  int WriteError = 0;
  std::string ErrorText;

  std::int64_t Skipped = 0;
  std::int64_t LeftOut = 0;
  int CreateError = 0;
  std::filesystem::path NotCreatedPath;

  void Add(const RestoreOutcome &outcome) {
    Restored += outcome.Restored;
    Renamed += outcome.Renamed;
    WithUnreadableParts += outcome.WithUnreadableParts;
    Skipped += outcome.Skipped;
    LeftOut += outcome.LeftOut;
    if (CreateError == 0 && outcome.CreateError != 0) {
      CreateError = outcome.CreateError;
      NotCreatedPath = outcome.NotCreatedPath;
    }
    if (outcome.WriteError != 0) {
      WriteError = outcome.WriteError;
      ErrorText = outcome.Message;
    }
  }
};

// The rows the results list shows for a section, with `name` checked: the
// row spelled exactly so, else the first the same letter case aside, else
// the first whose lost first letter makes up the difference. Nothing when
// no row matches.
std::optional<std::vector<RestoreRow>>
RowsChecking(const EngineState &state, const std::string &section, const std::string &name) {
  const FoundFolder *folder = state.Catalogue.Folder(section);
  if (!folder)
    return std::nullopt;
  const auto &files = folder->Files;
  auto it = std::find_if(files.begin(), files.end(),
                         [&](const FoundFileRow &f) { return f.Name == name; });
  for (const bool lostLetters : {false, true})
    if (it == files.end())
      it = std::find_if(files.begin(), files.end(), [&](const FoundFileRow &f) {
        return NamesShownName(name, f.Name, lostLetters && f.FirstLetterLost);
      });
  if (it == files.end())
    return std::nullopt;
  std::vector<RestoreRow> rows;
  for (const FoundFileRow &f : files)
    rows.push_back({f.Name, &f == &*it});
  return rows;
}

// The catalogue's spelling of the folder a WHAT names (the drive, names,
// a backslash after each): the typed text itself when a section lies at or
// below it so spelled; else the first section whose leading names the typed
// ones name, letter case aside, and only after that with a first "х"
// standing for any letter (folders keep no mark of a lost letter, so a real
// "х" is taken for one only when no folder is named otherwise). Nothing
// when no section fits.
std::optional<std::string> FoundFolderNamed(const EngineState &state, const std::string &typed) {
  const auto &folders = state.Catalogue.Folders();
  for (const FoundFolder &f : folders)
    if (f.Section.starts_with(typed))
      return typed;
  const auto names = PathComponents(typed);
  for (const bool lostLetters : {false, true})
    for (const FoundFolder &f : folders) {
      const auto shown = PathComponents(f.Section);
      if (shown.size() < names.size())
        continue;
      std::string spelled = typed.substr(0, typed.find('\\') + 1);
      bool fits = true;
      for (std::size_t i = 0; fits && i < names.size(); ++i) {
        fits = NamesShownName(names[i], shown[i], lostLetters && shown[i].starts_with(kLostLetter));
        spelled += shown[i] + "\\";
      }
      if (fits)
        return spelled;
    }
  return std::nullopt;
}

// Why files cannot be written into `to` (made first when missing), in the
// system's words; nothing when they can.
std::optional<std::string> DestinationProblem(const std::filesystem::path &to) {
  std::error_code ec;
  std::filesystem::create_directories(to, ec);
  if (ec)
    return ec.message();
  if (!std::filesystem::is_directory(to, ec))
    return std::make_error_code(std::errc::not_a_directory).message();
#if defined(_WIN32)
  // Windows keeps no search right on folders, and a read-only attribute on a
  // folder does not stop files being made in it: the first write says.
  return std::nullopt;
#else
  if (::access(to.c_str(), W_OK | X_OK) != 0)
    return std::strerror(errno);
  return std::nullopt;
#endif
}

// The conditions of a --condition list ("intact,partly"); nothing when a
// name is not one of them or the list is empty.
std::optional<std::vector<FileCondition>> ConditionList(std::string_view text) {
  std::vector<FileCondition> conditions;
  while (true) {
    const auto comma = text.find(',');
    const auto condition = ConditionFromName(text.substr(0, comma));
    if (!condition)
      return std::nullopt;
    conditions.push_back(*condition);
    if (comma == std::string_view::npos)
      return conditions;
    text.remove_prefix(comma + 1);
  }
}

} // namespace

int RestoreCommand(int argc, char **argv, int first) {
  const auto parsed = ParseVolumeCommand(argc, argv, first, {"--mask", "--to", "--condition"},
                                         {"--deep"}, kUsage, /*moreOperands=*/true);
  if (const int *exit = std::get_if<int>(&parsed))
    return *exit;
  const auto &[args, drive] = std::get<VolumeCommandLine>(parsed);
  const auto to = args.Value("--to");
  if (!to || to->empty())
    return UsageError("missing --to DIR", kUsage);
  std::optional<std::vector<FileCondition>> conditions;
  if (const auto list = args.Value("--condition")) {
    conditions = ConditionList(*list);
    if (!conditions)
      return UsageError("--condition takes a comma-separated list of intact, partly, "
                        "overwritten and empty",
                        kUsage);
  }
  std::vector<std::string> what(args.Operands.begin() + 1, args.Operands.end());
  const bool whatGiven = !what.empty();
  const std::string root = drive.Drive + "\\";
  for (auto &w : what) {
    if (w.size() < root.size() || !EqualsIgnoreCase(w.substr(0, root.size()), root))
      return UsageError(
          "WHAT must be a path on drive " + drive.Drive + ", such as " + root + "DCIM\\", kUsage);
    w.replace(0, root.size(), root);
  }
  if (what.empty())
    what.push_back(root);

  // Writing onto the card being recovered can overwrite what is to be
  // recovered: refused before anything is made there.
  if (DestinationOnVolume(PathFromUtf8(*to), PathFromUtf8(drive.Device))) {
    std::cerr << "orvanta-cli: " << DestinationOnVolumeMessage(LoadLanguage()) << '\n';
    return kExitFailure;
  }
  if (const auto problem = DestinationProblem(PathFromUtf8(*to))) {
    std::cerr << "orvanta-cli: cannot write to " << *to << ": " << *problem << '\n';
    return kExitFailure;
  }

  DriveSession session(drive);
  if (const auto failed = SessionFailure(session))
    return *failed;
  EngineState state(session.Drives(), {}, LoadLanguage());
  TerminalHost host;
  if (const auto failed = RunScan(state, host, args, drive))
    return *failed;

  RestoreState restore;
  restore.DestFolder = PathFromUtf8(*to);
  restore.Conditions = conditions;
  Totals totals;
  int exitCode = kExitOk;
  for (const auto &w : what) {
    if (TerminalHost::Interrupted() || totals.WriteError != 0)
      break;
    const auto slash = w.rfind('\\');
    const auto folder = FoundFolderNamed(state, w.substr(0, slash + 1));
    if (w.ends_with('\\')) {
      if (whatGiven && !folder) {
        std::cerr << "orvanta-cli: no deleted files were found in " << w << '\n';
        exitCode = kExitFailure;
        continue;
      }
      restore.CurrentSection = folder.value_or(w);
      totals.Add(RestoreFolder(state, restore, host, /*stoppable=*/true));
      continue;
    }
    restore.CurrentSection = folder.value_or(w.substr(0, slash + 1));
    const auto rows = RowsChecking(state, restore.CurrentSection, w.substr(slash + 1));
    if (!rows) {
      std::cerr << "orvanta-cli: no deleted file " << w << " was found\n";
      exitCode = kExitFailure;
      continue;
    }
    totals.Add(RestoreCheckedRows(state, restore, host, *rows));
  }

  if (totals.WriteError != 0) {
    std::cerr << totals.ErrorText << '\n';
    return kExitFailure;
  }
  std::cout << state.Language.Text("Restore", "Message4", "Files restored:") << ' '
            << totals.Restored << '\n';
  if (totals.Renamed > 0)
    std::cerr << state.Language.Text("Restore", "Message6",
                                     "Files given a new name, as their name was taken:")
              << ' ' << totals.Renamed << '\n';
  if (totals.WithUnreadableParts > 0)
    std::cerr << state.Language.Text("Restore", "Message5",
                                     "Files with unreadable parts (filled with zeros):")
              << ' ' << totals.WithUnreadableParts << '\n';
  if (totals.LeftOut > 0)
    std::cerr << "Files left out by --condition: " << totals.LeftOut << '\n';
  if (totals.Skipped > 0)
    std::cerr << "Files not restored (could not be created, or their entry is unusable): "
              << totals.Skipped << '\n';
  if (totals.CreateError != 0) {
    std::cerr << "orvanta-cli: cannot create " << std::quoted(PathToUtf8(totals.NotCreatedPath)) << ": "
              << std::strerror(totals.CreateError) << '\n';
    exitCode = kExitFailure;
  }
  if (TerminalHost::Interrupted())
    return StoppedByUser();
  return exitCode;
}

} // namespace orvanta::cli
