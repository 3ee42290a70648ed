#include "files/files.h"

#include "i18n/text.h"

namespace zenor9::files {

namespace {

constexpr std::uint32_t kLockPollMs = 10;

}  // namespace

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

LockWait WaitForLock(FileLock& lock, std::uint32_t limitMs, Clock& clock,
                     const std::function<bool()>& stopRequested) {
  const std::uint32_t start = clock.NowMs();
  for (;;) {
    if (stopRequested && stopRequested()) return LockWait::Stopped;
    if (lock.TryLock()) return LockWait::Held;
    if (lock.Failed()) return LockWait::Failed;
    if (clock.NowMs() - start >= limitMs) return LockWait::Busy;
    clock.SleepMs(kLockPollMs);
  }
}

std::string LockHeldText(const std::filesystem::path& lockFile, std::uint32_t limitMs) {
  return i18n::Tr("%s: another zenor9 run has held it for longer than %s ms", PathText(lockFile),
                  limitMs);
}

}  // namespace zenor9::files
