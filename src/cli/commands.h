#pragma once

namespace orvanta::cli {

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // the volume cannot be used, or the work failed
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130; // Ctrl+C stopped the work; what was done is reported

// The whole command line: the command named by argv[1] with its words.
int Main(int argc, char **argv);

// Each command parses its own words, argv[first..].
int InfoCommand(int argc, char **argv, int first);
int FindCommand(int argc, char **argv, int first);
int RestoreCommand(int argc, char **argv, int first);
int WipeCommand(int argc, char **argv, int first);

} // namespace orvanta::cli
