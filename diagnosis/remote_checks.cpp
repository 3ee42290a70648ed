// The checks of a remote line (rfc2217://HOST:PORT), step by step as the
// connection is made: the server, its telnet, its stick parity, the round trip.
#include "diagnosis/doctor.h"
#include "link/net_number.h"
#include "link/rfc2217_port.h"

namespace zenor9::diag {

namespace {

// Above this the scan's hundred probes take long enough to be worth a word.
constexpr uint32_t kSlowRoundTripMs = 100;

// The checks word a failure as the program that reports them does.
struct RemoteLine {
  const std::string& device;
  const OpenFailureWords& words;

  std::string Failure(PortFailure failure, const OpenFailureDetail& detail) const {
    return words(device, failure, detail);
  }
};

Check AddressCheck(const RemoteLine& line, PortDetail problem) {
  return {N_("address"), false,
          line.Failure(PortFailure::BadAddress, OpenFailureDetail::Of(problem)),
          Tr("write the device server's address and its RFC 2217 port as rfc2217://HOST:PORT")};
}

// Whether the open failed before the server took the connection (a device
// error there is the system's, such as Winsock that did not start).
bool NotConnected(const PortOpenResult& opened) {
  return opened.failure == PortFailure::Unresolved || opened.failure == PortFailure::Unreachable ||
         (opened.failure == PortFailure::DeviceError &&
          opened.detail.what != PortDetail::ServerClosed);
}

Check ServerCheck(const RemoteLine& line, const RemoteAddress& address,
                  const PortOpenResult& opened) {
  const std::string where = address.host + ":" + std::to_string(address.port);
  if (!NotConnected(opened)) return {N_("server"), true, Tr("%s accepts connections", where), {}};
  const std::string failure = line.Failure(opened.failure, opened.detail);
  if (opened.failure == PortFailure::Unresolved) {
    return {N_("server"), false, address.host + ": " + failure,
            Tr("check the name, or give the device server's IP address")};
  }
  return {N_("server"), false, where + ": " + failure,
          Tr("check that the device server is on and reachable from here, and that %s is its "
             "RFC 2217 port",
             address.port)};
}

Check TelnetCheck(const RemoteLine& line, const PortOpenResult& opened) {
  if (opened.port || opened.failure == PortFailure::NoStickParity) {
    return {N_("telnet"), true, Tr("telnet with COM-PORT-OPTION (RFC 2217), binary both ways"), {}};
  }
  const std::string failure = line.Failure(opened.failure, opened.detail);
  if (opened.failure == PortFailure::NoRfc2217) {
    return {N_("telnet"), false, failure,
            Tr("set the device server's port to RFC 2217 mode (ser2net: accepter "
               "telnet(rfc2217),tcp(nodelay),PORT); plain TCP cannot carry the ninth bit")};
  }
  return {N_("telnet"), false, failure,
          Tr("the server lets one program at a time use the line, or could not open its serial "
             "port: close the other program, or see the server's log")};
}

Check StickParityCheck(const RemoteLine& line, const PortOpenResult& opened) {
  if (opened.port) {
    return {N_("stick parity"), true, Tr("the server answered MARK and SPACE as set"), {}};
  }
  return {N_("stick parity"), false, line.Failure(opened.failure, opened.detail),
          Tr("use a device server that sends mark and space parity, such as ser2net 4; sredird "
             "and plain TCP cannot")};
}

Check RoundTripCheck(uint32_t roundTripMs) {
  const uint32_t probeWaitMs = kProbeWaitMs + roundTripMs;
  Check check{N_("round trip"),
              true,
              Tr("%s ms: every wait of the protocol grows by it (each probe of a scan waits %s ms)",
                 roundTripMs, probeWaitMs),
              {}};
  if (roundTripMs > kSlowRoundTripMs) {
    check.advice = Tr("a scan of all net numbers takes about %s s: give the net number (--net N)",
                      (probeWaitMs * kNetNumberCount + 999) / 1000);
  }
  return check;
}

}  // namespace

std::vector<Check> RemoteLineChecks(const std::string& device, const OpenFailureWords& openFailure,
                                    bool& opens, const StopCheck& stopRequested) {
  opens = false;
  const RemoteLine line{device, openFailure};
  PortDetail problem = PortDetail::None;
  const std::optional<RemoteAddress> address = ParseRemoteAddress(device, problem);
  if (!address) return {AddressCheck(line, problem)};
  // The line is opened as the commands open it, a device in use tried again.
  const PortOpenResult opened = OpenRemotePort(device, stopRequested);
  // A stop cut the connect or the negotiation short: it found nothing wrong.
  if (!opened.port && stopRequested && stopRequested()) {
    return {NotConnected(opened) ? StoppedCheck(N_("server"), N_("the server answered"))
                                 : StoppedCheck(N_("telnet"), N_("the negotiation ended"))};
  }
  std::vector<Check> checks{ServerCheck(line, *address, opened)};
  if (NotConnected(opened)) return checks;
  checks.push_back(TelnetCheck(line, opened));
  if (!checks.back().ok) return checks;
  checks.push_back(StickParityCheck(line, opened));
  if (!opened.port) return checks;
  checks.push_back(RoundTripCheck(opened.port->RoundTripMs()));
  opens = true;
  return checks;
}

}  // namespace zenor9::diag
