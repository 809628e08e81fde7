#include "settings/environment.h"

#include <cstdlib>

namespace orvanta {

EnvironmentLookup ProcessEnvironment() {
  return [](const char *name) {
    const char *value = std::getenv(name);
    return std::string(value ? value : "");
  };
}

} // namespace orvanta
