#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "carve/carver.h"
#include "support/carve_samples.h"

namespace orvanta::carve {
namespace {

using test::Bytes;
constexpr std::uint32_t kCluster = 512;

// A data area of 512-byte clusters numbered from 2: noise, with files laid
// into it and clusters that live files hold.
struct Area {
  explicit Area(std::uint32_t clusters) : Bytes_(test::NoiseBytes(std::size_t(clusters) * kCluster, 77)), Live(clusters, false) {}

  std::uint32_t Count() const { return std::uint32_t(Live.size()); }
  std::span<std::uint8_t> ClusterBytes(std::uint32_t n) {
    return std::span(Bytes_).subspan(std::size_t(n - 2) * kCluster, kCluster);
  }
  // Lays `bytes` into the clusters given, in order; the rest of the last
  // cluster is zero, as a camera leaves it.
  void Lay(const Bytes &bytes, const std::vector<ClusterRun> &runs) {
    std::size_t at = 0;
    for (const auto &run : runs)
      for (std::uint32_t c = run.First; c < run.First + run.Count; ++c) {
        auto cluster = ClusterBytes(c);
        std::fill(cluster.begin(), cluster.end(), std::uint8_t{0});
        const std::size_t n = std::min<std::size_t>(kCluster, bytes.size() - std::min(at, bytes.size()));
        std::copy_n(bytes.begin() + std::ptrdiff_t(at), n, cluster.begin());
        at += kCluster;
      }
  }
  std::vector<CarvedFile> Carve() {
    // No largest file size given: the end of the area bounds each file.
    Carver carver({.ClusterBytes = kCluster,
                   .LastCluster = Count() + 1,
                   .Read = [this](std::uint32_t first, std::span<std::uint8_t> out) {
                     if (first < 2 || first - 2 + out.size() / kCluster > Live.size())
                       return false;
                     std::memcpy(out.data(), Bytes_.data() + std::size_t(first - 2) * kCluster, out.size());
                     return true;
                   }});
    for (std::uint32_t n = 2; n < Count() + 2; ++n)
      carver.Cluster(n, !Live[n - 2], ClusterBytes(n));
    carver.Finish();
    return carver.Found();
  }

  Bytes Bytes_;
  std::vector<bool> Live;
};

std::string Describe(const CarvedFile &f) {
  std::string text = f.Extension + " " + std::to_string(f.Size) + (f.Whole ? " whole" : " cut") + " at";
  for (const auto &run : f.Runs)
    text += " " + std::to_string(run.First) + "+" + std::to_string(run.Count);
  return text;
}

std::vector<std::string> Described(const std::vector<CarvedFile> &found) {
  std::vector<std::string> out;
  for (const auto &f : found)
    out.push_back(Describe(f));
  std::sort(out.begin(), out.end());
  return out;
}

std::uint32_t Clusters(const Bytes &b) { return std::uint32_t((b.size() + kCluster - 1) / kCluster); }

TEST(Carver, FindsFilesOneAfterAnotherAndBetweenOtherData) {
  Area area(200);
  const Bytes jpeg = test::CarveSample("big.jpg"), photo = test::CarveSample("photo.jpg"),
              mp4 = test::Mp4Sample(5000, 0), pdf = test::PdfSample(true), png = test::CarveSample("dated.png");
  area.Lay(jpeg, {{10, Clusters(jpeg)}});
  area.Lay(photo, {{20, Clusters(photo)}}); // right after nothing but noise
  area.Lay(mp4, {{24, Clusters(mp4)}});     // right after the photo's last cluster
  area.Lay(pdf, {{60, Clusters(pdf)}});
  area.Lay(png, {{199, 1}});                // in the last cluster
  EXPECT_EQ(Described(area.Carve()),
            (std::vector<std::string>{"jpg 1590 whole at 20+4", "jpg 4753 whole at 10+10",
                                      "mp4 5170 whole at 24+11", "pdf 667 whole at 60+2",
                                      "png 342 whole at 199+1"}));
}

TEST(Carver, CutsAFileAtALiveClusterAndAtTheEnd) {
  Area area(40);
  const Bytes mp4 = test::Mp4Sample(5000, 0), jpeg = test::CarveSample("big.jpg");
  area.Lay(mp4, {{4, Clusters(mp4)}});
  area.Live[4 + 5 - 2] = true; // its sixth cluster holds a live file now
  area.Lay(jpeg, {{36, 6}});    // runs past the last cluster (41)
  EXPECT_EQ(Described(area.Carve()),
            (std::vector<std::string>{"jpg 3072 cut at 36+6", "mp4 24 cut at 4+1"}));
}

// A JPEG whose data goes on after a gap: of noise, of another picture, of
// clusters live files hold. The decoder finds where its data stops and the
// cluster that continues it.
TEST(Carver, JoinsTheFragmentsOfAJpeg) {
  const Bytes jpeg = test::CarveSample("big.jpg"), photo = test::CarveSample("photo.jpg");
  struct Case {
    const char *Name;
    std::uint32_t Gap;
    bool GapIsLive;
    bool PhotoInGap;
    std::vector<std::string> Expected;
  };
  const Case cases[] = {
      {"noise", 3, false, false, {"jpg 4753 whole at 10+4 17+6"}},
      {"a live file", 5, true, false, {"jpg 4753 whole at 10+4 19+6"}},
      {"another photo", 4, false, true, {"jpg 1590 whole at 14+4", "jpg 4753 whole at 10+4 18+6"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Area area(60);
    area.Lay(jpeg, {{10, 4}, {14 + c.Gap, 6}});
    for (std::uint32_t g = 14; g < 14 + c.Gap; ++g)
      area.Live[g - 2] = c.GapIsLive;
    if (c.PhotoInGap)
      area.Lay(photo, {{14, Clusters(photo)}});
    EXPECT_EQ(Described(area.Carve()), c.Expected);
  }
}

TEST(Carver, CutsAJpegWhoseRestIsGone) {
  Area area(60);
  const Bytes jpeg = test::CarveSample("big.jpg");
  area.Lay(jpeg, {{10, 4}});
  // Zeros after it, which decode as data but are no picture's.
  area.Lay(Bytes(kCluster * 8, 0), {{14, 8}});
  EXPECT_EQ(Described(area.Carve()), (std::vector<std::string>{"jpg 2048 cut at 10+4"}));
}

} // namespace
} // namespace orvanta::carve
