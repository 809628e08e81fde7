#include "settings/registry_helpers.h"

#include "settings/ascii_case.h"

namespace orvanta {

std::string ReadRegString(Registry &registry, RegistryRoot root, std::string_view keyPath,
                          std::string_view name) {
  const auto value = registry.QueryValue(root, keyPath, name);
  if (!value || (value->Type != RegType::String && value->Type != RegType::ExpandString))
    return {};
  return AsciiUpper(value->Text);
}

void WriteRegString(Registry &registry, RegistryRoot root, std::string_view keyPath,
                    std::string_view name, std::string_view text) {
  registry.SetValue(root, keyPath, name, RegValue::String(std::string(text)));
}

void WriteRegBool(Registry &registry, RegistryRoot root, std::string_view keyPath,
                  std::string_view name, bool flag) {
  registry.SetValue(root, keyPath, name, RegValue::Dword(flag ? 1 : 0));
}

bool RegKeyExists(Registry &registry, RegistryRoot root, std::string_view keyPath) {
  return registry.KeyExists(root, keyPath);
}

bool RegValueExists(Registry &registry, RegistryRoot root, std::string_view keyPath,
                    std::string_view name) {
  return registry.QueryValue(root, keyPath, name).has_value();
}

} // namespace orvanta
