#include "cli/live_output.h"

#include <cstdio>

#include "cli/outcome.h"
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
  return Tr("looking for registers: %s of %s", probe, kNetNumberCount);
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
  if (i18n::CharacterCount(text) < i18n::CharacterCount(shown_)) {
    Erase(i18n::CharacterCount(shown_));
  }
  std::fprintf(stderr, "\r%s", text.c_str());
  std::fflush(stderr);
  shown_ = text;
}

void LiveOutput::EndProgress() {
  if (shown_.empty()) return;
  Erase(i18n::CharacterCount(shown_));
  std::fflush(stderr);
  shown_.clear();
}

}  // namespace zenor9::cli
