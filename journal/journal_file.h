// Where the journal lives by the platform's rule, one source file per platform.
#pragma once

#include <filesystem>

namespace zenor9::journal {

// The journal's place by the platform's rule alone; empty when unknown.
std::filesystem::path DefaultJournalFile();
// The environment variable `name` as a path; empty when unset or empty.
std::filesystem::path EnvironmentPath(const char* name);

}  // namespace zenor9::journal
