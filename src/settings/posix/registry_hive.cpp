#include "settings/posix/registry_hive.h"

#include <charconv>

#include "settings/ascii_case.h"

namespace orvanta {
namespace {

constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr std::string_view kFileHeader = "; Orvanta per-user settings. Written by the program; "
                                         "names are found in any letter case.\n";

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

bool SameNames(const std::vector<std::string> &a, const std::vector<std::string> &b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!SameIgnoringCase(a[i], b[i]))
      return false;
  return true;
}

// Whether `inner` is `outer` or lies below it.
bool IsWithin(const std::vector<std::string> &inner, const std::vector<std::string> &outer) {
  if (inner.size() < outer.size())
    return false;
  for (std::size_t i = 0; i < outer.size(); ++i)
    if (!SameIgnoringCase(inner[i], outer[i]))
      return false;
  return true;
}

std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (IsControl(c)) {
      const auto byte = static_cast<unsigned char>(c);
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  c = AsciiLower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Reads a quoted string at the start of `text` and moves `text` past it.
std::optional<std::string> TakeQuoted(std::string_view &text) {
  if (text.empty() || text.front() != '"')
    return std::nullopt;
  std::string out;
  std::size_t i = 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      text.remove_prefix(i + 1);
      return out;
    }
    if (c != '\\') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 >= text.size())
      return std::nullopt;
    const char next = text[i + 1];
    if (next == '\\' || next == '"') {
      out += next;
      i += 2;
    } else if (next == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 4;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<RegValue> ParseData(std::string_view text) {
  if (text.starts_with("dword:")) {
    text.remove_prefix(6);
    std::uint32_t number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number, 16);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty() || text.size() > 8)
      return std::nullopt;
    return RegValue::Dword(number);
  }
  RegType type = RegType::String;
  if (text.starts_with("expand:")) {
    text.remove_prefix(7);
    type = RegType::ExpandString;
  }
  auto quoted = TakeQuoted(text);
  if (!quoted || !text.empty())
    return std::nullopt;
  return RegValue{type, std::move(*quoted), 0};
}

std::string DataText(const RegValue &value) {
  switch (value.Type) {
  case RegType::Dword: {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "dword:";
    for (int shift = 28; shift >= 0; shift -= 4)
      out += kHex[(value.Number >> shift) & 0xF];
    return out;
  }
  case RegType::ExpandString:
    return "expand:" + Quoted(value.Text);
  case RegType::String:
    break;
  }
  return Quoted(value.Text);
}

std::string_view TrimLine(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
    line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  return line;
}

} // namespace

std::optional<std::vector<std::string>> RegistryHive::SplitKeyPath(std::string_view keyPath) {
  std::vector<std::string> names;
  if (keyPath.empty())
    return names;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = keyPath.find('\\', start);
    const std::string_view name =
        keyPath.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (name.empty())
      return std::nullopt;
    for (char c : name)
      if (IsControl(c))
        return std::nullopt;
    names.emplace_back(name);
    if (end == std::string_view::npos)
      return names;
    start = end + 1;
  }
}

RegistryHive::Key *RegistryHive::FindKey(const std::vector<std::string> &names) {
  for (auto &key : keys_)
    if (SameNames(key.Names, names))
      return &key;
  return nullptr;
}

const RegistryHive::Key *RegistryHive::FindKey(const std::vector<std::string> &names) const {
  for (const auto &key : keys_)
    if (SameNames(key.Names, names))
      return &key;
  return nullptr;
}

RegistryHive::Key &RegistryHive::EnsureKey(std::vector<std::string> names) {
  if (Key *key = FindKey(names))
    return *key;
  keys_.push_back({std::move(names), {}});
  return keys_.back();
}

bool RegistryHive::HasKey(std::string_view keyPath) const {
  const auto names = SplitKeyPath(keyPath);
  if (!names)
    return false;
  if (names->empty())
    return true;
  for (const auto &key : keys_)
    if (IsWithin(key.Names, *names))
      return true;
  return false;
}

const RegValue *RegistryHive::Find(std::string_view keyPath, std::string_view name) const {
  const auto names = SplitKeyPath(keyPath);
  if (!names)
    return nullptr;
  const Key *key = FindKey(*names);
  if (!key)
    return nullptr;
  for (const auto &value : key->Values)
    if (SameIgnoringCase(value.Name, name))
      return &value.Data;
  return nullptr;
}

bool RegistryHive::AddKey(std::string_view keyPath) {
  auto names = SplitKeyPath(keyPath);
  if (!names)
    return false;
  EnsureKey(std::move(*names));
  return true;
}

bool RegistryHive::Set(std::string_view keyPath, std::string_view name, const RegValue &value) {
  auto names = SplitKeyPath(keyPath);
  if (!names)
    return false;
  Key &key = EnsureKey(std::move(*names));
  for (auto &existing : key.Values)
    if (SameIgnoringCase(existing.Name, name)) {
      existing.Data = value;
      return true;
    }
  key.Values.push_back({std::string(name), value});
  return true;
}

RegistryHive RegistryHive::Parse(std::string_view text) {
  RegistryHive hive;
  std::optional<std::vector<std::string>> current; // the key of the lines that follow
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    std::string_view line = TrimLine(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty() || line.front() == ';')
      continue;

    if (line.front() == '[' && line.back() == ']') {
      std::string_view path = line.substr(1, line.size() - 2);
      current.reset();
      if (!path.starts_with(kRootName))
        continue;
      path.remove_prefix(kRootName.size());
      if (!path.empty() && path.front() != '\\')
        continue;
      if (!path.empty())
        path.remove_prefix(1);
      if (auto names = SplitKeyPath(path)) {
        hive.EnsureKey(*names);
        current = std::move(*names);
      }
      continue;
    }

    if (!current)
      continue;
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (auto quoted = TakeQuoted(line)) {
      name = std::move(*quoted);
    } else {
      continue;
    }
    if (line.empty() || line.front() != '=')
      continue;
    line.remove_prefix(1);
    const auto data = ParseData(line);
    if (!data)
      continue;
    Key &key = hive.EnsureKey(*current);
    bool seen = false;
    for (const auto &existing : key.Values)
      seen = seen || SameIgnoringCase(existing.Name, name);
    if (!seen) // the first of two values of the same name counts
      key.Values.push_back({std::move(name), *data});
  }
  return hive;
}

std::string RegistryHive::Serialize() const {
  std::string out(kFileHeader);
  for (const auto &key : keys_) {
    out += "\n[";
    out += kRootName;
    for (const auto &name : key.Names) {
      out += '\\';
      out += name;
    }
    out += "]\n";
    for (const auto &value : key.Values) {
      out += value.Name.empty() ? std::string("@") : Quoted(value.Name);
      out += '=';
      out += DataText(value.Data);
      out += '\n';
    }
  }
  return out;
}

} // namespace orvanta
