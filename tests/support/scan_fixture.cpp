#include "support/scan_fixture.h"

#if !defined(_WIN32)
#include "platform/posix/posix_device.h"
#endif

namespace orvanta::test {

#if !defined(_WIN32)
EngineFixture EngineFixture::OfImage(const std::filesystem::path &image,
                                     std::optional<std::uint32_t> sectorSize) {
  return EngineFixture(std::make_shared<PosixDevice>(image, sectorSize));
}
#endif

FindOutcome EngineFixture::Find(const std::string &mask, bool deep, int maxYearOffset) {
  FindOptions options;
  options.Drive = "E:";
  options.Mask = mask;
  options.Deep = deep;
  options.MaxYearOffset = maxYearOffset;
  return RunFind(State, Host, options);
}

} // namespace orvanta::test
