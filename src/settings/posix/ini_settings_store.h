#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "settings/environment.h"
#include "settings/settings_store.h"

namespace orvanta {

// The settings of one user in a plain INI file, "settings.ini" in a folder
// of its own (readable by its owner only):
//
//   [Settings]
//   Language=1
//   Hint1=1
//
// Values are decimal numbers; anything else under a name is a value of
// another kind. Names are found in any letter case and the first entry of a
// name counts. A write changes only its own line: comments, other sections
// and names stay as they are.
//
// Every call reads the file as it is now. A change rewrites the whole file
// through a temporary file in the same folder that is flushed and renamed
// over the old one, so a crash leaves the old file or the new one; two
// processes changing the store take turns through a lock on the folder, and
// a file that exists but cannot be read is never overwritten.
//
// Earlier versions kept the settings in "user.reg" in the same folder. While
// there is no settings.ini its numbers are read from there, and creating
// the store takes them over; the old file is then kept as "user.reg.old"
// and not read again.
class IniSettingsStore final : public SettingsStore {
public:
  static constexpr std::string_view kFileName = "settings.ini";
  static constexpr std::string_view kOldFileName = "user.reg";
  static constexpr std::string_view kSection = "Settings";

  // An empty folder: a store that holds nothing and takes no writes.
  explicit IniSettingsStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // The user's folder: "orvanta" in $XDG_CONFIG_HOME, else in ~/.config;
  // empty when no home folder is known.
  static std::filesystem::path UserFolder(const EnvironmentLookup &env);

  std::filesystem::path File() const { return folder_ / kFileName; }
  std::filesystem::path OldFile() const { return folder_ / kOldFileName; }

  bool Create() override;
  std::optional<StoredSetting> Read(std::string_view name) const override;
  bool Write(std::string_view name, std::uint32_t number) override;

private:
  // The file's text: empty when there is none yet, nothing when it exists
  // but cannot be read.
  std::optional<std::string> Load() const;
  // Under the lock: creates the file when it is missing (taking over the
  // old store's numbers), then, with a name, sets its number.
  bool Change(std::optional<std::pair<std::string_view, std::uint32_t>> value);

  std::filesystem::path folder_;
};

} // namespace orvanta
