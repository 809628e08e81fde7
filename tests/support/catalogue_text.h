#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/found_catalogue.h"

namespace orvanta::test {

// The catalogue in the words of its INI text, for comparing with what a
// scan should have found.

inline std::vector<std::string> SectionNames(const TFoundCatalogue &c) {
  std::vector<std::string> out;
  for (const auto &folder : c.Folders())
    out.push_back(folder.Section);
  return out;
}

inline std::vector<std::string> Keys(const TFoundCatalogue &c, std::string_view section) {
  std::vector<std::string> out;
  if (const FoundFolder *folder = c.Folder(section))
    for (const auto &row : folder->Files)
      out.push_back(row.Name);
  return out;
}

// The INI value of a file; empty when there is no such file.
inline std::string Value(const TFoundCatalogue &c, std::string_view section,
                         std::string_view name) {
  const FoundFileRow *row = c.File(section, name);
  return row ? row->IniValue() : std::string();
}

struct CatalogueEntry {
  std::string Section;
  std::string Key;
  std::string Value;
};

// Every file in catalogue order.
inline std::vector<CatalogueEntry> Entries(const TFoundCatalogue &c) {
  std::vector<CatalogueEntry> out;
  for (const auto &folder : c.Folders())
    for (const auto &row : folder.Files)
      out.push_back({folder.Section, row.Name, row.IniValue()});
  return out;
}

// A row from its INI value; a value that does not read gives a row of
// size 0 that no test expects.
inline FoundFileRow Row(std::string name, std::string_view value) {
  auto row = FoundFileRow::FromIniValue(std::move(name), value);
  return row ? *row : FoundFileRow{};
}

inline std::optional<FoundFileRow> ParseRow(std::string_view value) {
  return FoundFileRow::FromIniValue({}, value);
}

} // namespace orvanta::test
