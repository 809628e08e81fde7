#include <cstdio>
#include <iostream>

#include "cli/arguments.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "scan/found_file_row.h"

namespace orvanta::cli {

namespace {

constexpr const char *kUsage =
    "usage: orvanta-cli find [--deep] [--mask MASK] [--drive X:] [--sector-size N]\n"
    "                        [--partition N] [--json] DEVICE\n"
    "Finds deleted files on a FAT16, FAT32 or exFAT volume and prints the\n"
    "catalogue of found files (INI text, or JSON with --json) on stdout; the log and the\n"
    "progress go to stderr. Ctrl+C stops the scan, prints what was found and\n"
    "exits with 130.\n"
    "MASK: * for any run of characters, ? for one, [a-z] and [!abc] for sets,\n"
    "letter case aside. A deleted file without a long name has lost the first\n"
    "letter of its name, shown as \"\xD1\x85\" (Cyrillic kha, U+0445): there any\n"
    "character of MASK matches, so IMG_* and xMG* both find \xD1\x85MG_0001.JPG.\n";

void AppendJsonString(std::string &out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

// A found file's fields after its folder and name.
void AppendJsonFields(std::string &out, const FoundFileRow &row) {
  out += ",\"size\":" + std::to_string(row.Size) + ",\"date\":";
  AppendJsonString(out, row.Written.Text());
  out += ",\"cluster\":" + std::to_string(row.FirstCluster) + ",\"mark\":";
  AppendJsonString(out, row.Mark != '\0' ? std::string(1, row.Mark) : std::string());
  out += ",\"condition\":";
  if (row.Condition)
    AppendJsonString(out, ConditionName(*row.Condition));
  else
    out += "null";
  // The last-write time with its seconds, which the date leaves out.
  out += ",\"written\":";
  if (const auto written = row.LastWriteText())
    AppendJsonString(out, *written);
  else
    out += "null";
}

} // namespace

std::string CatalogueJson(const EngineState &state, bool deep) {
  std::string out = "{\"drive\":";
  AppendJsonString(out, state.Vol.Geometry().DrivePath);
  out += std::string(",\"mode\":\"") + (deep ? "deep" : "quick") + "\",\"found\":" +
         std::to_string(state.Catalogue.FileCount()) + ",\"files\":[";
  bool first = true;
  for (const FoundFolder &folder : state.Catalogue.Folders())
    for (const FoundFileRow &row : folder.Files) {
      out += first ? "{\"folder\":" : ",{\"folder\":";
      first = false;
      AppendJsonString(out, folder.Section);
      out += ",\"name\":";
      AppendJsonString(out, row.Name);
      AppendJsonFields(out, row);
      out += "}";
    }
  out += "]}\n";
  return out;
}

std::optional<int> RunScan(EngineState &state, TerminalHost &host, const Arguments &args,
                           const DriveOptions &drive) {
  FindOptions options;
  options.Drive = drive.Drive;
  options.Mask = args.Value("--mask").value_or("*.*");
  options.Deep = args.Has("--deep");
  const FindOutcome outcome = RunFind(state, host, options);
  if (outcome.Outcome == FindOutcome::Result::Refused ||
      outcome.Outcome == FindOutcome::Result::Busy) {
    std::cerr << outcome.Message << '\n';
    return kExitFailure;
  }
  std::cerr << outcome.Message << '\n';
  return std::nullopt;
}

int FindCommand(int argc, char **argv, int first) {
  const auto parsed = ParseVolumeCommand(argc, argv, first, {"--mask"}, {"--deep", "--json"}, kUsage,
                                         /*moreOperands=*/false);
  if (const int *exit = std::get_if<int>(&parsed))
    return *exit;
  const auto &[args, drive] = std::get<VolumeCommandLine>(parsed);

  DriveSession session(drive);
  if (const auto failed = SessionFailure(session))
    return *failed;
  EngineState state(session.Drives(), {}, LoadLanguage());
  TerminalHost host;
  if (const auto failed = RunScan(state, host, args, drive))
    return *failed;
  if (args.Has("--json"))
    std::cout << CatalogueJson(state, args.Has("--deep"));
  else
    std::cout << state.Catalogue.ToIniText();
  std::cout.flush();
  return TerminalHost::Interrupted() ? StoppedByUser() : kExitOk;
}

} // namespace orvanta::cli
