#include "diagnosis/folder_walk.h"

namespace zenor9::diag {

namespace fs = std::filesystem;

void ForEachEntry(const fs::path& folder,
                  const std::function<bool(const fs::directory_entry& entry)>& visit) {
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (!visit(*entry)) return;
  }
}

}  // namespace zenor9::diag
