#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvanta {

// The catalogue of found files: an INI document held in memory, one section
// per folder path ("E:\DCIM\"), one key per found file whose value is
// "size#date time#first cluster#mark#condition#seconds" (FoundFileRow).
// Sections and keys keep the order in which they were added; look-ups
// ignore letter case. The document is bound to a file that it reads when it
// is made, if the file exists, and never writes.
class TFoundCatalogue {
public:
  TFoundCatalogue() = default;
  explicit TFoundCatalogue(std::filesystem::path file);

  void Clear();

  bool HasSection(std::string_view section) const;
  bool HasKey(std::string_view section, std::string_view key) const;
  std::vector<std::string> SectionNames() const;
  // Keys of a section in catalogue order; none when it does not exist.
  std::vector<std::string> Keys(std::string_view section) const;
  // The value of a key; empty when there is no such key.
  std::string Value(std::string_view section, std::string_view key) const;
  // Sets a key, creating the section when needed; an existing key keeps its place.
  void Write(std::string_view section, std::string_view key, std::string_view value);

  std::size_t SectionCount() const { return sections_.size(); }
  std::size_t KeyCount() const;

  // The document as INI text.
  std::string ToIniText() const;
  // Replaces the document by INI text.
  void LoadIniText(std::string_view text);

  const std::filesystem::path &File() const { return file_; }

  // Every entry in catalogue order, for the front ends.
  struct Entry {
    const std::string &Section;
    const std::string &Key;
    const std::string &Value;
  };
  template <class F> void ForEach(F &&f) const {
    for (const auto &s : sections_)
      for (const auto &[key, value] : s.Entries)
        f(Entry{s.Name, key, value});
  }

private:
  struct Section {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Entries;
    std::unordered_map<std::string, std::size_t> Index; // folded key -> entry
  };
  const Section *Find(std::string_view section) const;

  std::filesystem::path file_;
  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> index_; // folded name -> section
};

} // namespace orvanta
