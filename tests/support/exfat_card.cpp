#include "exfat_card.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <tuple>

#include <gtest/gtest.h>

#include "run.h"

namespace orvanta::test {
namespace {

std::uint32_t Le32(const std::uint8_t *p) {
  return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
void PutLe16(std::uint8_t *p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
void PutLe32(std::uint8_t *p, std::uint32_t v) {
  PutLe16(p, std::uint16_t(v));
  PutLe16(p + 2, std::uint16_t(v >> 16));
}
void PutLe64(std::uint8_t *p, std::uint64_t v) {
  PutLe32(p, std::uint32_t(v));
  PutLe32(p + 4, std::uint32_t(v >> 32));
}

std::vector<std::string> Split(const std::string &path) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  while (from <= path.size()) {
    const std::size_t to = std::min(path.find('/', from), path.size());
    if (to > from)
      parts.push_back(path.substr(from, to - from));
    from = to + 1;
  }
  return parts;
}

// UTF-8 to UTF-16, surrogate pairs for code points above U+FFFF.
std::u16string Utf16(const std::string &text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? b : b & (0x3F >> (n - 1));
    for (int k = 1; k < n; ++k)
      c = c << 6 | (static_cast<unsigned char>(text[i + std::size_t(k)]) & 0x3F);
    i += std::size_t(n);
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(char16_t(0xD800 + (c >> 10)));
      out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(char16_t(c));
    }
  }
  return out;
}

} // namespace

std::uint16_t ExfatSetChecksum(const std::uint8_t *set, std::size_t bytes) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < bytes; ++i)
    if (i != 2 && i != 3)
      sum = std::uint16_t(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + set[i]);
  return sum;
}

ExfatCard::ExfatCard(const std::filesystem::path &path, std::uint64_t bytes,
                     std::uint32_t clusterBytes, const std::string &label,
                     const std::vector<std::string> &mkfsWords)
    : path_(path) {
  if (bytes != 0) {
    std::filesystem::remove(path);
    { std::ofstream(path, std::ios::binary); }
    std::filesystem::resize_file(path, bytes);
  }
  std::vector<std::string> argv = {"mkfs.exfat", "-c", std::to_string(clusterBytes)};
  if (!label.empty())
    argv.insert(argv.end(), {"-L", label});
  argv.insert(argv.end(), mkfsWords.begin(), mkfsWords.end());
  argv.push_back(path.string());
  RunOrFail(argv);
  std::ifstream in(path, std::ios::binary);
  image_.assign(std::istreambuf_iterator<char>(in), {});
  const std::uint8_t *b = image_.data();
  sectorBytes_ = 1u << b[108];
  clusterBytes_ = sectorBytes_ << b[109];
  fatOffset_ = std::uint64_t{Le32(b + 80)} * sectorBytes_;
  heapOffset_ = std::uint64_t{Le32(b + 88)} * sectorBytes_;
  clusterCount_ = Le32(b + 92);
  rootCluster_ = Le32(b + 96);
  const auto root = ReadDir({Chain(rootCluster_), std::nullopt});
  for (std::size_t at = 0; at + 32 <= root.size(); at += 32) {
    if (root[at] == 0x81)
      bitmapCluster_ = Le32(&root[at + 20]);
    if (root[at] == 0x82) {
      // The up-case table, its identity runs (0xFFFF, count) spelt out.
      const std::uint64_t length = Le32(&root[at + 24]);
      const std::uint8_t *t = image_.data() + ClusterOffset(Le32(&root[at + 20]));
      for (std::uint64_t k = 0; k + 1 < length; k += 2) {
        const std::uint16_t v = std::uint16_t(t[k] | t[k + 1] << 8);
        if (v == 0xFFFF && k + 3 < length) {
          const std::uint16_t run = std::uint16_t(t[k + 2] | t[k + 3] << 8);
          for (std::uint16_t r = 0; r < run; ++r)
            upcase_.push_back(std::uint16_t(upcase_.size()));
          k += 2;
        } else {
          upcase_.push_back(v);
        }
      }
    }
  }
}

std::uint64_t ExfatCard::ClusterOffset(std::uint32_t cluster) const {
  return heapOffset_ + std::uint64_t(cluster - 2) * clusterBytes_;
}

