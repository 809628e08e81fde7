#include <gtest/gtest.h>
#include <random>

#include "restore/host_paths.h"
#include "settings/well_known_folders.h"
#include "platform/output_file.h"
#include "jobs/preview.h"
#include "scan/found_file_row.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::LocalTime;
using test::TempDir;

// Makes an empty file `name` in `folder` as restored files are made.
bool MakeFile(const std::filesystem::path &folder, const std::string &name) {
  auto out = CreateOutputFile(folder);
  return out && out->Close() && out->Name(name) == OutputFile::Naming::Named;
}

// An INI value read back gives the value it was read from; the fields
// after the mark never make a value unusable.
TEST(FoundFileRow, ReadsTheValuesItWrites) {
  struct Case {
    const char *Value;
    std::uint64_t Size;
    std::uint32_t Cluster;
    char Mark;
    std::optional<FileCondition> Condition;
    std::optional<int> Seconds;
    const char *Written; // IniValue of what was read
  };
  const Case cases[] = {
      {"48213#2019/05/07 09:05#1234#0", 48213, 1234, '0', {}, {}, nullptr},
      {"1#2019/05/07 09:05#2#1#partly#58", 1, 2, '1', FileCondition::Partly, 58, nullptr},
      {"1#2019/05/07 09:05#2#", 1, 2, '\0', {}, {}, nullptr},
      {"4294967295#2107/12/31 24:60#268435455#1#intact#00", 4294967295u, 268435455, '1',
       FileCondition::Intact, 0, nullptr},
      {"2147483648#2019/00/00 09:05#4294967295#0#empty#06", 2147483648u, 4294967295u, '0',
       FileCondition::Empty, 6, nullptr},
      {"18446744073709551615#2019/05/07 09:05#2#0", 18446744073709551615u, 2, '0', {}, {}, nullptr},
      // Fields it does not know read as nothing.
      {"1#2019/05/07 09:05#2#0#scratched#62", 1, 2, '0', {}, 62, "1#2019/05/07 09:05#2#0##62"},
      {"1#2019/05/07 09:05#2#0#empty#5x", 1, 2, '0', FileCondition::Empty, {},
       "1#2019/05/07 09:05#2#0#empty"},
      {"1#2019/05/07 09:05#2#0#a later field", 1, 2, '0', {}, {}, "1#2019/05/07 09:05#2#0"},
      // A file found by its content: no date of its own, clusters in runs.
      {"4753##6#0#intact##6+2,11+8", 4753, 6, '0', FileCondition::Intact, {}, nullptr},
      {"4753##6#0#partly#07#6+2,x", 4753, 6, '0', FileCondition::Partly, 7, "4753##6#0#partly#07"},
  };
  for (const Case &c : cases) {
    const auto row = FoundFileRow::FromIniValue("n", c.Value);
    ASSERT_TRUE(row) << c.Value;
    EXPECT_EQ(row->Name, "n");
    EXPECT_EQ(row->Size, c.Size) << c.Value;
    EXPECT_EQ(row->FirstCluster, c.Cluster) << c.Value;
    EXPECT_EQ(row->Mark, c.Mark) << c.Value;
    EXPECT_EQ(row->Condition, c.Condition) << c.Value;
    EXPECT_EQ(row->Seconds, c.Seconds) << c.Value;
    EXPECT_EQ(row->IniValue(), c.Written ? c.Written : c.Value);
  }
  EXPECT_EQ(FoundFileRow::FromIniValue("n", "4753##6#0#intact##6+2,11+8")->Runs,
            (std::vector<carve::ClusterRun>{{6, 2}, {11, 8}}));
  for (const char *unusable :
       {"", "#2019/05/07 09:05#2#0", "1x#2019/05/07 09:05#2#0", "-5#2019/05/07 09:05#2#0",
        "+5#2019/05/07 09:05#2#0", "1#2019/05/07 09:05#2", "1#2019/05/07 09:05#2x#0",
        "1#2019/05/07 09:05##0", "1#2019/05/07 09:05#-7#0", "1#2019/05/07 09:05#4294967296#0",
        "18446744073709551616#2019/05/07 09:05#2#0", "1#garbage#2#", "1#2019-05-07 09:05#2#0",
        "1#2019/05/07 9:05#2#0", "1#2019/05/07 09:05", "1", "1#d"})
    EXPECT_FALSE(FoundFileRow::FromIniValue("n", unusable)) << unusable;
}

// The last-write time of a value whose row reads.
std::optional<std::time_t> LastWrite(std::string_view value) {
  const auto row = FoundFileRow::FromIniValue({}, value);
  return row ? row->LastWriteTime() : std::nullopt;
}

