#include "tests/progress/boot_fixture.h"

#include "sim/pei/ppi_names.h"

namespace test {

size_t Boot::NotifyRunsFor(const std::string &ppi) const {
  const EFI_GUID *guid = sim::PlatformPpiGuid(ppi);
  size_t n = 0;
  for (const auto &run : board.core.NotifyRuns()) {
    n += GuidEquals(&run.guid, guid);
  }
  return n;
}

} // namespace test