std::uint32_t ExfatCard::Fat(std::uint32_t cluster) const {
  return Le32(image_.data() + fatOffset_ + 4 * std::uint64_t{cluster});
}
void ExfatCard::SetFat(std::uint32_t cluster, std::uint32_t value) {
  PutLe32(image_.data() + fatOffset_ + 4 * std::uint64_t{cluster}, value);
}
bool ExfatCard::Used(std::uint32_t cluster) const {
  const std::uint32_t bit = cluster - 2;
  return image_[ClusterOffset(bitmapCluster_) + bit / 8] >> (bit % 8) & 1;
}
void ExfatCard::SetUsed(std::uint32_t cluster, bool used) {
  const std::uint32_t bit = cluster - 2;
  auto &byte = image_[ClusterOffset(bitmapCluster_) + bit / 8];
  byte = std::uint8_t(used ? byte | 1u << (bit % 8) : byte & ~(1u << (bit % 8)));
}
std::uint16_t ExfatCard::Upcase(std::uint16_t c) const { return c < upcase_.size() ? upcase_[c] : c; }

std::vector<std::uint32_t> ExfatCard::Chain(std::uint32_t first) const {
  std::vector<std::uint32_t> chain;
  for (std::uint32_t c = first; c >= 2 && c < clusterCount_ + 2 && chain.size() <= clusterCount_;
       c = Fat(c))
    chain.push_back(c);
  return chain;
}

std::vector<std::uint8_t> ExfatCard::ReadDir(const Dir &dir) const {
  std::vector<std::uint8_t> bytes;
  for (const auto c : dir.Clusters)
    bytes.insert(bytes.end(), image_.begin() + std::ptrdiff_t(ClusterOffset(c)),
                 image_.begin() + std::ptrdiff_t(ClusterOffset(c) + clusterBytes_));
  return bytes;
}

void ExfatCard::WriteDir(const Dir &dir, const std::vector<std::uint8_t> &bytes) {
  for (std::size_t i = 0; i < dir.Clusters.size(); ++i)
    std::memcpy(image_.data() + ClusterOffset(dir.Clusters[i]), bytes.data() + i * clusterBytes_,
                clusterBytes_);
}

std::optional<ExfatCard::Found> ExfatCard::Find(const std::string &path) {
  const auto parts = Split(path);
  Dir dir{Chain(rootCluster_), std::nullopt};
  for (std::size_t level = 0; level < parts.size(); ++level) {
    const auto bytes = ReadDir(dir);
    const std::u16string want = Utf16(parts[level]);
    std::optional<std::size_t> hit;
    for (std::size_t at = 0; at + 32 <= bytes.size() && bytes[at] != 0; at += 32) {
      if (bytes[at] != 0x85)
        continue;
      std::u16string name;
      const std::size_t length = bytes[at + 32 + 3];
      for (std::size_t k = 0; name.size() < length; ++k)
        name.push_back(char16_t(bytes[at + 64 + 32 * (k / 15) + 2 + 2 * (k % 15)] |
                                bytes[at + 64 + 32 * (k / 15) + 3 + 2 * (k % 15)] << 8));
      if (name == want)
        hit = at;
    }
    if (!hit)
      return std::nullopt;
    if (level + 1 == parts.size())
      return Found{dir, *hit};
    const std::uint8_t *stream = &bytes[*hit + 32];
    const std::uint32_t first = Le32(stream + 20);
    const std::uint64_t length = Le32(stream + 24);
    Dir sub{{}, std::nullopt};
    if (stream[1] & 2)
      for (std::uint32_t k = 0; k < length / clusterBytes_; ++k)
        sub.Clusters.push_back(first + k);
    else
      sub.Clusters = Chain(first);
    dir = sub;
  }
  return std::nullopt;
}

ExfatCard::Dir ExfatCard::Folder(const std::string &path) {
  if (Split(path).empty())
    return {Chain(rootCluster_), std::nullopt};
  const auto found = Find(path);
  if (!found)
    throw std::runtime_error("no folder " + path);
  const auto bytes = ReadDir(found->Parent);
  const std::uint8_t *stream = &bytes[found->Offset + 32];
  const std::uint32_t first = Le32(stream + 20);
  Dir dir{{}, found->Offset};
  if (stream[1] & 2)
    for (std::uint32_t k = 0; k < Le32(stream + 24) / clusterBytes_; ++k)
      dir.Clusters.push_back(first + k);
  else
    dir.Clusters = Chain(first);
  return dir;
}

std::uint32_t ExfatCard::FirstCluster(const std::string &path) {
  const auto found = Find(path);
  if (!found)
    throw std::runtime_error("no file " + path);
  return Le32(&ReadDir(found->Parent)[found->Offset + 32 + 20]);
}

