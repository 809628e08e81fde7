#include "support/scan_fixture.h"

namespace orvanta::test {

FindOutcome EngineFixture::Find(const std::string &mask, bool deep, int maxYearOffset) {
  FindOptions options;
  options.Drive = "E:";
  options.Mask = mask;
  options.Deep = deep;
  options.MaxYearOffset = maxYearOffset;
  return RunFind(State, Host, options);
}

} // namespace orvanta::test
