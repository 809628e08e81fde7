#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "carve/jpeg_entropy.h"
#include "carve/jpeg_walker.h"
#include "carve/recognise.h"
#include "carve/tiff_reader.h"
#include "support/carve_samples.h"

namespace orvanta::carve {
namespace {

using test::Bytes;

// Feeds `bytes` in pieces of `piece` bytes until the walk ends or breaks;
// Stop() when they run out first.
Verdict Walk(Walker &walker, const Bytes &bytes, std::size_t piece) {
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const auto n = std::min(piece, bytes.size() - at);
    if (walker.Feed(std::span(bytes).subspan(at, n)) != Verdict::More)
      return walker.State();
  }
  return walker.Stop();
}

Bytes Concat(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Sample {
  const char *Name;
  std::function<Bytes()> Make;
  const char *Extension;
  Kind FileKind;
  std::optional<FileStamp> Stamp;
};

const Sample kSamples[] = {
    {"Exif JPEG", [] { return test::CarveSample("photo.jpg"); }, "jpg", Kind::Photo,
     FileStamp{2019, 5, 7, 9, 5, 42}},
    {"baseline JPEG", [] { return test::CarveSample("big.jpg"); }, "jpg", Kind::Photo, {}},
    {"progressive JPEG", [] { return test::CarveSample("prog.jpg"); }, "jpg", Kind::Photo, {}},
    {"PNG", [] { return test::CarveSample("dated.png"); }, "png", Kind::Photo,
     FileStamp{2021, 3, 14, 15, 9, 26}},
    {"GIF", [] { return test::CarveSample("small.gif"); }, "gif", Kind::Photo, {}},
    {"TIFF raw", [] { return test::CarveSample("nikon.tif"); }, "nef", Kind::Photo,
     FileStamp{2018, 12, 24, 18, 30, 0}},
    // 2020-06-01 12:34:56 is 3673859696 seconds after 1904.
    {"MP4", [] { return test::Mp4Sample(3000, 3673859696u); }, "mp4", Kind::Video,
     FileStamp{2020, 6, 1, 12, 34, 56}},
    {"MOV", [] { return test::Mp4Sample(100, 0, "qt  "); }, "mov", Kind::Video, {}},
    {"AVI", [] { return test::AviSample(700); }, "avi", Kind::Video, {}},
    {"WAV", [] { return test::WavSample(1001); }, "wav", Kind::Music, {}},
    {"MP3 with ID3", [] { return test::Mp3Sample(5, true); }, "mp3", Kind::Music, {}},
    {"MP3 frames", [] { return test::Mp3Sample(12, false); }, "mp3", Kind::Music, {}},
    {"PDF", [] { return test::PdfSample(false); }, "pdf", Kind::Document,
     FileStamp{2020, 1, 2, 3, 4, 5}},
    {"PDF with an update", [] { return test::PdfSample(true); }, "pdf", Kind::Document,
     FileStamp{2020, 1, 2, 3, 4, 5}},
    {"DOCX", [] { return test::ZipSample(false, false); }, "docx", Kind::Document, {}},
    {"ODT with descriptors", [] { return test::ZipSample(true, true); }, "odt", Kind::Document, {}},
};

// Every kind ends where its structure ends, whatever follows it (slack of
// zeros, then other data) and however the bytes are cut into pieces.
TEST(Walkers, FindTheEndOfEachKind) {
  for (const auto &sample : kSamples) {
    const Bytes file = sample.Make();
    const Bytes card = Concat(Concat(file, Bytes(700, 0)), test::NoiseBytes(9000, 1));
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{512},
                                    std::size_t{4096}, card.size()}) {
      SCOPED_TRACE(std::string(sample.Name) + ", pieces of " + std::to_string(piece));
      const auto walker = Recognise(card, card.size());
      ASSERT_NE(walker, nullptr);
      EXPECT_EQ(Walk(*walker, card, piece), Verdict::Ended);
      EXPECT_EQ(walker->Length(), file.size());
      EXPECT_TRUE(walker->Confirmed());
      EXPECT_EQ(walker->Extension(), sample.Extension);
      EXPECT_EQ(walker->FileKind(), sample.FileKind);
      EXPECT_EQ(walker->Stamp(), sample.Stamp);
    }
  }
}

