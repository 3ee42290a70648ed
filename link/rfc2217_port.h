// Remote lines: a serial port behind a serial device server, reached over TCP
// with telnet's COM-PORT-OPTION (RFC 2217) at rfc2217://HOST:PORT. The server
// sets the ninth bit with SET-PARITY 4 (MARK) and 5 (SPACE).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/clock.h"
#include "link/serial_port.h"
#include "link/tcp_stream.h"

namespace zenor9 {

// How long a connection may take, and the telnet negotiation after it, before
// the line counts as unreachable or as speaking no RFC 2217.
inline constexpr uint32_t kConnectTimeoutMs = 5000;
inline constexpr uint32_t kNegotiationTimeoutMs = 3000;

struct RemoteAddress {
  std::string host;  // a name, an IPv4 address, or an IPv6 address without brackets
  uint16_t port = 0;
};

// True for a device name that asks for a remote line: it starts with
// "rfc2217:" in any case, well formed or not.
bool IsRemoteDevice(const std::string& device);

// The host and port of "rfc2217://HOST:PORT" (HOST a name or an IPv4 address,
// or an IPv6 address in brackets; PORT 1 to 65535), or nothing with the reason
// in `problem` (AddressForm, AddressHost, AddressPort).
std::optional<RemoteAddress> ParseRemoteAddress(const std::string& device, PortDetail& problem);

// Negotiates a remote line on a connected stream: binary transmission both
// ways, COM-PORT-OPTION, 9600 baud, 8 data bits, 1 stop bit, no flow control,
// DTR off and RTS on, then MARK and SPACE parity, each of which the server must
// answer as set. The round trip of those answers is the port's RoundTripMs.
// The port is left in MARK. Waits are measured on `clock` and end at once when
// `stopRequested` says so (Stopped); a server that sends more than a
// negotiation needs without answering fails it at once (Flooded).
PortOpenResult OpenRfc2217Port(std::unique_ptr<ByteStream> stream, Clock& clock,
                               const StopCheck& stopRequested = {});

// True when the server closed the connection saying its port or device is in
// use (ser2net: "Port already in use", "Port's device already in use").
bool SaysInUse(const PortOpenResult& opened);

// Makes a connection to the server, as ConnectTcp does.
using StreamConnector = std::function<StreamOpenResult()>;

// Connects with `connect` and negotiates. A server that says its device is in
// use is tried again, a tenth of a second apart, for about a second: ser2net
// keeps a device busy a moment after its client left. Then the refusal stands,
// with the server's words.
PortOpenResult OpenRemoteLine(const StreamConnector& connect, Clock& clock,
                              const StopCheck& stopRequested = {});

// Connects to the address of `device` and negotiates, as OpenRemoteLine does.
PortOpenResult OpenRemotePort(const std::string& device, const StopCheck& stopRequested = {});

}  // namespace zenor9
