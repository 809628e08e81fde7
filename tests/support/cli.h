#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "support/run.h"

namespace orvanta::test {

// Runs the built orvanta-cli with the given words.
inline RunResult RunCli(std::vector<std::string> words, const std::string &input = {}) {
  const char *cli = std::getenv("ORVANTA_CLI");
  words.insert(words.begin(), cli ? cli : "orvanta-cli");
  return Run(words, input);
}

} // namespace orvanta::test
