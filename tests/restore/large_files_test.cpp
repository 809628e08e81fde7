#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "support/cli.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::DirEntry;

constexpr std::uint64_t kClusterBytes = 32 * 1024;
constexpr std::uint64_t kTwoGiB = std::uint64_t{1} << 31;
constexpr std::uint64_t kThreeGiB = 3 * (std::uint64_t{1} << 30);

// A deleted file laid out cluster by cluster; clusters not in Patterns
// hold zeros (the image is sparse).
struct BigFile {
  std::string Name;
  std::uint64_t Size;
  std::vector<std::uint32_t> Clusters; // where each cluster of the file lies
  std::vector<std::size_t> Patterns;   // indexes of clusters holding PatternBytes

  std::vector<std::uint8_t> Expected(std::size_t index) const {
    if (std::find(Patterns.begin(), Patterns.end(), index) == Patterns.end())
      return std::vector<std::uint8_t>(kClusterBytes, 0);
    return test::PatternBytes(kClusterBytes, std::uint32_t(index * 7 + Size % 1000));
  }
};

class SparseCard {
public:
  explicit SparseCard(const std::filesystem::path &path)
      : image_(path, {.FatBits = 32, .SizeKiB = 5'800'000, .SectorsPerCluster = 64}),
        fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    const auto boot = Read(0, 512);
    reserved_ = boot[14] | boot[15] << 8;
    fats_ = boot[16];
    std::memcpy(&fatSectors_, &boot[36], 4);
    std::memcpy(&rootCluster_, &boot[44], 4);
  }
  ~SparseCard() { ::close(fd_); }

  std::uint64_t ClusterOffset(std::uint32_t cluster) const {
    return (reserved_ + std::uint64_t{fats_} * fatSectors_) * 512 +
           (cluster - 2) * kClusterBytes;
  }
  void SetFat(std::uint32_t n, std::uint32_t value) {
    for (unsigned f = 0; f < fats_; ++f)
      Write((reserved_ + std::uint64_t{f} * fatSectors_) * 512 + n * 4,
            {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
             std::uint8_t(value >> 24)});
  }
  void PutRoot(const std::vector<DirEntry> &entries) {
    std::vector<std::uint8_t> bytes;
    for (const auto &e : entries)
      bytes.insert(bytes.end(), e.begin(), e.end());
    Write(ClusterOffset(rootCluster_), bytes);
  }
  void Put(const BigFile &file) {
    for (const std::size_t i : file.Patterns)
      Write(ClusterOffset(file.Clusters[i]), file.Expected(i));
  }
  void Write(std::uint64_t at, const std::vector<std::uint8_t> &bytes) {
    ASSERT_EQ(::pwrite(fd_, bytes.data(), bytes.size(), off_t(at)), ssize_t(bytes.size()));
  }
  std::vector<std::uint8_t> Read(std::uint64_t at, std::size_t n) const {
    std::vector<std::uint8_t> bytes(n);
    EXPECT_EQ(::pread(fd_, bytes.data(), n, off_t(at)), ssize_t(n));
    return bytes;
  }
  const std::filesystem::path &Path() const { return image_.Path(); }

private:
  test::FatImageFile image_;
  int fd_;
  std::uint32_t reserved_ = 0, fats_ = 0, fatSectors_ = 0, rootCluster_ = 0;
};

// A folder in memory (/dev/shm), where a sparse image's holes read fast and
// gigabytes of restored files cost no disk writes; under `fallback` where
// there is none.
class MemoryFolder {
public:
  explicit MemoryFolder(const std::filesystem::path &fallback) {
    std::string name = "/dev/shm/orvanta-XXXXXX";
    path_ = ::mkdtemp(name.data()) ? std::filesystem::path(name) : fallback / "memory";
    std::filesystem::create_directories(path_);
  }
  ~MemoryFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path &Path() const { return path_; }

private:
  std::filesystem::path path_;
};

// Where each byte of `file` differs from what was written; nothing when
// the restored file holds exactly the file's bytes.
std::string Mismatch(const std::filesystem::path &restored, const BigFile &file) {
  const int fd = ::open(restored.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return "not restored";
  std::vector<std::uint8_t> chunk(64 * kClusterBytes);
  std::string problem;
  std::uint64_t at = 0;
  while (problem.empty()) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n <= 0)
      break;
    for (ssize_t off = 0; off < n && problem.empty(); off += ssize_t(kClusterBytes)) {
      const std::size_t index = (at + std::uint64_t(off)) / kClusterBytes;
      const auto expected = file.Expected(index);
      const auto length = std::min<std::size_t>(kClusterBytes, std::size_t(n - off));
      if (std::memcmp(chunk.data() + off, expected.data(), length) != 0)
        problem = "cluster " + std::to_string(index) + " differs";
    }
    at += std::uint64_t(n);
  }
  ::close(fd);
  if (problem.empty() && at != file.Size)
    problem = std::to_string(at) + " bytes instead of " + std::to_string(file.Size);
  return problem;
}

