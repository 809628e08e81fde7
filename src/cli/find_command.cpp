#include <cstdio>
#include <iostream>

#include "cli/arguments.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "scan/entry_decoding.h"

namespace orvanta::cli {

namespace {

constexpr const char *kUsage =
    "usage: orvanta-cli find [--deep] [--mask MASK] [--drive X:] [--sector-size N]\n"
    "                        [--partition N] [--json] DEVICE\n"
    "Finds deleted files on a FAT16 or FAT32 volume and prints the catalogue of\n"
    "found files (INI text, or JSON with --json) on stdout; the log and the\n"
    "progress go to stderr. Ctrl+C stops the scan and keeps what was found.\n";

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

// A catalogue value "size#date time#cluster#mark" as JSON fields.
void AppendJsonValue(std::string &out, const std::string &value) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const auto hash = value.find('#', start);
    fields.push_back(value.substr(start, hash - start));
    if (hash == std::string::npos)
      break;
    start = hash + 1;
  }
  fields.resize(4);
  auto number = [](const std::string &s) {
    return !s.empty() && s.find_first_not_of("-0123456789") == std::string::npos ? s : "null";
  };
  out += ",\"size\":" + number(fields[0]) + ",\"date\":";
  AppendJsonString(out, fields[1]);
  out += ",\"cluster\":" + number(fields[2]) + ",\"mark\":";
  AppendJsonString(out, fields[3]);
}

} // namespace

std::string CatalogueJson(const EngineState &state, bool deep) {
  std::string out = "{\"drive\":";
  AppendJsonString(out, state.Vol.Geometry().DrivePath);
  out += std::string(",\"mode\":\"") + (deep ? "deep" : "quick") + "\",\"found\":" +
         std::to_string(state.Catalogue.KeyCount()) + ",\"files\":[";
  bool first = true;
  state.Catalogue.ForEach([&](const TFoundCatalogue::Entry &e) {
    out += first ? "{\"folder\":" : ",{\"folder\":";
    first = false;
    AppendJsonString(out, e.Section);
    out += ",\"name\":";
    AppendJsonString(out, e.Key);
    AppendJsonValue(out, e.Value);
    out += "}";
  });
  out += "]}\n";
  return out;
}

std::optional<int> RunScan(EngineState &state, TerminalHost &host, const Arguments &args,
                           const DriveOptions &drive) {
  FindOptions options;
  options.Drive = drive.Drive;
  options.Mask = args.Value("--mask").value_or("*.*");
  options.Deep = args.Has("--deep");
  options.MaxYearOffset = CurrentYearOffsetLimit();
  const FindOutcome outcome = RunFind(state, host, options);
  if (outcome.Outcome == FindOutcome::Result::Refused) {
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
  return kExitOk;
}

} // namespace orvanta::cli
