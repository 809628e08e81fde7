// A scan of any volume (quick, or deep in the other mode), then every found
// file restored with its folders and the first one previewed: whatever the
// volume's names hold, nothing is written outside the destination and the
// temporary folder.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

#include "fuzz_support.h"
#include "jobs/preview.h"
#include "jobs/restore_jobs.h"

namespace fs = std::filesystem;

namespace {

const fs::path &Sandbox() {
  static const fs::path sandbox = [] {
    const char *tmp = std::getenv("TMPDIR");
    return fs::path(tmp && *tmp ? tmp : "/tmp") / ("orvanta-restore-fuzz-" + std::to_string(::getpid()));
  }();
  return sandbox;
}

bool Within(const fs::path &folder, const fs::path &p) {
  const auto normal = p.lexically_normal();
  auto f = folder.begin();
  for (auto it = normal.begin(); f != folder.end(); ++it, ++f)
    if (it == normal.end() || *it != *f)
      return false;
  return true;
}

} // namespace

// An entry may claim up to 2 GiB; restoring it writes that much (zeros where
// the volume has nothing). Files are kept small here, so that such a file
// ends in a failed write, which ends the restore, instead of filling the disk.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  rlimit limit{8 << 20, 8 << 20};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, SIG_IGN);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  const auto found = engine->Find(/*deep=*/engine->OtherMode());
  if (found.Outcome != FindOutcome::Result::Found)
    return 0;

  const fs::path dest = Sandbox() / "dest", temp = Sandbox() / "tmp";
  std::error_code ec;
  fs::remove_all(Sandbox(), ec);
  fs::create_directories(dest);
  fs::create_directories(temp);
  RestoreState restore;
  restore.CurrentSection = engine->State.Vol.Geometry().DrivePath + "\\";
  restore.DestFolder = dest;
  engine->Host.SetRunning(true);
  (void)RestoreFolder(engine->State, restore, engine->Host);
  const FoundFolder &first = engine->State.Catalogue.Folders().front();
  if (!first.Files.empty()) {
    restore.CurrentSection = first.Section;
    (void)ExtractPreview(engine->State, restore, engine->Host, first.Files.front().Name, temp);
  }

  for (const auto &entry : fs::directory_iterator(Sandbox()))
    if (entry.path() != dest && entry.path() != temp)
      __builtin_trap(); // something beside the two folders
  for (const auto &entry : fs::recursive_directory_iterator(Sandbox())) {
    if (entry.is_symlink() || !(Within(dest, entry.path()) || Within(temp, entry.path())))
      __builtin_trap();
  }
  fs::remove_all(Sandbox(), ec);
  return 0;
}
