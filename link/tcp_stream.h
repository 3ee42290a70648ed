// A TCP connection as the RFC 2217 backend uses it: one small interface, one
// file per platform (POSIX sockets, Winsock), so that the protocol above it is
// shared and can be tested over a scripted stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/serial_port.h"

namespace zenor9 {

class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Hands all `count` bytes to the connection in one write, so that they leave
  // in one segment; false when the connection failed or did not take them all
  // within timeoutMs.
  virtual bool Send(const uint8_t* data, std::size_t count, uint32_t timeoutMs) = 0;
  // Takes up to `count` bytes that have already arrived; never waits. 0 when
  // none have, -1 once the peer has closed the connection or it failed.
  virtual int Receive(uint8_t* buffer, std::size_t count) = 0;
  // Blocks until something arrives, the connection ends, or about maxMs pass.
  virtual void WaitReadable(uint32_t maxMs) = 0;
};

// How often a wait of the connect or of the negotiation looks at the stop
// check: Windows cuts no wait short for a console's control event, and a
// signal may come just before a wait begins.
inline constexpr uint32_t kStopLookMs = 10;

// What connecting gave: the stream, or why there is none (Unresolved with the
// resolver's code; Unreachable as Refused, NoConnectAnswer, Stopped or the
// system's error number).
struct StreamOpenResult {
  std::unique_ptr<ByteStream> stream;
  PortFailure failure = PortFailure::None;
  OpenFailureDetail detail;
};

// Resolves `host` and connects to `port`, giving up after timeoutMs, or at once
// when `stopRequested` says so. Each address the name resolves to gets an
// equal share of the time still left, so that one that drops the connection
// silently (an IPv6 route that leads nowhere) leaves time for the next. The
// connection sends small writes at once (TCP_NODELAY) and, where the system
// has it, acknowledges what it receives at once (TCP_QUICKACK, re-armed after
// each read): a delayed acknowledgement would hold the server's next answer
// behind its Nagle wait.
StreamOpenResult ConnectTcp(const std::string& host, uint16_t port, uint32_t timeoutMs,
                            const StopCheck& stopRequested = {});

// The time an address gets out of `leftMs` when it and `addressesLeft - 1`
// more are still to be tried.
constexpr uint32_t AddressShareMs(uint32_t leftMs, std::size_t addressesLeft) {
  return addressesLeft > 1 ? static_cast<uint32_t>(leftMs / addressesLeft) : leftMs;
}

}  // namespace zenor9
