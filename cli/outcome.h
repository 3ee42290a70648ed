// What one command of the command line found out: the values it reports, the
// text for stdout, and how it ended (exit code, error key, message).
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "i18n/text.h"
#include "operations/messages.h"

namespace zenor9::cli {

using i18n::N_;
using i18n::Tr;

// The program's exit codes, documented in --help and the README.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // no link with the register, or a failed command
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPortUnavailable = 3;
inline constexpr int kExitUnsupportedFirmware = 4;
inline constexpr int kExitVerifyMismatch = 5;
// A stop request that ends the work ends the run with 128 + the signal's
// number, as shells report it.
inline constexpr int kExitHangUp = 129;       // SIGHUP: the terminal closed
inline constexpr int kExitInterrupted = 130;  // SIGINT, Ctrl-C
inline constexpr int kExitQuit = 131;         // SIGQUIT (Ctrl-\ on a terminal)
inline constexpr int kExitTerminated = 143;   // SIGTERM

inline constexpr const char* kTextVerifyMismatch = N_("Префикс в ККМ не совпадает с записанным");

// The version of the JSON's keys and reasons (docs/json.md): raised when one
// of them changes meaning, is renamed or removed, never for one added.
inline constexpr int kJsonSchema = 1;

// The error key of a run that a stop request ended.
inline constexpr const char* kErrorInterrupted = "interrupted";
// The error key of a step that failed because the port went away.
inline constexpr const char* kErrorPortLost = "port-lost";

struct Outcome {
  int exitCode = kExitOk;
  std::string error;        // a short key for scripts ("no-link", ...); empty on success
  std::string message;      // the user's message, Russian; may accompany success
  std::string messageNote;  // said after the message on stderr, not in JSON, which
                            // carries the value itself ("(найдена 1.0.6)")
  std::string text;         // the result as printed on stdout without --json
  std::optional<std::string> port;
  std::optional<int> net;
  std::optional<int> version;
  std::optional<std::string> prefix;
  // write: what the cells held before it, the prefix text or "off"; null when
  // they could not be read
  std::optional<nlohmann::ordered_json> before;
  std::optional<std::string> asked;  // write: the value asked
  // What reading the two cells after the write found (the read-back, or the
  // read after a failed write): the prefix text, "off", or null when they
  // could not be read.
  std::optional<nlohmann::ordered_json> holds;
  bool readBack = false;  // write: the cells were read after it (`holds` says what came)
  // A write that succeeded: true when it was read back, false with --no-verify.
  std::optional<bool> verified;
  // write: a write frame went to the register (not for a register that already
  // held the value, nor under --check).
  std::optional<bool> written;
  // write: the register now holds something other than before (or may: what it
  // held or holds could not be read); under --check, a write would change it.
  // A run over several registers: any of them.
  std::optional<bool> changed;
  bool check = false;  // write --check: read only, to say what a write would change
  // read and write: how many registers the run was about, changed, unchanged and failed.
  std::optional<nlohmann::ordered_json> summary;
  // Identify, read and write exchanges of the register tried again after a failure.
  std::optional<int> retries;
  std::optional<nlohmann::ordered_json> registers;    // scan
  std::optional<nlohmann::ordered_json> ports;        // ports
  std::optional<nlohmann::ordered_json> com;          // ports: what COM1 to COM4 stand for
  bool interrupted = false;                           // a stop request came during the run
  std::optional<nlohmann::ordered_json> comSources;   // ports: where each COMn comes from
  std::optional<std::string> mapFile;                 // ports: this user's COM map file
  std::optional<nlohmann::ordered_json> mapProblems;  // ports: its lines that were ignored
  std::optional<std::string> mapUnreadable;           // ports: why the map cannot be read
  std::optional<nlohmann::ordered_json> comProblems;  // ports: why a COMn has no device
  std::optional<nlohmann::ordered_json> checks;       // doctor: one object per check
  std::optional<std::string> warning;                 // said on stderr; the command went on
  std::optional<std::string> reason;  // why the port did not open, a key ("permission-denied")
  std::string reasonText;             // the same in words, with what more is known
  std::string nextStep;               // after a failure of the link, what to do next; said last on
                                      // stderr, not in JSON
  std::optional<int> lateEchoOf;      // the net number whose late echo ended the set-up's scan
  std::optional<int> roundTripMs;     // scan on a remote line: its round trip
  std::optional<int> probeWaitMs;     // and each probe's wait, grown by it

  bool Ok() const { return exitCode == kExitOk; }
  // A stop request ended the work: its exit code and message are the stop's.
  bool EndedByStop() const { return error == kErrorInterrupted; }
};

// The message as stderr shows it.
inline std::string FullMessage(const Outcome& outcome) {
  return outcome.messageNote.empty() ? outcome.message
                                     : outcome.message + " " + outcome.messageNote;
}

inline void Fail(Outcome& outcome, int exitCode, std::string error, std::string message) {
  outcome.exitCode = exitCode;
  outcome.error = std::move(error);
  outcome.message = std::move(message);
}

}  // namespace zenor9::cli
