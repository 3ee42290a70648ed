// What the command line says of remote lines (rfc2217://HOST:PORT): whether an
// address is one, and the round trip by which the protocol's waits grow.
#pragma once

#include <string>

#include "cli/outcome.h"
#include "link/channel.h"

namespace zenor9::cli {

// Why `device`, which asks for a remote line, is no rfc2217://HOST:PORT; empty
// when it is one.
std::string RemoteAddressProblem(const std::string& device);

// The trace's line on an opened remote line: its round trip and the waits it
// makes, in the terms scripts read ("# round trip 21 ms: probe wait 31 ms, ...").
std::string RoundTripTraceLine(uint32_t roundTripMs);

// On a remote line, the round trip and the probe's wait into the outcome, for a
// scan to report; nothing on a local one.
void NoteRoundTrip(const SerialChannel& channel, const std::string& device, Outcome& outcome);

// The same in words, for stderr.
std::string RoundTripText(const Outcome& outcome);

}  // namespace zenor9::cli
