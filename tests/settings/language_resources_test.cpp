#include <gtest/gtest.h>

#include "settings/language_file.h"
#include "settings/well_known_folders.h"

namespace orvanta {
namespace {

struct RequiredText {
  const char *Section;
  const char *Key;
  const char *English; // the program's built-in default
};

// Every text the program looks up, with the default given where it is used.
// Each language file beside the program must hold all of them.
constexpr RequiredText kRequiredTexts[] = {
    {"Buttons", "Close", "Close"},
    {"Buttons", "Find", "Find"},
    {"Buttons", "Minimize", "Minimize"},
    {"Buttons", "Wipe", "Wipe"},
    {"Buttons", "Stop", "Stop"},
    {"Buttons", "Preview", "Preview"},
    {"Buttons", "Restore", "Restore"},
    {"Buttons", "Information", "Information"},
    {"Buttons", "Confirmation", "Confirmation"},
    {"Buttons", "Yes", "Yes"},
    {"Buttons", "No", "No"},
    {"Buttons", "OK", "OK"},
    {"Buttons", "Hint", "Hint"},
    {"Drive", "Select", "Select a drive"},
    {"Drive", "Mask", "File or mask"},
    {"Drive", "Mode", "Select mode"},
    {"Drive", "Mode1", "Quick scan"},
    {"Drive", "Mode2", "Deep scan"},
    {"Drive", "Found", "Found:"},
    {"Drive", "Message2", "Please connect an external flash drive."},
    {"Drive", "Message3", "Select mode, mask and press \"Find\" button..."},
    {"Drive", "Message4", "Cancel operation?"},
    {"Drive", "Message5", "Note: some deleted files may be damaged. Their undeleting is impossible."},
    {"Drive", "Message6", "Find deleted files. Please wait..."},
    {"Drive", "Hint1", "Use deep scan if you have formatted flash drive"},
    {"Drive", "Hint2", "Use context menu (right mouse button) to restore folder or check all files."},
    {"Drive", "LostFolder", "Lost folder"},
    {"Drive", "FoundByContent", "Found by content"},
    {"Drive", "Photos", "Photos"},
    {"Drive", "Videos", "Videos"},
    {"Drive", "Documents", "Documents"},
    {"Drive", "Music", "Music"},
    {"Errors", "Message1", "Drive not found!"},
    {"Errors", "Message2", "The software supports only FAT file system!"},
    {"Errors", "Message3", "Access to boot sector denied!"},
    {"Errors", "Message5", "Viewing impossible!"},
    {"Errors", "Message6", "The drive cannot be opened for writing. It may be write-protected or in use."},
    {"Errors", "Message7", "The destination is on the drive being recovered: restoring there can overwrite your files. Please choose a folder on another drive."},
    {"Errors", "Message8", "Access to the drive was not granted."},
    {"Restore", "Message1", "Deleted files found:"},
    {"Restore", "Message2", "Deleted files not found!"},
    {"Restore", "Message3", "Please select folder to save restored files"},
    {"Restore", "Message4", "Files restored:"},
    {"Restore", "Message5", "Files with unreadable parts (filled with zeros):"},
    {"Restore", "Message6", "Files given a new name, as their name was taken:"},
    {"Restore", "Message7", "The restore was stopped."},
    {"Restore", "File", "File"},
    {"Restore", "Size", "Size"},
    {"Restore", "Created", "Created"},
    {"Restore", "CheckOn", "Check on"},
    {"Restore", "CheckOff", "Check off"},
    {"Restore", "Condition", "Condition"},
    {"Restore", "Intact", "Intact"},
    {"Restore", "Partly", "Partly overwritten"},
    {"Restore", "Overwritten", "Overwritten"},
    {"Restore", "Empty", "Empty"},
    {"Restore", "Ticked", "Files ticked:"},
    {"Restore", "RestoreFolder", "Restore folder"},
    {"Restore", "FirstLetterLost", "First letter lost (shown as \"\xD1\x85\"): any character of a mask matches it"},
    {"Wipe", "Message1", "Are you sure wipe deleted files?"},
    {"Wipe", "Message2", "Wipe deleted files. Please wait..."},
    {"Wipe", "Message3", "Files wiped:"},
    {"Wipe", "Message4", "Free drive space wiped:"},
    {"Wipe", "Message5", "Writes that failed:"},
    {"Wipe", "Message6", "The drive is unmounted for the wipe."},
    {"Wipe", "Message7", "The drive could not be mounted again. Unplug it and plug it in again."},
    {"Wipe", "Message8", "Deleted entries will be overwritten."},
    {"Wipe", "Message9", "All free space will be zeroed."},
    {"Wipe", "Cluster", "Cluster"},
    {"Wipe", "Check", "Nothing was wiped: this card is damaged. Check it first (fsck.fat, chkdsk)."},
    {"Wipe", "Check1", "Its boot sector counts no FAT."},
    {"Wipe", "Check2", "Its FAT is too small for its clusters."},
    {"Wipe", "Check3", "Its data area lies outside the card."},
    {"Wipe", "Check4", "Its FAT is not where the boot sector says."},
    {"Wipe", "Check5", "Its root folder starts outside the data area."},
    {"Wipe", "Check6", "A folder's cluster chain is broken."},
    {"Wipe", "Check7", "A folder lacks its \".\" and \"..\" entries."},
    {"Wipe", "Check8", "Two files or folders share clusters."},
    {"Wipe", "Check9", "A file's clusters do not match its size."},
    {"Wipe", "Check10", "Its boot sector gives an invalid cluster size."},
    {"Wipe", "Check11", "Its FAT marks clusters used that no file holds."},
    {"About", "About", "About"},
    {"About", "Version", "Version:"},
    {"About", "Homepage", "Homepage:"},
    {"About", "Support", "Support:"},
    {"About", "Message1", "Visit to homepage"},
    {"About", "Message2", "Send letter to support"},
    {"Tavrilo", "Message4", "Do not show this window again"},
    {"Promo1", "Title", "orvanta-cli for scripts and servers"},
    {"Promo1", "Message1", "Orvanta comes with orvanta-cli, a command-line program with the same engine. It finds, restores and wipes deleted files on cards and disk images, without a desktop:"},
    {"Promo1", "Example", "orvanta-cli find --deep /dev/sdb1"},
    {"Promo1", "Message2", "\"man orvanta-cli\" lists every command and option."},
    {"Promo2", "Title", "Keep a card recoverable"},
    {"Promo2", "Message1", "Stop using the card at once: every new photo or file may overwrite what was deleted."},
    {"Promo2", "Message2", "Never restore onto the same card: choose a folder on your computer."},
    {"Promo2", "Message3", "For a failing or precious card, make an image of it first and recover from the image."},
};

constexpr const char *kMissing = "\x01 missing";

class ShippedLanguageFile : public ::testing::TestWithParam<const char *> {};

// The files the program finds: Languages beside the executables of the build.
TEST_P(ShippedLanguageFile, HoldsEveryTextTheProgramLooksUp) {
  const auto path = InitFolders().ProgramFolder / "Languages" / GetParam();
  ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
  const LanguageFile file(path);
  for (const auto &text : kRequiredTexts) {
    const std::string value = file.Text(text.Section, text.Key, kMissing);
    EXPECT_NE(value, kMissing) << "[" << text.Section << "] " << text.Key;
    EXPECT_FALSE(value.empty()) << "[" << text.Section << "] " << text.Key;
  }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, ShippedLanguageFile,
                         ::testing::Values("English.lng", "German.lng", "French.lng"));

TEST(ShippedEnglishFile, HoldsExactlyTheBuiltInTexts) {
  const LanguageFile file(InitFolders().ProgramFolder / "Languages" / "English.lng");
  for (const auto &text : kRequiredTexts)
    EXPECT_EQ(file.Text(text.Section, text.Key, kMissing), text.English)
        << "[" << text.Section << "] " << text.Key;
}

} // namespace
} // namespace orvanta
