#include "cli/live_output.h"

#include <cstdio>

#include "link/net_number.h"

namespace zenor9::cli {

namespace {

// Carriage return, blanks over the old text, carriage return: erases the line
// on any terminal, escape sequences or not.
void Erase(std::size_t width) {
  std::fprintf(stderr, "\r%s\r", std::string(width, ' ').c_str());
}

}  // namespace

std::string ProbeProgress(int probe) {
  return "probe " + std::to_string(probe) + "/" + std::to_string(kNetNumberCount);
}

void LiveOutput::Line(const std::string& text) {
  if (json_) return;
  const std::string indicator = shown_;
  EndProgress();
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  if (!indicator.empty()) Progress(indicator);
}

void LiveOutput::Progress(const std::string& text) {
  if (!progress_) return;
  if (text.empty()) {
    EndProgress();
    return;
  }
  if (text.size() < shown_.size()) Erase(shown_.size());
  std::fprintf(stderr, "\r%s", text.c_str());
  std::fflush(stderr);
  shown_ = text;
}

void LiveOutput::EndProgress() {
  if (shown_.empty()) return;
  Erase(shown_.size());
  std::fflush(stderr);
  shown_.clear();
}

}  // namespace zenor9::cli
