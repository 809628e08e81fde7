#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvanta::test {

struct RunResult {
  int ExitCode = -1;
  std::string Out; // stdout
  std::string Err; // stderr
};

// Runs a program (looked up in PATH, /sbin and /usr/sbin included) with the
// given words, no shell involved, and collects what it prints.
// `whileRunning`, when given, is called with the program's process id about
// every millisecond until it ends (to send it a signal at a chosen moment).
RunResult Run(const std::vector<std::string> &argv, const std::string &input = {},
              const std::function<void(int pid)> &whileRunning = {});

// As Run, but fails the current test when the exit code is not 0.
std::string RunOrFail(const std::vector<std::string> &argv);

} // namespace orvanta::test
