// The entries of a folder, walked without an exception: /proc and sysfs change
// under a walk, and a process that ends during the walk over its
// /proc/PID/fd makes the next step of the listing fail.
#pragma once

#include <filesystem>
#include <functional>

namespace zenor9::diag {

// Calls `visit` with each entry of `folder` until it returns false. A folder
// that cannot be listed, or whose listing fails half-way, ends the walk with
// what was seen.
void ForEachEntry(const std::filesystem::path& folder,
                  const std::function<bool(const std::filesystem::directory_entry& entry)>& visit);

}  // namespace zenor9::diag
