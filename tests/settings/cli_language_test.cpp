#include <gtest/gtest.h>

#include <cstdlib>

#include "settings/posix/ini_settings_store.h"
#include "settings/settings.h"
#include "support/cli.h"
#include "text_files.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

// Runs orvanta-cli with its settings store in a temporary configuration home.
class CliLanguage : public ::testing::Test {
protected:
  void SetUp() override {
    const char *old = std::getenv("XDG_CONFIG_HOME");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_)
      ::setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
  }
  test::RunResult InfoOnMissingDrive() {
    return test::RunCli({"info", (config_ / "no-such-card.img").string()});
  }

  test::TempDir config_;
  std::optional<std::string> saved_;
};

TEST_F(CliLanguage, SpeaksTheLanguageOfTheSettings) {
  IniSettingsStore(config_ / "orvanta").Write("Language", 2);
  const auto before = test::ReadText(config_ / "orvanta" / "settings.ini");

  const auto result = InfoOnMissingDrive();
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_NE(result.Err.find(": Laufwerk nicht gefunden! ("), std::string::npos) << result.Err;
  EXPECT_EQ(test::ReadText(config_ / "orvanta" / "settings.ini"), before);
}

TEST_F(CliLanguage, WithoutSettingsSpeaksEnglishAndCreatesNoStore) {
  const auto result = InfoOnMissingDrive();
  EXPECT_NE(result.Err.find(": Drive not found! ("), std::string::npos) << result.Err;
  EXPECT_TRUE(fs::is_empty(config_.Path()));
}

} // namespace
} // namespace orvanta