// A file whose bytes end at the volume's end is taken as far as it is whole.
TEST(Walkers, EndAtTheEndOfTheBytesWhereTheirStructureAllows) {
  for (const auto &sample : kSamples) {
    SCOPED_TRACE(sample.Name);
    const Bytes file = sample.Make();
    const auto walker = Recognise(file, file.size());
    ASSERT_NE(walker, nullptr);
    EXPECT_EQ(Walk(*walker, file, 512), Verdict::Ended);
    EXPECT_EQ(walker->Length(), file.size());
  }
}

struct Cut {
  const char *Name;
  std::function<Bytes()> Make;
  std::size_t Pieces;
  std::optional<std::size_t> Kept; // nothing: no file at all
};

Bytes Replaced(Bytes b, std::size_t from, const Bytes &with) {
  std::copy_n(with.begin(), std::min(with.size(), b.size() - from), b.begin() + std::ptrdiff_t(from));
  return b;
}

Bytes Truncated(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

const Cut kCuts[] = {
    // Entropy data that turns into other bytes keeps the pieces before.
    {"JPEG into noise", [] { return Replaced(test::CarveSample("big.jpg"), 2048, test::NoiseBytes(4000, 9)); },
     512, 2048},
    {"JPEG into zeros", [] { return Replaced(test::CarveSample("big.jpg"), 2048, Bytes(4000, 0)); },
     512, 2048},
    {"JPEG into text", [] { return Replaced(test::CarveSample("big.jpg"), 1536, Bytes(4000, 'a')); },
     512, 1536},
    {"JPEG cut off", [] { return Truncated(test::CarveSample("big.jpg"), 3000); }, 512, 3000},
    // Another file's start inside the entropy data.
    {"JPEG into a JPEG", [] { return Replaced(test::CarveSample("big.jpg"), 2560, test::CarveSample("photo.jpg")); },
     512, 2560},
    {"PNG with a bad CRC", [] {
       Bytes b = test::CarveSample("dated.png");
       b[b.size() - 20] ^= 1; // in the IDAT chunk
       return b;
     }, 512, 8 + 25 + 19},
    {"MP4 whose data runs past the volume", [] { return Truncated(test::Mp4Sample(3000, 0), 2000); },
     512, 24},
    // Three entries of 349, 947 and 247 bytes, then directory headers of 65 and 63.
    {"ZIP cut inside its directory", [] { return Truncated(test::ZipSample(false, false), 1700); },
     512, 349 + 947 + 247 + 65 + 63},
    // After the last "obj" before the cut.
    {"PDF without its end", [] { return Truncated(test::PdfSample(false), 200); }, 64, 193},
    {"JPEG header over noise", [] { return Replaced(test::NoiseBytes(5000, 4), 0, Bytes{0xFF, 0xD8, 0xFF, 0xE1}); },
     512, std::nullopt},
    {"MP3 of too few frames", [] { return test::Mp3Sample(3, false); }, 512, std::nullopt},
    {"AVI whose chunk overruns it", [] {
       Bytes b = test::AviSample(300);
       b[19] = 0x7F; // the hdrl list's size
       return b;
     }, 512, std::nullopt},
};

TEST(Walkers, CutABrokenFileAtItsLastGoodByte) {
  for (const auto &cut : kCuts) {
    SCOPED_TRACE(cut.Name);
    const Bytes bytes = cut.Make();
    const auto walker = Recognise(bytes, bytes.size());
    ASSERT_NE(walker, nullptr);
    EXPECT_EQ(Walk(*walker, bytes, cut.Pieces), Verdict::Broken);
    EXPECT_EQ(walker->Confirmed(), cut.Kept.has_value());
    if (cut.Kept) {
      EXPECT_EQ(walker->Length(), *cut.Kept);
    }
  }
}

TEST(Walkers, RecogniseOnlyTheStartsOfFiles) {
  EXPECT_EQ(Recognise(test::NoiseBytes(4096, 3), 1 << 20), nullptr);
  EXPECT_EQ(Recognise(Bytes(4096, 0), 1 << 20), nullptr);
  // A JPEG's second cluster, or an MP4's: no signature at the start.
  const Bytes jpeg = test::CarveSample("big.jpg");
  EXPECT_EQ(Recognise(std::span(jpeg).subspan(512), 1 << 20), nullptr);
  const Bytes mp4 = test::Mp4Sample(3000, 0);
  EXPECT_EQ(Recognise(std::span(mp4).subspan(512), 1 << 20), nullptr);
}

TEST(Walkers, ExifGivesTheThumbnail) {
  const Bytes photo = test::CarveSample("photo.jpg");
  const auto thumbnail = JpegExifThumbnail(photo);
  ASSERT_TRUE(thumbnail);
  EXPECT_EQ(thumbnail->size(), 566u);
  EXPECT_EQ((*thumbnail)[0], 0xFF);
  EXPECT_EQ((*thumbnail)[1], 0xD8);
  EXPECT_FALSE(JpegExifThumbnail(test::CarveSample("big.jpg")));
}

TEST(FileStamp, ReadsTheFormsFilesUse) {
  EXPECT_EQ(FileStamp::FromExifText("2019:05:07 09:05:42"), (FileStamp{2019, 5, 7, 9, 5, 42}));
  EXPECT_EQ(FileStamp::FromExifText("2019-05-07T09:05:42"), (FileStamp{2019, 5, 7, 9, 5, 42}));
  EXPECT_FALSE(FileStamp::FromExifText("    :  :     :  :  "));
  EXPECT_FALSE(FileStamp::FromExifText("2019:02:30 09:05:42"));
  EXPECT_FALSE(FileStamp::FromExifText("2019:05:07"));
  EXPECT_EQ(FileStamp::FromSeconds1904(3673859696u), (FileStamp{2020, 6, 1, 12, 34, 56}));
  EXPECT_FALSE(FileStamp::FromSeconds1904(0));
  EXPECT_FALSE(FileStamp::FromSeconds1904(86400)); // 1904: before any FAT date
}

// The decoder follows a baseline picture's entropy data to its EOI and
// stops at the first byte that cannot be part of it.
TEST(JpegEntropy, DecodesAPictureAndRefusesOtherBytes) {
  const Bytes jpeg = test::CarveSample("big.jpg");
  // Walk it to the break in noise to get its tables and where its data begins.
  const Bytes broken = Replaced(jpeg, 2048, test::NoiseBytes(4000, 9));
  JpegWalker walker(broken.size());
  ASSERT_EQ(Walk(walker, broken, 512), Verdict::Broken);
  ASSERT_NE(walker.Coding(), nullptr);
  const auto scan = std::span(jpeg).subspan(std::size_t(walker.ScanStart()));

  JpegEntropy whole(*walker.Coding());
  for (std::size_t at = 0; at < scan.size(); at += 333) {
    const auto result = whole.Decode(scan.subspan(at, std::min<std::size_t>(333, scan.size() - at)));
    ASSERT_FALSE(result.Fault) << "at " << at;
    if (result.Ended) {
      EXPECT_EQ(at + result.Valid, scan.size());
      break;
    }
  }

  // Text may well decode; the carver does not take bytes without high ones.
  for (std::uint32_t seed = 1; seed < 20; ++seed) {
    JpegEntropy decoder(*walker.Coding());
    ASSERT_FALSE(decoder.Decode(scan.first(1000)).Fault);
    const auto result = decoder.Decode(test::NoiseBytes(512, seed));
    EXPECT_TRUE(result.Fault);
    EXPECT_LT(result.Valid, 512u);
  }
}

} // namespace
} // namespace orvanta::carve
