// The Windows side of the platform seam, run under Wine: raw transfers on
// image files and on a drive's raw volume, the drive list's rule, the
// registry store and output files with names beyond ASCII.
//
// The card drive: Wine opens "\\.\E:" as whatever the link
// $WINEPREFIX/dosdevices/e:: points to (the device of drive E:, which needs
// no e: folder beside it). The test run makes that link to the file named
// by ORVANTA_WINDOWS_CARD (a Unix path, which Wine shows under Z:) before
// this program starts; the card test writes the image there itself. Without
// the link the card test is skipped. On Windows itself such a link cannot
// be made; the same test runs against a real card's letter through
// ORVANTA_WINDOWS_CARD_DRIVE.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <windows.h>
#include <winioctl.h>

#include "engine/text.h"
#include "jobs/wipe_job.h"
#include "platform/output_file.h"
#include "platform/partitions.h"
#include "platform/windows/drive_table.h"
#include "platform/windows/windows_device.h"
#include "restore/destination_check.h"
#include "settings/settings.h"
#include "settings/well_known_folders.h"
#include "settings/windows/default_application.h"
#include "settings/windows/registry_settings_store.h"
#include "support/crafted_volume.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "volume/volume_checks.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void WriteFile(const fs::path &path, const Bytes &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes Numbered(std::size_t size) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i)
    b[i] = static_cast<std::uint8_t>(i * 7 + i / 512);
  return b;
}

TEST(WindowsDevice, ReadsAndWritesWholeSectorsOfAnImage) {
  test::TempDir dir;
  const fs::path image = dir / "card.img";
  WriteFile(image, Numbered(64 * 512));
  WindowsDevice device(image);
  EXPECT_FALSE(device.IsVolume());
  EXPECT_EQ(device.SizeBytes(), 64u * 512);
  Bytes two(1024);
  ASSERT_TRUE(device.Read(512, two));
  EXPECT_TRUE(std::equal(two.begin(), two.end(), Numbered(64 * 512).begin() + 512));
  // Memory that is not aligned to the sector size reads all the same.
  Bytes oddMemory(513);
  EXPECT_TRUE(device.Read(1024, std::span(oddMemory).subspan(1)));
  EXPECT_EQ(oddMemory[1], two[512]);
  const struct {
    std::uint64_t Offset;
    std::size_t Length;
  } refused[] = {{100, 512}, {0, 300}, {63 * 512, 1024}, {64 * 512, 512}};
  for (const auto &r : refused) {
    Bytes buffer(r.Length);
    EXPECT_FALSE(device.Read(r.Offset, buffer)) << r.Offset << "+" << r.Length;
  }
  const Bytes ones(512, 1);
  ASSERT_TRUE(device.Write(3 * 512, ones));
  EXPECT_TRUE(std::equal(ones.begin(), ones.end(), ReadFile(image).begin() + 3 * 512));
}

TEST(WindowsDevice, AnImageIsHeldAloneByASessionThatWrites) {
  test::TempDir dir;
  const fs::path image = dir / "card.img";
  WriteFile(image, Bytes(8 * 512));
  WindowsDevice writer(image), reader(image);
  writer.BeginSession(DeviceAccess::ReadWrite);
  ASSERT_TRUE(writer.WritableExclusively());
  reader.BeginSession(DeviceAccess::Read);
  Bytes sector(512);
  EXPECT_FALSE(reader.Read(0, sector));
  EXPECT_TRUE(reader.HeldElsewhere());
  EXPECT_TRUE(writer.EndSession());
  reader.BeginSession(DeviceAccess::Read);
  EXPECT_TRUE(reader.Read(0, sector));
  reader.EndSession();
}

