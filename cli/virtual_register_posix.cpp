// `zenor9 sim` on POSIX: the registers served on a pseudo-terminal.
#include "cli/virtual_register.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/outcome.h"
#include "cli/trace_port.h"
#include "emulator/line.h"
#include "emulator/pty_host.h"
#include "i18n/system_error.h"

namespace zenor9::cli {

namespace fs = std::filesystem;

namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  return signals;
}

void BuildLine(const SimOptions& options, emu::Line& line) {
  for (int net : options.nets) {
    emu::Register& reg =
        line.AddRegister(static_cast<uint8_t>(net), options.versionHigh, options.versionLow);
    reg.SetPrefix(PrefixAt(options, net));
    for (emu::Fault fault : options.faults) reg.SetFault(fault);
    // Each register its own draw, so that two registers are not spoiled in step.
    if (options.randomPercent > 0) {
      reg.SetRandomFaults(emu::SpoiledAnswerFaults(), options.randomPercent * 10,
                          options.seed + static_cast<uint32_t>(net));
    }
  }
  line.SetAdapterLatency(options.latencyMs);
  // The register may run for days: keep no record, only the trace below.
  line.SetRecording(false);
}

void TraceTo(emu::Line& line, std::FILE* out) {
  // Timed here rather than by the line's millisecond stamps, for finer times.
  const auto start = std::chrono::steady_clock::now();
  line.SetObserver([out, start](const emu::WireByte& byte) {
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    const std::optional<ParityMode> parity =
        byte.toRegister ? std::optional<ParityMode>(byte.parity) : std::nullopt;
    std::fprintf(out, "%s\n",
                 TraceLine(elapsed.count(), byte.toRegister, parity, byte.value).c_str());
  });
}

// Makes `linkPath` point to `device`. A symbolic link left behind by an earlier
// run is replaced; anything else at that path is kept and refused.
bool MakeLink(const std::string& linkPath, const std::string& device) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(linkPath, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    std::fprintf(stderr, "%s\n",
                 Tr("zenor9 sim: cannot make the link %s: %s", linkPath, i18n::ErrorCodeText(error))
                     .c_str());
    return false;
  }
  if (fs::exists(status) && !fs::is_symlink(status)) {
    std::fprintf(stderr, "%s\n",
                 Tr("zenor9 sim: %s exists and is not a symbolic link", linkPath).c_str());
    return false;
  }
  const std::string temporary = linkPath + ".tmp" + std::to_string(::getpid());
  fs::create_symlink(device, temporary, error);
  if (!error) fs::rename(temporary, linkPath, error);
  if (error) {
    const std::string reason = i18n::ErrorCodeText(error);
    fs::remove(temporary, error);
    std::fprintf(stderr, "%s\n",
                 Tr("zenor9 sim: cannot make the link %s: %s", linkPath, reason).c_str());
    return false;
  }
  return true;
}

// Removes the link only while it still leads to this run's device.
void RemoveLink(const std::string& linkPath, const std::string& device) {
  std::error_code error;
  if (fs::read_symlink(linkPath, error) == fs::path(device) && !error) fs::remove(linkPath, error);
}

}  // namespace

int RunVirtualRegister(const SimOptions& options) {
  // Blocked before the pty thread starts, so that it inherits the mask and the
  // signals wait for sigwait below.
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  emu::Line line;
  BuildLine(options, line);
  if (options.trace) TraceTo(line, stderr);
  emu::PtyHost host(line);
  if (!host.Start()) {
    std::fprintf(stderr, "%s\n", Tr("zenor9 sim: no pseudo-terminal available"));
    return kExitFailed;
  }
  const std::string device = host.DevicePath();
  if (!options.linkPath.empty() && !MakeLink(options.linkPath, device)) return kExitFailed;
  std::printf("%s\n", device.c_str());
  std::fflush(stdout);

  int signal = 0;
  sigwait(&signals, &signal);
  if (!options.linkPath.empty()) RemoveLink(options.linkPath, device);
  host.Stop();
  return kExitOk;
}

}  // namespace zenor9::cli
