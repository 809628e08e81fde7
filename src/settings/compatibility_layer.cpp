#include "settings/compatibility_layer.h"

#include "settings/registry_helpers.h"

namespace orvanta {

std::uint32_t QueryOsMajorVersion() { return 0; }

void RecordCompatibilityLayer(Registry &registry, std::uint32_t osMajorVersion,
                              std::string_view executablePath) {
  if (osMajorVersion <= 5)
    return;
  if (!RegValueExists(registry, RegistryRoot::CurrentUser, kLayersKey, executablePath))
    WriteRegString(registry, RegistryRoot::CurrentUser, kLayersKey, executablePath, kElevationLayer);
}

} // namespace orvanta
