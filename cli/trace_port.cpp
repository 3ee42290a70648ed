#include "cli/trace_port.h"

#include <memory>
#include <utility>

#include "cli/port_failure_words.h"
#include "cli/remote_line.h"
#include "link/rfc2217_port.h"

namespace zenor9::cli {

namespace {

using SteadyClock = std::chrono::steady_clock;

class TracingPort final : public SerialPort {
 public:
  TracingPort(std::unique_ptr<SerialPort> inner, std::FILE* out, SteadyClock::time_point start)
      : inner_(std::move(inner)), out_(out), start_(start) {}

  void SetParity(ParityMode mode) override {
    parity_ = mode;
    inner_->SetParity(mode);
  }

  void Purge(unsigned flags) override { inner_->Purge(flags); }

  // Bytes the port did not take are traced too, marked: a trace shows every
  // attempt to send, also on a device that has gone away.
  int Write(const uint8_t* data, uint32_t count, uint32_t timeoutMs) override {
    const int written = inner_->Write(data, count, timeoutMs);
    const uint32_t sent = written > 0 ? static_cast<uint32_t>(written) : 0;
    for (uint32_t i = 0; i < count; ++i) Print(true, data[i], i < sent ? "" : " not sent");
    return written;
  }

  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    const int taken = inner_->ReadQueued(buffer, count);
    for (int i = 0; i < taken; ++i) Print(false, buffer[i]);
    return taken;
  }

  uint32_t QueuedCount() override { return inner_->QueuedCount(); }
  void WaitReadable(uint32_t maxMs) override { inner_->WaitReadable(maxMs); }
  bool Failed() const override { return inner_->Failed(); }
  uint32_t RoundTripMs() const override { return inner_->RoundTripMs(); }

 private:
  void Print(bool toRegister, uint8_t value, const char* note = "") {
    // A reader that went away ends the trace, never the exchange it traces.
    if (std::ferror(out_)) return;
    const std::chrono::duration<double, std::milli> elapsed = SteadyClock::now() - start_;
    const std::optional<ParityMode> parity =
        toRegister ? std::optional<ParityMode>(parity_) : std::nullopt;
    std::fprintf(out_, "%s%s\n", TraceLine(elapsed.count(), toRegister, parity, value).c_str(),
                 note);
    std::fflush(out_);  // as it happens, also where the stream is buffered
  }

  std::unique_ptr<SerialPort> inner_;
  std::FILE* out_;
  SteadyClock::time_point start_;
  // The backends open in Mark; the channel sets it again right after opening.
  ParityMode parity_ = ParityMode::Mark;
};

}  // namespace

std::string TraceLine(double elapsedMs, bool toRegister, std::optional<ParityMode> parity,
                      uint8_t value) {
  char line[64];
  const char* ninthBit = "";
  if (parity) ninthBit = *parity == ParityMode::Mark ? " MARK" : " SPACE";
  std::snprintf(line, sizeof line, "%10.3f ms  %s %02X%s", elapsedMs, toRegister ? "->" : "<-",
                value, ninthBit);
  return line;
}

PortOpener TracingOpener(PortOpener inner, std::FILE* out) {
  const SteadyClock::time_point start = SteadyClock::now();
  return [inner = std::move(inner), out, start](const std::string& device,
                                                const StopCheck& stopRequested) {
    PortOpenResult opened = inner(device, stopRequested);
    if (!opened.port) {
      // The trace is a record of the line, in the keys scripts read.
      std::fprintf(out, "# cannot open %s: %s\n", device.c_str(), PortFailureKey(opened.failure));
      return opened;
    }
    std::fprintf(out, "# opened %s\n", device.c_str());
    if (IsRemoteDevice(device)) {
      std::fprintf(out, "%s\n", RoundTripTraceLine(opened.port->RoundTripMs()).c_str());
    }
    opened.port = std::make_unique<TracingPort>(std::move(opened.port), out, start);
    return opened;
  };
}

}  // namespace zenor9::cli
