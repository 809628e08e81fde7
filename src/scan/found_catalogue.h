#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scan/found_file_row.h"

namespace orvanta {

// The found files of one folder, in the order they were found. The section
// is the folder's full path with the drive, each name followed by a
// backslash ("E:\DCIM\100MEDIA\").
struct FoundFolder {
  std::string Section;
  std::vector<FoundFileRow> Files;
};

// The catalogue of found files: the folders that hold found files, each
// with its rows, in the order in which they were added. Sections are
// looked up as spelled (folders whose names differ only in letter case are
// different folders); names within a section ignore letter case. As text it is an INI document,
// one section per folder and one "name=value" line per file
// (FoundFileRow::IniValue). It is made from a file (find.ini) when that
// exists, and never written back.
class TFoundCatalogue {
public:
  TFoundCatalogue() = default;
  explicit TFoundCatalogue(const std::filesystem::path &file);

  void Clear();

  bool HasSection(std::string_view section) const;
  bool HasFile(std::string_view section, std::string_view name) const;
  // The folder of a section; null when there is none.
  const FoundFolder *Folder(std::string_view section) const;
  // The row of a name in a section; null when there is none.
  const FoundFileRow *File(std::string_view section, std::string_view name) const;
  // Every folder, in catalogue order.
  const std::vector<FoundFolder> &Folders() const { return folders_; }

  // Adds a row to a section, creating the section when needed. A row whose
  // name the section already holds replaces that row in its place and
  // keeps its name.
  void Write(std::string_view section, FoundFileRow row);

  std::size_t SectionCount() const { return folders_.size(); }
  std::size_t FileCount() const { return files_; }

  // The catalogue as INI text.
  std::string ToIniText() const;
  // Replaces the catalogue by INI text; lines before the first section, or
  // whose value does not read as a row, are passed over.
  void LoadIniText(std::string_view text);

private:
  // The position of a section's folder in folders_; npos when none.
  std::size_t FolderIndex(std::string_view section) const;

  std::vector<FoundFolder> folders_;
  // Per folder: folded name -> position of its row.
  std::vector<std::unordered_map<std::string, std::size_t>> names_;
  std::unordered_map<std::string, std::size_t> sections_; // section -> folder
  std::size_t files_ = 0;
};

} // namespace orvanta
