#pragma once

#include <string>
#include <string_view>

#include "settings/registry.h"

namespace orvanta {

// The five registry operations the program uses. None of them reports an
// error: a key that cannot be opened gives the empty string or false, and a
// write that cannot be done is skipped.

// The text of a REG_SZ or REG_EXPAND_SZ value with the letters a to z
// upper-cased (nothing else changes, variables are not expanded); the empty
// string for every other type and when the key or value is missing. An
// empty name reads the key's default value.
std::string ReadRegString(Registry &registry, RegistryRoot root, std::string_view keyPath,
                          std::string_view name);

// Writes a REG_SZ value, creating the key and its missing parents.
void WriteRegString(Registry &registry, RegistryRoot root, std::string_view keyPath,
                    std::string_view name, std::string_view text);

// Writes a DWORD 1 or 0, creating the key and its missing parents.
void WriteRegBool(Registry &registry, RegistryRoot root, std::string_view keyPath,
                  std::string_view name, bool flag);

bool RegKeyExists(Registry &registry, RegistryRoot root, std::string_view keyPath);

// False when the key cannot be opened or has no value of that name.
bool RegValueExists(Registry &registry, RegistryRoot root, std::string_view keyPath,
                    std::string_view name);

} // namespace orvanta
