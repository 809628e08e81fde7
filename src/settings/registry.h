#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

// The predefined roots that key paths are relative to.
enum class RegistryRoot {
  CurrentUser, // HKEY_CURRENT_USER: the per-user settings
  ClassesRoot, // HKEY_CLASSES_ROOT: file types and their programs
};

enum class RegType {
  String,       // REG_SZ
  ExpandString, // REG_EXPAND_SZ
  Dword,        // REG_DWORD
};

// One registry value: text for the string types, a number for DWORDs.
struct RegValue {
  RegType Type = RegType::String;
  std::string Text;
  std::uint32_t Number = 0;

  static RegValue String(std::string text) { return {RegType::String, std::move(text), 0}; }
  static RegValue Dword(std::uint32_t number) { return {RegType::Dword, {}, number}; }
  bool operator==(const RegValue &) const = default;
};

// A hierarchical store of keys and typed values, as the system keeps it.
// Key paths are relative to their root and separated by "\"; the empty path
// is the root itself. Key and value names are compared without regard to
// letter case. Every call stands alone: nothing stays open between calls,
// and no call throws.
class Registry {
public:
  virtual ~Registry() = default;

  // The value `name` of the key (an empty name is the key's default value);
  // empty when the key or the value is missing or cannot be read. Never
  // creates anything.
  virtual std::optional<RegValue> QueryValue(RegistryRoot root, std::string_view keyPath,
                                             std::string_view name) = 0;

  // Whether the key exists and can be read.
  virtual bool KeyExists(RegistryRoot root, std::string_view keyPath) = 0;

  // Opens the key, creating it and its missing parents; false when it can
  // be neither opened nor created.
  virtual bool CreateKey(RegistryRoot root, std::string_view keyPath) = 0;

  // Writes the value, creating the key and its missing parents first; false
  // when nothing was written.
  virtual bool SetValue(RegistryRoot root, std::string_view keyPath, std::string_view name,
                        const RegValue &value) = 0;
};

} // namespace orvanta
