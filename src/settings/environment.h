#pragma once

#include <functional>
#include <string>

namespace orvanta {

// Reads an environment variable: its value, or the empty string when it is
// not set. Code that depends on the environment takes one of these, so that
// it can be run against any environment.
using EnvironmentLookup = std::function<std::string(const char *name)>;

// The environment of this process.
EnvironmentLookup ProcessEnvironment();

} // namespace orvanta