TEST(FoundFileRow, ReadsRealDatesAsLocalTime) {
  EXPECT_EQ(LastWrite("1#2019/05/07 09:05#2#0"), LocalTime(2019, 5, 7, 9, 5));
  EXPECT_EQ(LastWrite("1#2019/05/07 09:05#2#1#partly#58"), LocalTime(2019, 5, 7, 9, 5) + 58);
  // Seconds no real time has are left out.
  EXPECT_EQ(LastWrite("1#2019/05/07 09:05#2#0##62"), LocalTime(2019, 5, 7, 9, 5));
  EXPECT_EQ(LastWrite("1#2020/02/29 23:59#2#0"), LocalTime(2020, 2, 29, 23, 59));
  // The scans let month 0, day 0, hour 24 and minute 60 through.
  for (const char *unusable :
       {"1#2019/00/07 09:05#2#0", "1#2019/05/00 09:05#2#0", "1#2019/04/31 09:05#2#0",
        "1#2019/05/07 24:00#2#0", "1#2019/05/07 09:60#2#0", "1#1979/12/31 09:05#2#0"})
    EXPECT_FALSE(LastWrite(unusable)) << unusable;
  const auto row = FoundFileRow::FromIniValue({}, "1#2019/05/07 09:05#2#1#partly#58");
  EXPECT_EQ(row->LastWriteText(), "2019/05/07 09:05:58");
  EXPECT_FALSE(FoundFileRow::FromIniValue({}, "1#2019/05/07 09:05#2#0")->LastWriteText());
  EXPECT_FALSE(FoundFileRow::FromIniValue({}, "1#2019/05/07 09:05#2#0##62")->LastWriteText());
}

// Rows sort by their last-write time without reading any text.
TEST(FoundFileRow, OrdersByTheLastWriteTime) {
  const char *inOrder[] = {"1#1980/00/00 00:00#2#0",        "1#2019/05/07 09:05#2#0",
                           "1#2019/05/07 09:05#2#0##02",    "1#2019/05/07 09:06#2#0",
                           "1#2019/05/07 24:00#2#0",        "1#2019/05/08 00:00#2#0",
                           "1#2019/12/01 00:00#2#0",        "1#2020/01/01 00:00#2#0"};
  for (std::size_t i = 1; i < std::size(inOrder); ++i)
    EXPECT_LT(FoundFileRow::FromIniValue({}, inOrder[i - 1])->WrittenOrder(),
              FoundFileRow::FromIniValue({}, inOrder[i])->WrittenOrder())
        << inOrder[i];
}

TEST(SafeName, KeepsOrdinaryNamesAndNeutralisesTheRest) {
  EXPECT_EQ(SafeName("Привет мир...doc"), "Привет мир...doc");
  EXPECT_EQ(SafeName(std::string("a\0b\x01\x1f\x7f", 6)), "a_b___");
  EXPECT_EQ(SafeName("c\xC2\x85"
                     "d"),
            "c_d"); // U+0085, a C1 control
  EXPECT_EQ(SafeName("."), "_");
  EXPECT_EQ(SafeName(".."), "__");
  EXPECT_EQ(SafeName(""), "_");
  const std::filesystem::path d = "/dest";
  EXPECT_EQ(SectionFolder(d, "E:\\"), d);
  EXPECT_EQ(SectionFolder(d, "E:\\DCIM\\100MEDIA\\"), d / "DCIM" / "100MEDIA");
  EXPECT_EQ(SectionFolder(d, "E:\\a\\\\.\\..\\b/c\\"), d / "a" / "_" / "_" / "__" / "b_c");
}

// A FAT long name holds 255 characters; in Cyrillic that is about 510 bytes
// of UTF-8, twice what a host name may be.
TEST(SafeName, ShortensNamesTheHostCannotTakeAtACharacterBoundary) {
  std::string longName;
  for (int i = 0; i < 200; ++i)
    longName += "ж";
  const std::string safe = SafeName(longName + ".jpeg");
  EXPECT_LE(safe.size(), 255u);
  EXPECT_TRUE(safe.ends_with("ж.jpeg"));
  EXPECT_EQ(SafeName(std::string(300, 'a') + "." + std::string(40, 'b')), std::string(255, 'a'));
  TempDir dir;
  EXPECT_TRUE(MakeFile(dir.Path(), safe));
  // Numbered forms keep the number and the extension and stay host names.
  EXPECT_EQ(NumberedSafeName("photo.jpg", 2), "photo (2).jpg");
  EXPECT_EQ(NumberedSafeName("README", 1), "README (1)");
  const std::string numbered = NumberedSafeName(safe, 12);
  EXPECT_LE(numbered.size(), 255u);
  EXPECT_TRUE(numbered.ends_with("ж (12).jpeg")) << numbered;
  EXPECT_TRUE(MakeFile(dir.Path(), numbered));
}

// Names made of the pieces that could lead out of a folder, in many
// combinations: every name stays one name, every folder below the
// destination; and the files made from them are all inside it.
// Names Windows would read otherwise: a device, a stream, dropped dots.
TEST(SafeName, WindowsMakesTheFileItShows) {
  struct Case {
    const char *Name, *OnLinux, *OnWindows;
  };
  const Case cases[] = {
      {"CON", "CON", "_CON"},           {"nul.txt", "nul.txt", "_nul.txt"},
      {"Com1.JPG", "Com1.JPG", "_Com1.JPG"}, {"CONSOLE", "CONSOLE", "CONSOLE"},
      {"a:b", "a:b", "a_b"},            {"a?*<>|\"b", "a?*<>|\"b", "a______b"},
      {"x. .", "x. .", "x___"},         {"e\xCC\x81.", "e\xCC\x81.", "e\xCC\x81_"},
  };
  for (const Case &c : cases)
#if defined(_WIN32)
    EXPECT_EQ(SafeName(c.Name), c.OnWindows) << c.Name;
#else
    EXPECT_EQ(SafeName(c.Name), c.OnLinux) << c.Name;
#endif
}

