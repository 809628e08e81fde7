#include <gtest/gtest.h>

#include "settings/compatibility_layer.h"
#include "settings/registry_helpers.h"
#include "temp_registry.h"

namespace orvanta {
namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;
constexpr std::string_view kExe = "/opt/Orvanta/bin/orvanta";

TEST(CompatibilityLayer, LinuxReportsNoVersionSoNothingIsWritten) {
  test::TempRegistry t;
  EXPECT_EQ(QueryOsMajorVersion(), 0u);
  RecordCompatibilityLayer(t.Registry, QueryOsMajorVersion(), kExe);
  RecordCompatibilityLayer(t.Registry, 5, kExe); // Windows XP
  EXPECT_FALSE(RegKeyExists(t.Registry, HKCU, kLayersKey));
}

TEST(CompatibilityLayer, IsWrittenOnceUnderTheExecutablesPathFromVersionSixOn) {
  test::TempRegistry t;
  RecordCompatibilityLayer(t.Registry, 6, kExe);
  EXPECT_EQ(t.Registry.QueryValue(HKCU, kLayersKey, kExe),
            RegValue::String("RUNASADMIN ELEVATECREATEPROCESS"));

  const auto before = test::ReadText(t.StoreFile());
  RecordCompatibilityLayer(t.Registry, 10, kExe);
  EXPECT_EQ(test::ReadText(t.StoreFile()), before);

  RecordCompatibilityLayer(t.Registry, 6, "/home/ann/orvanta"); // started from elsewhere
  EXPECT_TRUE(RegValueExists(t.Registry, HKCU, kLayersKey, "/home/ann/orvanta"));
}

TEST(CompatibilityLayer, NeverChangesAValueThatIsThere) {
  test::TempRegistry t;
  t.Registry.SetValue(HKCU, kLayersKey, kExe, RegValue::String("WINXPSP3"));
  RecordCompatibilityLayer(t.Registry, 6, kExe);
  EXPECT_EQ(t.Registry.QueryValue(HKCU, kLayersKey, kExe), RegValue::String("WINXPSP3"));
}

} // namespace
} // namespace orvanta
