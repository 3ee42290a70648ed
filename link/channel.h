// The serial channel to the register: opening and closing, parity, raw transfers
// and the two kinds of wait, all measured on an injectable millisecond clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/clock.h"
#include "link/serial_port.h"

namespace zenor9 {

// Read time-outs: a read of n bytes ends at the latest kReadTotalPerByteMs * n +
// kReadTotalConstantMs after it starts, and earlier once more than
// kReadIntervalMs passes between two received bytes.
inline constexpr uint32_t kReadIntervalMs = 1;
inline constexpr uint32_t kReadTotalPerByteMs = 20;
inline constexpr uint32_t kReadTotalConstantMs = 100;
// The longest a read of `count` bytes waits.
constexpr uint32_t ReadTotalMs(uint32_t count) {
  return kReadTotalPerByteMs * count + kReadTotalConstantMs;
}
// A write of n bytes gives up after n * kWritePerByteMs + kWriteConstantMs.
inline constexpr uint32_t kWritePerByteMs = 1;
inline constexpr uint32_t kWriteConstantMs = 100;
// The silence that ends the rest of an answer gone wrong (a late or garbled
// echo behind a stray byte) on a local line: longer than the 16 ms a USB
// adapter's latency timer may hold a byte.
inline constexpr uint32_t kStrayQuietMs = 20;

// The one port the program talks through. Not open while `port` is empty.
struct SerialChannel {
  std::unique_ptr<SerialPort> port;
  Clock* clock = &SystemClock::Instance();
  PortOpener opener = OpenPlatformPort;
  // Asked during every wait and delay of the channel, the open of a remote line
  // included: once it answers true, they end at once (a wait then finds no
  // input) and a scan probes no further, so that the caller regains control
  // within a few milliseconds.
  StopCheck stopRequested;
  // Why the last open failed, with its detail; None after one that succeeded.
  PortFailure openFailure = PortFailure::None;
  OpenFailureDetail openFailureDetail;
  // When the last byte was handed to the port: answers to it come after this.
  uint32_t lastSentMs = 0;
  // Bytes of the answer to the last request that have not been read yet, as
  // the command that sent it counts them (ExpectAnswer).
  uint32_t answerBytesOwed = 0;

  bool IsOpen() const { return port != nullptr; }
};

// True when the channel's stop check asks to give up waiting.
bool StopRequested(const SerialChannel& channel);

// True once the open port has gone away: the adapter was unplugged, the device
// closed, the server closed the connection. Nothing passes through it any more,
// so a failed exchange says nothing of the register.
bool PortLost(const SerialChannel& channel);

// Opens any device by name (a path on POSIX). On failure no port is open and
// `openFailure` says why; a stop requested meanwhile may have cut it short.
bool OpenChannelDevice(const std::string& device, SerialChannel& channel);
// Drops both queues and releases the port; harmless when nothing is open.
void CloseChannel(SerialChannel& channel);

void SetParityMode(SerialChannel& channel, ParityMode mode);
void PurgeChannel(SerialChannel& channel, unsigned purgeFlags);
// Returns the number of bytes written, or -1 when the write failed or no port is open.
int WriteBytes(SerialChannel& channel, const uint8_t* data, uint32_t count);
// Returns what arrived within the read time-outs (possibly 0 bytes), or -1 when the
// read failed or no port is open.
int ReadBytes(SerialChannel& channel, uint8_t* buffer, uint32_t count);
uint32_t InputQueueCount(SerialChannel& channel);
// The port's round trip beyond a local line's (RoundTripMs), by which every
// wait of the protocol grows; 0 for a local port or none.
uint32_t RoundTripMs(const SerialChannel& channel);
// True when at least `count` bytes are waiting. Waits while the elapsed time is not
// more than timeoutMs, or until a stop is requested; the bytes stay queued.
bool WaitForInput(SerialChannel& channel, uint32_t count, uint32_t timeoutMs);
// The silence on `channel` after which the rest of an answer no longer comes:
// kStrayQuietMs, and the round trip to a remote line, across which an answer's
// bytes may come that much further apart. Every drop of a failed exchange's
// rest waits for it.
uint32_t QuietMs(const SerialChannel& channel);
// Reads and drops what arrives until no byte has come for QuietMs: the rest of
// an exchange that went wrong (a late or garbled echo behind a stray byte), so
// that the next exchange never meets it. Noise that never ends stops the wait
// after a bounded number of bytes.
void DropInputUntilQuiet(SerialChannel& channel);
// The request just sent asks for an answer of `bytes` bytes; each byte read
// from now on counts towards it.
void ExpectAnswer(SerialChannel& channel, uint32_t bytes);
// Reads and drops what arrives until the answer to the last request has come
// whole (ExpectAnswer), or else until more than `ms` have passed since the last
// byte was sent, then until the line is quiet (DropInputUntilQuiet): what an
// answer may still bring when it comes up to `ms` late. A stop request ends it.
void DropInputUntilAnswersEnd(SerialChannel& channel, uint32_t ms);
// Returns once more than `ms` milliseconds have passed on the clock.
void DelayMs(Clock& clock, uint32_t ms);
// The same on the channel's clock, ending early when a stop is requested.
void DelayMs(SerialChannel& channel, uint32_t ms);

}  // namespace zenor9