TEST(WindowsDevice, TheFatPartitionOfADiskImageOpensAsTheDrive) {
  test::TempDir dir;
  const fs::path image = dir / "disk.img";
  const test::CraftedVolume card({.FatBits = 16, .Clusters = 5000});
  Bytes disk(2048 * 512 + card.Bytes.size());
  disk[446 + 4] = 0x0E; // the first slot: FAT16 from sector 2048
  disk[446 + 9] = 0x08;
  const auto sectors = static_cast<std::uint32_t>(card.Bytes.size() / 512);
  for (int i = 0; i < 4; ++i)
    disk[446 + 12 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(sectors >> (8 * i));
  disk[510] = 0x55;
  disk[511] = 0xAA;
  std::copy(card.Bytes.begin(), card.Bytes.end(), disk.begin() + 2048 * 512);
  WriteFile(image, disk);
  const auto partitions = ListPartitions(image);
  ASSERT_EQ(partitions.size(), 1u);
  EXPECT_EQ(partitions[0].Offset, 2048u * 512);
  EXPECT_EQ(partitions[0].FileSystem, "FAT");
  std::string error;
  const auto device = OpenVolumeDevice(image, std::nullopt, std::nullopt, error);
  ASSERT_NE(device, nullptr) << error;
  Bytes boot(512);
  ASSERT_TRUE(device->Read(0, boot));
  EXPECT_TRUE(std::equal(boot.begin(), boot.end(), card.Bytes.begin()));
  EXPECT_EQ(OpenVolumeDevice(image, std::nullopt, 2, error), nullptr);
}

TEST(WindowsDevice, RawDevicePathsAreToldFromFiles) {
  const struct {
    const wchar_t *Path;
    bool Raw;
  } cases[] = {{L"\\\\.\\E:", true},
               {L"\\\\?\\Volume{8d6d3d5c-0000-0000-0000-100000000000}", true},
               {L"\\\\?\\Volume{8d6d3d5c-0000-0000-0000-100000000000}\\", false},
               {L"\\\\.\\E:\\card.img", false},
               {L"E:", false},
               {L"C:\\cards\\card.img", false}};
  for (const auto &c : cases)
    EXPECT_EQ(IsRawDevicePath(c.Path), c.Raw) << fs::path(c.Path).string();
}

TEST(WindowsDriveTable, ListsRemovableDrivesAndCardReadersButNoSystemDisk) {
  const struct {
    DriveFacts Facts;
    bool Listed;
  } cases[] = {
      {{DRIVE_REMOVABLE, std::nullopt, false}, true},
      {{DRIVE_FIXED, BusTypeUsb, false}, true},
      {{DRIVE_FIXED, BusTypeSd, false}, true},
      {{DRIVE_FIXED, BusTypeMmc, false}, true},
      {{DRIVE_FIXED, BusTypeUsb, true}, false}, // Windows booted from a USB disk
      {{DRIVE_FIXED, BusTypeSata, false}, false},
      {{DRIVE_FIXED, BusTypeNvme, false}, false},
      {{DRIVE_FIXED, std::nullopt, false}, false},
      {{DRIVE_CDROM, BusTypeUsb, false}, false},
      {{DRIVE_REMOTE, std::nullopt, false}, false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ListedDrive(c.Facts), c.Listed)
        << c.Facts.DriveType << " " << c.Facts.BusType.value_or(99) << " " << c.Facts.HoldsSystem;
  WindowsDriveTable table({{'G', L"\\\\.\\G:", {}, {}}, {'E', L"\\\\.\\E:", {}, {}}});
  EXPECT_EQ(table.RemovableDrives(), (std::vector<std::string>{"E:", "G:"}));
  EXPECT_NE(table.DeviceFor("e:"), nullptr);
  EXPECT_EQ(table.DeviceFor("F:"), nullptr);
}

// A registry key of the test's own, removed afterwards.
struct TestKey {
  std::wstring Path = L"SOFTWARE\\Brisbel\\OrvantaTest" + std::to_wstring(::GetCurrentProcessId());
  ~TestKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, Path.c_str()); }
};

TEST(RegistrySettingsStore, KeepsNumbersAndLeavesOtherValuesAlone) {
  TestKey key;
  RegistrySettingsStore store(HKEY_CURRENT_USER, key.Path);
  EXPECT_EQ(store.Read("Language"), std::nullopt); // nothing made by looking
  HKEY probe = nullptr;
  EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, key.Path.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS);

  const Settings first = Settings::Load(store);
  EXPECT_EQ(first.Language(), 1u);
  for (const char *name : {"Language", "Hint1", "Hint2", "Promo1", "Promo2"})
    EXPECT_EQ(store.Read(name), StoredSetting{1u}) << name;

  ASSERT_TRUE(store.Write("language", 7));
  EXPECT_EQ(store.Read("LANGUAGE"), StoredSetting{7u});
  const wchar_t text[] = L"Notepad.Exe";
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key.Path.c_str(), L"Hint1", REG_SZ, text,
                              sizeof text),
            ERROR_SUCCESS);
  EXPECT_EQ(store.Read("Hint1"), StoredSetting{}); // there, but no number
  const Settings again = Settings::Load(store);
  EXPECT_EQ(again.Language(), 7u);
  EXPECT_TRUE(again.Hint1()); // read as its default, and left as it is
  EXPECT_EQ(store.Read("Hint1"), StoredSetting{});
}

TEST(WellKnownFolders, ComeFromTheSystem) {
  const WellKnownFolders folders = InitFolders();
  EXPECT_EQ(folders.ProgramFolder, RunningExecutablePath().parent_path());
  for (const fs::path *folder : {&folders.WindowsFolder, &folders.ProgramFilesFolder,
                                 &folders.UserProfileFolder, &folders.TempFolder}) {
    EXPECT_TRUE(folder->wstring().ends_with(L'\\')) << folder->string();
    EXPECT_TRUE(fs::is_directory(*folder)) << folder->string();
  }
}

