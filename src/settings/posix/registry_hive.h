#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/registry.h"

namespace orvanta {

// The keys and values of HKEY_CURRENT_USER as the per-user store keeps them
// in its file. Key and value names keep the letter case they were first
// written with and are found in any case. A key exists when it was created
// or when one of its sub-keys was; the root (the empty path) always exists.
//
// The file is UTF-8 text in the manner of an exported registry file:
//
//   [HKEY_CURRENT_USER\SOFTWARE\Brisbel\Orvanta]
//   "Language"=dword:00000001
//   "Name"="text"
//   "Other"=expand:"text"
//   @="the key's default value"
//
// Inside quotes, "\\", "\"" and "\xHH" (control characters) are escaped.
// Lines that do not parse are skipped when reading.
class RegistryHive {
public:
  // The names of a key path, or nothing when the path is unusable (an empty
  // name between separators, a leading or trailing "\", or a control
  // character). The empty path has no names.
  static std::optional<std::vector<std::string>> SplitKeyPath(std::string_view keyPath);

  static RegistryHive Parse(std::string_view text);
  std::string Serialize() const;

  bool HasKey(std::string_view keyPath) const;
  const RegValue *Find(std::string_view keyPath, std::string_view name) const;

  // False when the key path is unusable.
  bool AddKey(std::string_view keyPath);
  bool Set(std::string_view keyPath, std::string_view name, const RegValue &value);

private:
  struct Value {
    std::string Name;
    RegValue Data;
  };
  struct Key {
    std::vector<std::string> Names;
    std::vector<Value> Values;
  };

  Key *FindKey(const std::vector<std::string> &names);
  const Key *FindKey(const std::vector<std::string> &names) const;
  Key &EnsureKey(std::vector<std::string> names);

  std::vector<Key> keys_; // in the order they were first created
};

} // namespace orvanta
