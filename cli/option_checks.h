// The checks of zenor9's options: each option's value as CLI11 validators,
// which name the mistake in the user's language and rewrite a value into the
// one form the program reads, and the choices that no single option can check.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace zenor9::cli {

// A net number 0 to 99, rewritten in plain decimal.
extern const CLI::Validator kNetNumberCheck;
// Net numbers separated by commas, each rewritten as kNetNumberCheck does.
extern const CLI::Validator kNetListCheck;
// COMn, a device path or rfc2217://HOST:PORT.
extern const CLI::Validator kPortCheck;
// 20 to 29 or off, any word for off rewritten as "off".
extern const CLI::Validator kPrefixCheck;
// sim --prefix: a prefix, or NET=PREFIX.
extern const CLI::Validator kSimPrefixCheck;
// A journal label or note.
extern const CLI::Validator kJournalTextCheck;
// sim's --random-faults, --seed, --version, --fault and --latency.
extern const CLI::Validator kPercentCheck;
extern const CLI::Validator kSeedCheck;
extern const CLI::Validator kVersionCheck;
extern const CLI::Validator kFaultCheck;
extern const CLI::Validator kLatencyCheck;
// --retries.
extern const CLI::Validator kRetriesCheck;
// journal --since.
extern const CLI::Validator kSinceCheck;

// How often `name` was given to `command`, before the command word and after it.
std::size_t Given(const CLI::App& app, const CLI::App& command, const std::string& name);

// The choices that no single option can check once `app` has parsed: which
// options go with which command, and a net number given twice. `nets` are
// --net's, in increasing order; `simNets` and `simPrefixes` sim's --net and
// --prefix. Throws CLI11's validation error.
void CheckChoices(const CLI::App& app, const std::vector<int>& nets,
                  const std::vector<int>& simNets, const std::vector<std::string>& simPrefixes);

}  // namespace zenor9::cli
