#include "scan/found_catalogue.h"

#include <fstream>
#include <sstream>

#include "engine/text.h"

namespace orvanta {

TFoundCatalogue::TFoundCatalogue(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  if (in) {
    std::ostringstream text;
    text << in.rdbuf();
    LoadIniText(text.str());
  }
}

void TFoundCatalogue::Clear() {
  folders_.clear();
  names_.clear();
  sections_.clear();
  files_ = 0;
}

std::size_t TFoundCatalogue::FolderIndex(std::string_view section) const {
  const auto it = sections_.find(std::string(section));
  return it == sections_.end() ? std::string::npos : it->second;
}

bool TFoundCatalogue::HasSection(std::string_view section) const {
  return FolderIndex(section) != std::string::npos;
}

bool TFoundCatalogue::HasFile(std::string_view section, std::string_view name) const {
  return File(section, name) != nullptr;
}

const FoundFolder *TFoundCatalogue::Folder(std::string_view section) const {
  const std::size_t i = FolderIndex(section);
  return i == std::string::npos ? nullptr : &folders_[i];
}

const FoundFileRow *TFoundCatalogue::File(std::string_view section, std::string_view name) const {
  const std::size_t i = FolderIndex(section);
  if (i == std::string::npos)
    return nullptr;
  const auto it = names_[i].find(FoldCase(name));
  return it == names_[i].end() ? nullptr : &folders_[i].Files[it->second];
}

void TFoundCatalogue::Write(std::string_view section, FoundFileRow row) {
  auto [at, added] = sections_.try_emplace(std::string(section), folders_.size());
  if (added) {
    folders_.push_back({std::string(section), {}});
    names_.emplace_back();
  }
  FoundFolder &folder = folders_[at->second];
  auto [name, fresh] = names_[at->second].try_emplace(FoldCase(row.Name), folder.Files.size());
  if (!fresh) {
    FoundFileRow &kept = folder.Files[name->second];
    row.Name = std::move(kept.Name);
    kept = std::move(row);
    return;
  }
  folder.Files.push_back(std::move(row));
  ++files_;
}

std::string TFoundCatalogue::ToIniText() const {
  std::string out;
  for (const auto &folder : folders_) {
    out += "[" + folder.Section + "]\n";
    for (const auto &row : folder.Files)
      out += row.Name + "=" + row.IniValue() + "\n";
  }
  return out;
}

void TFoundCatalogue::LoadIniText(std::string_view text) {
  Clear();
  std::string section;
  bool inSection = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = TrimControl(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == ';')
      continue;
    if (line.front() == '[' && line.back() == ']') {
      section = std::string(line.substr(1, line.size() - 2));
      inSection = true;
      continue;
    }
    const auto eq = line.find('=');
    if (!inSection || eq == std::string_view::npos)
      continue;
    if (auto row = FoundFileRow::FromIniValue(std::string(TrimControl(line.substr(0, eq))),
                                              line.substr(eq + 1)))
      Write(section, std::move(*row));
  }
}

} // namespace orvanta