// FAT sizes are unsigned 32-bit: a deleted file of 2 GiB whose FAT entries
// were freed, its run passing over a live file's cluster, and one of 3 GiB
// whose chain of two fragments the FAT kept, are listed with their sizes and
// come back byte for byte.
TEST(LargeFiles, TwoAndThreeGibibytesAreFoundAndRestored) {
  test::TempDir dir;
  const MemoryFolder memory(dir.Path());
  SparseCard card(memory.Path() / "big.img");
  constexpr std::uint32_t kLive = 40'010;
  BigFile two{"two gib.mov", kTwoGiB, {}, {0, 32'767, 32'768, 39'999, 40'000, 65'535}};
  for (std::uint32_t c = 10; two.Clusters.size() < kTwoGiB / kClusterBytes; ++c)
    if (c != kLive)
      two.Clusters.push_back(c);
  BigFile three{"three gib.mov", kThreeGiB, {}, {0, 49'999, 50'000, 65'535, 65'536, 98'303}};
  for (std::uint32_t i = 0; i < kThreeGiB / kClusterBytes; ++i)
    three.Clusters.push_back(i < 50'000 ? 70'000 + i : 130'000 + (i - 50'000));
  for (std::size_t i = 0; i + 1 < three.Clusters.size(); ++i)
    card.SetFat(three.Clusters[i], three.Clusters[i + 1]);
  card.SetFat(three.Clusters.back(), 0x0FFFFFFF);
  card.SetFat(kLive, 0x0FFFFFFF);
  card.Put(two);
  card.Put(three);
  card.Write(card.ClusterOffset(kLive), test::PatternBytes(kClusterBytes, 99));

  const auto date = test::FatDate(2024, 1, 2), time = test::FatTime(3, 4, 6);
  std::vector<DirEntry> root{test::ShortEntry("LIVE    BIN", 0x20, kLive, 100, date, time)};
  for (const BigFile *f : {&two, &three}) {
    const auto name = f->Name == two.Name ? u"two gib.mov" : u"three gib.mov";
    for (auto e : test::Deleted(test::LongEntries(name)))
      root.push_back(e);
    root.push_back(test::Deleted(test::ShortEntry(f == &two ? "TWOGIB~1MOV" : "THREEG~1MOV", 0x20,
                                                  f->Clusters[0], std::uint32_t(f->Size), date,
                                                  time)));
  }
  card.PutRoot(root);

  auto r = test::RunCli({"find", card.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "[E:\\]\n"
                   "two gib.mov=2147483648#2024/01/02 03:04#10#0#partly#06\n"
                   "three gib.mov=3221225472#2024/01/02 03:04#70000#0#intact#06\n");
  r = test::RunCli({"find", "--json", card.Path().string()});
  EXPECT_EQ(r.Out,
            "{\"drive\":\"E:\",\"mode\":\"quick\",\"found\":2,\"files\":["
            "{\"folder\":\"E:\\\\\",\"name\":\"two gib.mov\",\"size\":2147483648,\"date\":"
            "\"2024/01/02 03:04\",\"cluster\":10,\"mark\":\"0\",\"condition\":\"partly\","
            "\"written\":\"2024/01/02 03:04:06\"},"
            "{\"folder\":\"E:\\\\\",\"name\":\"three gib.mov\",\"size\":3221225472,\"date\":"
            "\"2024/01/02 03:04\",\"cluster\":70000,\"mark\":\"0\",\"condition\":\"intact\","
            "\"written\":\"2024/01/02 03:04:06\"}]}\n");

  // One at a time, each removed once compared: no more than 3 GiB at once.
  for (const BigFile *f : {&two, &three}) {
    const auto to = memory.Path() / "out";
    r = test::RunCli({"restore", "--to", to.string(), card.Path().string(), "E:\\" + f->Name});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(r.Out.ends_with("Files restored: 1\n")) << r.Out;
    EXPECT_EQ(Mismatch(to / f->Name, *f), "") << f->Name;
    std::filesystem::remove_all(to);
  }
}

} // namespace
} // namespace orvanta
