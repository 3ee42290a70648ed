#include "cli/report.h"

#include <cstdio>

#include "cli/remote_line.h"

namespace zenor9::cli {

namespace {

template <typename T>
void PutIfSet(nlohmann::ordered_json& object, const char* key, const std::optional<T>& value) {
  if (value) object[key] = *value;
}

}  // namespace

std::string RegisterName(int net) {
  return Tr("register %s", net);
}

std::string NamedLine(int net, const std::string& text) {
  return RegisterName(net) + ": " + text;
}

std::string ShownPrefix(const std::string& prefix) {
  return prefix == "off" ? std::string(Tr("off")) : prefix;
}

std::string HoldsText(const Outcome& outcome) {
  if (!outcome.holds || outcome.Ok() || outcome.error == "verify-mismatch") return {};
  if (outcome.holds->is_string()) {
    return Tr("the register now holds: %s", ShownPrefix(outcome.holds->get<std::string>()));
  }
  return Tr("the register now holds: could not be read");
}

nlohmann::ordered_json OutcomeJson(const Outcome& outcome) {
  nlohmann::ordered_json object;
  object["schema"] = kJsonSchema;
  object["ok"] = outcome.Ok();
  PutIfSet(object, "port", outcome.port);
  PutIfSet(object, "net", outcome.net);
  PutIfSet(object, "version", outcome.version);
  PutIfSet(object, "prefix", outcome.prefix);
  PutIfSet(object, "before", outcome.before);
  PutIfSet(object, "asked", outcome.asked);
  PutIfSet(object, "holds", outcome.holds);
  PutIfSet(object, "verified", outcome.verified);
  PutIfSet(object, "written", outcome.written);
  PutIfSet(object, "retries", outcome.retries);
  PutIfSet(object, "registers", outcome.registers);
  if (outcome.check) object["check"] = true;
  PutIfSet(object, "changed", outcome.changed);
  PutIfSet(object, "summary", outcome.summary);
  PutIfSet(object, "ports", outcome.ports);
  PutIfSet(object, "com", outcome.com);
  if (outcome.interrupted) object["interrupted"] = true;
  PutIfSet(object, "sources", outcome.comSources);
  PutIfSet(object, "map-file", outcome.mapFile);
  PutIfSet(object, "map-problems", outcome.mapProblems);
  PutIfSet(object, "map-unreadable", outcome.mapUnreadable);
  PutIfSet(object, "com-problems", outcome.comProblems);
  PutIfSet(object, "checks", outcome.checks);
  PutIfSet(object, "warning", outcome.warning);
  PutIfSet(object, "reason", outcome.reason);
  PutIfSet(object, "round-trip-ms", outcome.roundTripMs);
  PutIfSet(object, "probe-wait-ms", outcome.probeWaitMs);
  if (!outcome.reasonText.empty()) object["detail"] = outcome.reasonText;
  if (!outcome.error.empty()) object["error"] = outcome.error;
  if (!outcome.message.empty()) object["message"] = outcome.message;
  return object;
}

int Report(const Outcome& outcome, bool json) {
  if (json) {
    // Replace rather than throw should a device path carry bytes that are not UTF-8.
    const std::string text =
        OutcomeJson(outcome).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
  } else {
    if (!outcome.text.empty()) std::printf("%s\n", outcome.text.c_str());
    std::fflush(stdout);  // the result before the message, also on a shared pipe
    if (!outcome.message.empty()) std::fprintf(stderr, "%s\n", FullMessage(outcome).c_str());
    if (const std::string holds = HoldsText(outcome); !holds.empty()) {
      std::fprintf(stderr, "%s\n", holds.c_str());
    }
    if (outcome.roundTripMs) std::fprintf(stderr, "%s\n", RoundTripText(outcome).c_str());
    if (outcome.warning) std::fprintf(stderr, "%s\n", Tr("warning: %s", *outcome.warning).c_str());
    if (!outcome.reasonText.empty()) {
      std::fprintf(stderr, "%s: %s\n", outcome.port.value_or("").c_str(),
                   outcome.reasonText.c_str());
    }
    if (!outcome.nextStep.empty()) std::fprintf(stderr, "%s\n", outcome.nextStep.c_str());
  }
  // The reader went away or the disk is full: the result did not arrive, which
  // a script must not take for success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return outcome.Ok() ? kExitFailed : outcome.exitCode;
  }
  return outcome.exitCode;
}

}  // namespace zenor9::cli