TEST(DefaultOpenCommand, IsTheOpenCommandOfTheExtensionsFileType) {
  // Settings files are text to the system (Wine registers them so too).
  const std::string command = DefaultOpenCommand(".ini");
  EXPECT_NE(UpperAscii(command).find("NOTEPAD.EXE\" \"%1\""), std::string::npos) << command;
  EXPECT_EQ(DefaultOpenCommand(".no-such-type"), "");
}

TEST(OutputFile, NamesBeyondAsciiAreMadeAndNothingIsReplaced) {
  test::TempDir dir;
  const std::string name = "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xC3\xBC.jpg"; // "Фото ü.jpg"
  const fs::path named = dir.Path() / std::wstring(L"\u0424\u043e\u0442\u043e \u00fc.jpg");
  auto first = CreateOutputFile(dir.Path());
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->Write(Bytes{1, 2, 3}));
  first->KeepModificationTime(1262304000); // 2010-01-01 00:00 UTC
  ASSERT_TRUE(first->Close());
  ASSERT_EQ(first->Name(name), OutputFile::Naming::Named);
  EXPECT_EQ(ReadFile(named), (Bytes{1, 2, 3}));
  const auto written = fs::last_write_time(named);
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::file_clock::to_sys(written).time_since_epoch())
                .count(),
            1262304000);

  // A second file of the same name, in another letter case, keeps its
  // temporary name and goes when dropped.
  {
    auto second = CreateOutputFile(dir.Path());
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->Write(Bytes{9}));
    ASSERT_TRUE(second->Close());
    EXPECT_EQ(second->Name("\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE \xC3\x9C.JPG"), OutputFile::Naming::Taken);
  }
  EXPECT_EQ(ReadFile(named), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(DestinationOnVolume, AFolderIsOnTheVolumeThatHoldsIt) {
  test::TempDir dir;
  const fs::path folder = dir / "restored";
  const std::wstring drive = fs::absolute(dir.Path()).wstring().substr(0, 1);
  const fs::path itsVolume = std::wstring(L"\\\\.\\") + drive + L":";
  EXPECT_TRUE(DestinationOnVolume(folder, itsVolume)); // not made yet: its parent counts
  EXPECT_TRUE(DestinationOnVolume(dir.Path(), itsVolume));
  EXPECT_FALSE(DestinationOnVolume(folder, RawVolumePath(drive[0] == L'Q' ? 'R' : 'Q')));
  EXPECT_FALSE(DestinationOnVolume(folder, dir / "card.img")); // an image is mounted nowhere
}

// The Unix path of the card image Wine shows as drive E:'s device, as a
// Windows path under Z:.
std::optional<fs::path> CardImage() {
  const char *unix = std::getenv("ORVANTA_WINDOWS_CARD");
  if (!unix || *unix != '/')
    return std::nullopt;
  std::wstring path = L"Z:";
  for (const char *c = unix; *c; ++c)
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}

TEST(WindowsDevice, AQuickWipeThroughTheRawVolumeRemovesTheDeletedEntry) {
  const auto image = CardImage();
  if (!image)
    GTEST_SKIP() << "ORVANTA_WINDOWS_CARD names no card image behind \\\\.\\E:";
  test::CraftedVolume card({.FatBits = 16, .Clusters = 5000});
  const auto kept = test::ShortEntry("KEPT    JPG", 0x20, 3, 512);
  const auto gone = test::ShortEntry("GONE    JPG", 0x20, 4, 512);
  card.SetFat(3, 0xFFFF);
  card.PutEntries(card.RootOffset(), {test::Deleted(gone), kept});
  WriteFile(*image, card.Bytes);

  auto device = std::make_shared<WindowsDevice>(RawVolumePath('E'));
  ASSERT_TRUE(device->IsVolume());
  Bytes boot(512);
  ASSERT_TRUE(device->Read(0, boot)) << "no card behind \\\\.\\E:";
  EXPECT_EQ(device->SizeBytes(), card.Bytes.size()); // from the file, as no disk answers
  EXPECT_EQ(device->FileSystemName(), "FAT"); // from the boot sector, as nothing is mounted
  test::EngineFixture engine(device);
  WipeOptions options;
  options.Confirm = [](const std::string &) { return true; };
  const WipeOutcome outcome = RunWipe(engine.State, engine.Host, options);
  ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << outcome.Message;
  EXPECT_EQ(outcome.FilesWiped, 1);
  EXPECT_EQ(outcome.FailedWrites, 0);
  const Bytes after = ReadFile(*image);
  const Bytes root(after.begin() + static_cast<std::ptrdiff_t>(card.RootOffset()),
                   after.begin() + static_cast<std::ptrdiff_t>(card.RootOffset() + 64));
  Bytes expected(64);
  expected[0] = 0xE5; // the deleted entry blanked in place
  std::copy(kept.begin(), kept.end(), expected.begin() + 32);
  EXPECT_EQ(root, expected);
}

} // namespace
} // namespace orvanta