std::vector<std::uint32_t> ExfatCard::Allocate(std::uint32_t count, ExfatLayout layout,
                                               std::uint32_t from) {
  std::vector<std::uint32_t> out;
  if (layout == ExfatLayout::Contiguous) {
    for (std::uint32_t start = from; start + count <= clusterCount_ + 2; ++start) {
      std::uint32_t n = 0;
      while (n < count && !Used(start + n))
        ++n;
      if (n == count) {
        for (std::uint32_t k = 0; k < count; ++k)
          out.push_back(start + k);
        break;
      }
      start += n;
    }
  } else {
    for (std::uint32_t c = from; c < clusterCount_ + 2 && out.size() < count; ++c)
      if (!Used(c)) {
        out.push_back(c);
        ++c; // leave a gap for the next file
      }
  }
  if (out.size() != count)
    throw std::runtime_error("card full");
  for (const auto c : out)
    SetUsed(c, true);
  return out;
}

void ExfatCard::Link(const std::vector<std::uint32_t> &clusters) {
  for (std::size_t i = 0; i < clusters.size(); ++i)
    SetFat(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : 0xFFFFFFFF);
}

void ExfatCard::AddSet(const std::string &path, bool folder,
                       const std::vector<std::uint32_t> &clusters, std::uint64_t length,
                       std::uint64_t validLength, bool noFatChain) {
  auto parts = Split(path);
  const std::string name = parts.back();
  parts.pop_back();
  std::string parentPath;
  for (const auto &p : parts)
    parentPath += p + "/";
  Dir parent = Folder(parentPath);
  const std::u16string units = Utf16(name);
  const std::size_t nameEntries = (units.size() + 14) / 15;
  const std::size_t entries = 2 + nameEntries;
  std::vector<std::uint8_t> set(entries * 32, 0);
  set[0] = 0x85;
  set[1] = std::uint8_t(entries - 1);
  PutLe16(&set[4], folder ? 0x10 : 0x20);
  // Timestamps that differ from file to file: 2024-05-06 07:08 plus a
  // count, 1.5 s on; or the one given.
  std::uint32_t stamp = (44u << 25) | (5u << 21) | (6u << 16) | (7u << 11) | (8u << 5) |
                        (stamp_++ % 30);
  std::uint8_t centiseconds = 150;
  if (nextStamp_) {
    std::tie(stamp, centiseconds) = *nextStamp_;
    nextStamp_.reset();
  }
  PutLe32(&set[8], stamp);
  PutLe32(&set[12], stamp);
  PutLe32(&set[16], stamp);
  set[20] = set[21] = centiseconds;
  set[22] = set[23] = set[24] = 0x80 | 8; // UTC+2
  std::uint8_t *stream = &set[32];
  stream[0] = 0xC0;
  stream[1] = std::uint8_t(1 | (noFatChain ? 2 : 0));
  stream[3] = std::uint8_t(units.size());
  std::uint16_t hash = 0;
  for (const char16_t u : units) {
    const std::uint16_t up = Upcase(std::uint16_t(u));
    hash = std::uint16_t(((hash & 1) ? 0x8000 : 0) + (hash >> 1) + (up & 0xFF));
    hash = std::uint16_t(((hash & 1) ? 0x8000 : 0) + (hash >> 1) + (up >> 8));
  }
  PutLe16(stream + 4, hash);
  PutLe64(stream + 8, validLength);
  PutLe32(stream + 20, clusters.empty() ? 0 : clusters.front());
  PutLe64(stream + 24, length);
  for (std::size_t k = 0; k < units.size(); ++k) {
    std::uint8_t *piece = &set[64 + 32 * (k / 15)];
    piece[0] = 0xC1;
    PutLe16(piece + 2 + 2 * (k % 15), std::uint16_t(units[k]));
  }
  for (std::size_t e = 0; e < nameEntries; ++e)
    set[64 + 32 * e] = 0xC1;
  PutLe16(&set[2], ExfatSetChecksum(set.data(), set.size()));

  // The first run of free slots; a full folder grows by a cluster.
  for (;;) {
    auto bytes = ReadDir(parent);
    for (std::size_t at = 0; at + set.size() <= bytes.size(); at += 32) {
      bool free = true;
      for (std::size_t e = 0; e < entries && free; ++e)
        free = bytes[at + 32 * e] < 0x80;
      if (!free)
        continue;
      std::memcpy(&bytes[at], set.data(), set.size());
      WriteDir(parent, bytes);
      return;
    }
    if (!parent.SetIndex) {
      // The root grows along its FAT chain.
      const std::uint32_t next = Allocate(1, ExfatLayout::Contiguous).front();
      std::memset(image_.data() + ClusterOffset(next), 0, clusterBytes_);
      parent.Clusters.push_back(next);
      Link(parent.Clusters);
      continue;
    }
    // Grow: the next cluster when it is free, else any, linked in the FAT.
    const std::uint32_t last = parent.Clusters.back();
    std::uint32_t next = 0;
    if (last + 1 < clusterCount_ + 2 && !Used(last + 1)) {
      next = last + 1;
      SetUsed(next, true);
    } else {
      next = Allocate(1, ExfatLayout::Contiguous).front();
    }
    std::memset(image_.data() + ClusterOffset(next), 0, clusterBytes_);
    const auto found = Find(parentPath);
    auto grand = ReadDir(found->Parent);
    std::uint8_t *own = &grand[found->Offset];
    const bool contiguous = next == last + 1 && (own[32 + 1] & 2);
    parent.Clusters.push_back(next);
    if (!contiguous) {
      own[32 + 1] = std::uint8_t(own[32 + 1] & ~2);
      Link(parent.Clusters);
    }
    const std::uint64_t grown = std::uint64_t(parent.Clusters.size()) * clusterBytes_;
    PutLe64(own + 32 + 8, grown);
    PutLe64(own + 32 + 24, grown);
    PutLe16(own + 2, ExfatSetChecksum(own, std::size_t(own[1] + 1) * 32));
    WriteDir(found->Parent, grand);
  }
}