TEST(SafeName, NoCombinationLeadsOutOfTheDestination) {
  const std::vector<std::string> pieces = {"..",   ".",  "/",    "\\", std::string(1, '\0'),
                                           "\x01", "\n", "\x7f", "x",  "\xC3\xA9",
                                           " ",    "~",  ":"};
  std::mt19937 random(20240607);
  TempDir dir;
  const auto dest = dir / "dest";
  std::filesystem::create_directories(dest);
  auto inside = [&](const std::filesystem::path &p) {
    const auto normal = p.lexically_normal();
    const auto [d, n] = std::mismatch(dest.begin(), dest.end(), normal.begin(), normal.end());
    return d == dest.end() &&
           std::none_of(n, normal.end(), [](const auto &c) { return c == ".."; });
  };
  for (int i = 0; i < 20000; ++i) {
    std::string name;
    for (auto n = random() % 6 + 1; n > 0; --n)
      name += pieces[random() % pieces.size()];
    const std::string safe = SafeName(name);
    ASSERT_TRUE(safe != "." && safe != ".." && !safe.empty()) << name;
    ASSERT_EQ(safe.find_first_of(std::string("/\0", 2)), std::string::npos) << name;
    ASSERT_EQ((dest / safe).parent_path(), dest) << name;
    const auto folder = SectionFolder(dest, "E:\\" + name + "\\");
    ASSERT_TRUE(inside(folder)) << name;
    if (i % 50 == 0) {
      // Some of these collide (a file where a folder should go); only where
      // they land matters.
      ForceFolder(folder);
      MakeFile(folder, safe);
      MakeFile(dest, safe);
    }
  }
  for (const auto &e : std::filesystem::recursive_directory_iterator(dir.Path()))
    EXPECT_TRUE(e.path() == dest || inside(e.path())) << e.path();
}

// Whatever holds a name already keeps it: the new file stays under its
// temporary name until it is dropped, and then nothing is left of it.
TEST(OutputFile, TakesANameOnlyWhereNothingHasItAndLeavesNothingWhenDropped) {
  TempDir dir;
  test::WriteFileBytes(dir / "file", {9});
  std::filesystem::create_directories(dir / "folder");
  // Links need a right of their own on Windows; without it a file and a
  // folder hold the names.
  std::vector<std::string> taken = {"file", "folder"};
  std::error_code noLinks;
  std::filesystem::create_symlink(dir / "file", dir / "link", noLinks);
  if (!noLinks) {
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    taken.insert(taken.end(), {"link", "dangling"});
  }
  const auto before = test::ListTree(dir.Path());
  auto closedOutput = [&] {
    auto out = CreateOutputFile(dir.Path());
    EXPECT_TRUE(out);
    EXPECT_EQ(out->TemporaryPath().parent_path(), dir.Path());
    EXPECT_TRUE(out->TemporaryPath().filename().string().starts_with(".orvanta-"));
    out->Write(std::vector<std::uint8_t>{1, 2});
    EXPECT_TRUE(out->Close());
    return out;
  };
  for (const std::string &name : taken)
    EXPECT_EQ(closedOutput()->Name(name), OutputFile::Naming::Taken) << name;
  auto out = closedOutput();
  EXPECT_EQ(out->Name("new"), OutputFile::Naming::Named);
  EXPECT_EQ(out->Name("other"), OutputFile::Naming::Failed); // named once only
  auto expected = before;
  expected.push_back("new");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::ListTree(dir.Path()), expected);
  EXPECT_EQ(test::ReadFileBytes(dir / "file"), (std::vector<std::uint8_t>{9}));
  EXPECT_EQ(test::ReadFileBytes(dir / "new"), (std::vector<std::uint8_t>{1, 2}));
  EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));

  errno = 0;
  EXPECT_FALSE(CreateOutputFile(dir / "missing"));
  EXPECT_EQ(errno, ENOENT);
}

TEST(PreviewPath, KeepsTheExtensionInTheTemporaryFolder) {
  const std::filesystem::path t = "/tmp/x";
  EXPECT_EQ(PreviewPath(t, "photo.JPG"), t / "ae02xdc.JPG");
  EXPECT_EQ(PreviewPath(t, "archive.tar.gz"), t / "ae02xdc.gz");
  EXPECT_EQ(PreviewPath(t, "README"), t / "ae02xdc");
  EXPECT_EQ(PreviewPath(t, "ends with."), t / "ae02xdc.");
  EXPECT_EQ(PreviewPath(t, "a.b/x/../etc"), t / "ae02xdc._etc");
  EXPECT_EQ(PreviewPath(t, "a.\\..\\x"), t / "ae02xdc._x");
}

} // namespace
} // namespace orvanta
