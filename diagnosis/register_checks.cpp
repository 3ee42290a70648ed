// The register on the line, through the link as the program uses it.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "diagnosis/doctor.h"
#include "link/channel.h"
#include "link/commands.h"
#include "link/net_number.h"
#include "operations/line_survey.h"
#include "operations/session.h"
#include "operations/setup.h"

namespace zenor9::diag {

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for any adapter's latency timer (at most 255 ms on FTDI chips).
constexpr uint32_t kEchoWaitMs = 300;

std::string HexByte(uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", ms);
  return Tr("%s ms", text);
}

// Sends the address byte and times its echo; nothing when none came back.
std::optional<double> EchoMs(SerialChannel& channel, uint8_t addressByte) {
  PurgeChannel(channel, kPurgeBothQueues);
  SetParityMode(channel, ParityMode::Mark);
  const Clock::time_point sent = Clock::now();
  if (WriteBytes(channel, &addressByte, 1) != 1) return std::nullopt;
  if (!WaitForInput(channel, 1, kEchoWaitMs + RoundTripMs(channel))) return std::nullopt;
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
  uint8_t echo = 0;
  if (ReadBytes(channel, &echo, 1) != 1 || echo != addressByte) return std::nullopt;
  return ms;
}

Check EchoTimingCheck(SerialChannel& channel, uint8_t addressByte, int probes) {
  std::vector<double> times;
  for (int i = 0; i < probes && !StopRequested(channel); ++i) {
    if (const std::optional<double> ms = EchoMs(channel, addressByte)) times.push_back(*ms);
  }
  // Echoes whose waits the stop cut short were never missing.
  if (StopRequested(channel)) return StoppedCheck(N_("echo"), N_("the echoes were timed"));
  Check check{N_("echo"), true, {}, {}};
  if (times.empty()) {
    check.ok = false;
    check.detail = Tr("no echo of the address byte in %s probes", probes);
    check.advice = Tr("check the cable and that the register is on");
    return check;
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  const double most = times.back();
  const uint32_t probeWaitMs = ProbeWaitMs(channel);
  const auto late = std::count_if(times.begin(), times.end(),
                                  [probeWaitMs](double ms) { return ms > probeWaitMs; });
  check.detail = Tr("%s of %s echoes, median %s, maximum %s, %s later than the scan's %s ms wait",
                    times.size(), probes, Ms(median), Ms(most), late, probeWaitMs);
  // The typical echo decides: an adapter holds every answer alike, while a busy
  // computer delays a single one now and then.
  if (median > probeWaitMs) {
    check.ok = false;
    check.advice =
        Tr("echoes slower than the scan's wait: automatic detection will miss this register; "
           "lower the adapter's latency timer (1 ms) or type the net number");
  } else if (static_cast<int>(times.size()) < probes) {
    check.ok = false;
    check.advice = Tr("some probes got no echo: check the cable and the line's termination");
  }
  return check;
}

Check ScanStrayCheck(const LineHit& hit) {
  const ProbeReport report{hit.net, AddressByteOfNetNumber(hit.net), ProbeResult::Other,
                           hit.received};
  if (const std::optional<uint8_t> earlier = LateEchoOf(report)) {
    return {N_("scan"), false,
            Tr("the probe of net number %s got %s back: the echo of net number %s's probe, too "
               "late for its wait",
               report.net, HexByte(report.received), *earlier),
            Tr("the register at net number %s answers slower than the scan waits: lower the "
               "adapter's latency timer or give the net number (--net %s)",
               *earlier, *earlier)};
  }
  return {N_("scan"), false,
          Tr("the probe of net number %s got %s back, not its own address byte", report.net,
             HexByte(report.received)),
          Tr("noise or two devices on the line: check the cabling")};
}

std::string NetNumbersOf(const std::vector<LineHit>& hits) {
  std::string nets;
  for (const LineHit& hit : hits) {
    if (!nets.empty()) nets += ", ";
    nets += std::to_string(hit.net);
  }
  return nets;
}

// The whole line surveyed and judged as read and write judge it without a net
// number, with the same retries: the register it finds, or why there is none
// to check.
Check ScanCheck(Session& session, const ExchangePolicy& policy) {
  const LineJudgement line = JudgeTheLine(session.channel, policy, {});
  switch (line.verdict) {
    case LineVerdict::Stopped:
      return StoppedCheck(N_("scan"), N_("the scan was done"));
    case LineVerdict::OneRegister:
      session.addressByte = AddressByteOfNetNumber(line.hits.front().net);
      return {N_("scan"), true, Tr("found net number %s", line.hits.front().net), {}};
    case LineVerdict::OnlyStray:
      return ScanStrayCheck(line.hits.front());
    case LineVerdict::Several:
      return {N_("scan"), false,
              Tr("net numbers %s answered the scan: reads and writes without a net number "
                 "refuse a line of several registers",
                 NetNumbersOf(line.hits)),
              Tr("give the register to check with --net N")};
    case LineVerdict::NoAnswer:
      break;
  }
  return {N_("scan"), false, Tr("no register answered the scan of net numbers 0 to 99"),
          Tr("check the cable, the register's power and the port; with a net number (--net N) "
             "the register is tried directly")};
}

// The register at `addressByte` identified as a set-up does it, version rule
// included; `answered` says whether it answered at all, so that its echo is
// worth timing.
Check IdentifyCheck(Session& session, uint8_t addressByte, const ExchangePolicy& policy,
                    bool& answered) {
  const std::string net = std::to_string(NetNumberOfAddressByte(addressByte));
  const SetupResult result = IdentifyRegisterAt(session, addressByte, policy);
  answered = result.outcome != SetupOutcome::NoAnswerToIdentify;
  switch (result.outcome) {
    case SetupOutcome::Stopped:
      // An identify that overlapped a stop is no answer: no firmware advice for it.
      answered = false;
      return StoppedCheck(N_("register"), N_("identify was answered"));
    case SetupOutcome::NoAnswerToIdentify:
      return {N_("register"), false, Tr("no answer to identify at net number %s", net),
              Tr("check the net number set in the register, the cable and the register's "
                 "power")};
    case SetupOutcome::BadIdentifyReply:
      return {N_("register"), false,
              Tr("net number %s answers, but its reply to identify failed its check sum", net),
              Tr("noise on the line, or two registers with net number %s: check the cabling and "
                 "give each register its own net number",
                 net)};
    default:
      break;
  }
  Check check{N_("register"),
              true,
              Tr("net number %s answers, version code %s", net, session.versionCode),
              {}};
  if (result.outcome == SetupOutcome::UnsupportedVersion) {
    check.ok = false;
    check.advice = Tr("the register needs firmware 1.0.5 (version code 105)");
  }
  return check;
}

}  // namespace

Check StoppedCheck(const std::string& name, const char* before) {
  Check check{name, false, Tr("stopped before %s", Tr(before)), {}};
  check.stopped = true;
  return check;
}

std::vector<Check> RegisterChecks(const std::string& device, std::optional<uint8_t> net,
                                  const ExchangePolicy& policy, int probes,
                                  const StopCheck& stopRequested) {
  Session session;
  session.channel.stopRequested = stopRequested;
  if (!OpenChannelDevice(device, session.channel)) {
    // A remote line's connect that a stop cut short found nothing wrong.
    if (StopRequested(session.channel)) {
      return {StoppedCheck(N_("register"), N_("the port opened"))};
    }
    return {{N_("register"), false, Tr("the port did not open"), Tr("see the open check above")}};
  }
  std::vector<Check> checks;
  if (net) {
    session.addressByte = AddressByteOfNetNumber(*net);
  } else {
    checks.push_back(ScanCheck(session, policy));
    if (!checks.back().ok) return checks;
  }
  bool answered = false;
  checks.push_back(IdentifyCheck(session, session.addressByte, policy, answered));
  if (answered) checks.push_back(EchoTimingCheck(session.channel, session.addressByte, probes));
  return checks;
}

}  // namespace zenor9::diag