void ExfatCard::MakeFolder(const std::string &path) {
  const auto clusters = Allocate(1, ExfatLayout::Contiguous);
  std::memset(image_.data() + ClusterOffset(clusters[0]), 0, clusterBytes_);
  AddSet(path, true, clusters, clusterBytes_, clusterBytes_, true);
}

void ExfatCard::Put(const std::string &path, const std::vector<std::uint8_t> &bytes,
                    ExfatLayout layout, std::optional<std::uint64_t> validLength,
                    std::uint32_t searchFrom) {
  const auto count = std::uint32_t((bytes.size() + clusterBytes_ - 1) / clusterBytes_);
  const auto clusters =
      count == 0 ? std::vector<std::uint32_t>{} : Allocate(count, layout, searchFrom);
  const std::uint64_t valid = validLength.value_or(bytes.size());
  for (std::size_t i = 0; i < clusters.size(); ++i) {
    std::uint8_t *to = image_.data() + ClusterOffset(clusters[i]);
    std::memset(to, 0, clusterBytes_);
    const std::size_t from = i * clusterBytes_;
    const std::size_t n = std::min<std::size_t>(clusterBytes_, bytes.size() - from);
    // Past the valid length the card holds whatever was there: here, a mark.
    for (std::size_t k = 0; k < n; ++k)
      to[k] = from + k < valid ? bytes[from + k] : 0xEE;
  }
  const bool noFatChain = layout == ExfatLayout::Contiguous;
  if (!noFatChain)
    Link(clusters);
  AddSet(path, false, clusters, bytes.size(), valid, noFatChain);
}

void ExfatCard::Delete(const std::string &path) {
  const auto found = Find(path);
  if (!found)
    throw std::runtime_error("no file " + path);
  auto bytes = ReadDir(found->Parent);
  std::uint8_t *set = &bytes[found->Offset];
  const bool folder = set[4] & 0x10;
  if (folder) {
    // Everything inside first, as rm -r does.
    const auto inside = ReadDir(Folder(path));
    std::vector<std::string> names;
    for (std::size_t at = 0; at + 32 <= inside.size() && inside[at] != 0; at += 32) {
      if (inside[at] != 0x85)
        continue;
      std::u16string name;
      for (std::size_t k = 0; k < inside[at + 35]; ++k)
        name.push_back(char16_t(inside[at + 66 + 32 * (k / 15) + 2 * (k % 15)] |
                                inside[at + 67 + 32 * (k / 15) + 2 * (k % 15)] << 8));
      std::string utf8;
      for (const char16_t u : name) // test names inside folders are ASCII
        utf8 += char(u);
      names.push_back(utf8);
    }
    for (const auto &n : names)
      Delete(path + "/" + n);
    bytes = ReadDir(found->Parent);
    set = &bytes[found->Offset];
  }
  const std::uint8_t *stream = set + 32;
  const std::uint32_t first = Le32(stream + 20);
  const std::uint64_t length = Le32(stream + 24);
  const auto count = std::uint32_t((length + clusterBytes_ - 1) / clusterBytes_);
  if (first >= 2) {
    if (stream[1] & 2)
      for (std::uint32_t k = 0; k < count; ++k)
        SetUsed(first + k, false);
    else
      for (const auto c : Chain(first))
        SetUsed(c, false);
  }
  for (std::size_t e = 0; e <= set[1]; ++e)
    set[32 * e] = std::uint8_t(set[32 * e] & 0x7F);
  WriteDir(found->Parent, bytes);
}

void ExfatCard::Save() const {
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(image_.data()), std::streamsize(image_.size()));
}

} // namespace orvanta::test
