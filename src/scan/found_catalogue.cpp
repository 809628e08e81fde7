#include "scan/found_catalogue.h"

#include <fstream>
#include <sstream>

#include "engine/text.h"

namespace orvanta {

TFoundCatalogue::TFoundCatalogue(std::filesystem::path file) : file_(std::move(file)) {
  std::ifstream in(file_, std::ios::binary);
  if (in) {
    std::ostringstream text;
    text << in.rdbuf();
    LoadIniText(text.str());
  }
}

void TFoundCatalogue::Clear() {
  sections_.clear();
  index_.clear();
}

const TFoundCatalogue::Section *TFoundCatalogue::Find(std::string_view section) const {
  const auto it = index_.find(FoldCase(section));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

bool TFoundCatalogue::HasSection(std::string_view section) const { return Find(section) != nullptr; }

bool TFoundCatalogue::HasKey(std::string_view section, std::string_view key) const {
  const Section *s = Find(section);
  return s && s->Index.count(FoldCase(key));
}

std::vector<std::string> TFoundCatalogue::SectionNames() const {
  std::vector<std::string> out;
  out.reserve(sections_.size());
  for (const auto &s : sections_)
    out.push_back(s.Name);
  return out;
}

std::vector<std::string> TFoundCatalogue::Keys(std::string_view section) const {
  std::vector<std::string> out;
  if (const Section *s = Find(section))
    for (const auto &entry : s->Entries)
      out.push_back(entry.first);
  return out;
}

std::string TFoundCatalogue::Value(std::string_view section, std::string_view key) const {
  const Section *s = Find(section);
  if (!s)
    return {};
  const auto it = s->Index.find(FoldCase(key));
  return it == s->Index.end() ? std::string() : s->Entries[it->second].second;
}

void TFoundCatalogue::Write(std::string_view section, std::string_view key, std::string_view value) {
  const std::string folded = FoldCase(section);
  auto it = index_.find(folded);
  if (it == index_.end()) {
    it = index_.emplace(folded, sections_.size()).first;
    sections_.push_back({std::string(section), {}, {}});
  }
  Section &s = sections_[it->second];
  const std::string foldedKey = FoldCase(key);
  if (const auto k = s.Index.find(foldedKey); k != s.Index.end()) {
    s.Entries[k->second].second = std::string(value);
    return;
  }
  s.Index.emplace(foldedKey, s.Entries.size());
  s.Entries.emplace_back(std::string(key), std::string(value));
}

std::size_t TFoundCatalogue::KeyCount() const {
  std::size_t n = 0;
  for (const auto &s : sections_)
    n += s.Entries.size();
  return n;
}

std::string TFoundCatalogue::ToIniText() const {
  std::string out;
  for (const auto &s : sections_) {
    out += "[" + s.Name + "]\n";
    for (const auto &[key, value] : s.Entries)
      out += key + "=" + value + "\n";
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
    Write(section, TrimControl(line.substr(0, eq)), line.substr(eq + 1));
  }
}

} // namespace orvanta
