#include "handlers/unhandled_error.h"

#include <exception>

#include "handlers/texts.h"

namespace zenor9 {

// In UTF-8 the last byte of a character above U+007F is above 0x7F too, so
// comparing the last byte with "." compares the last character.
std::string UnhandledErrorText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

namespace {

// Handlers nest: a modal window's own handlers run inside the one that showed it.
int handlersRunning = 0;

class RunningHandler {
 public:
  RunningHandler() { ++handlersRunning; }
  ~RunningHandler() { --handlersRunning; }
  RunningHandler(const RunningHandler&) = delete;
  RunningHandler& operator=(const RunningHandler&) = delete;
};

}  // namespace

bool HandlerRunning() {
  return handlersRunning > 0;
}

void RunHandler(ApplicationView& application, const std::function<void()>& handler) {
  const RunningHandler running;
  std::string message;
  try {
    handler();
    return;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
    message = "Unknown error";
  }
  application.ShowMessageBox(UnhandledErrorText(message), kApplicationTitle, kIconError);
}

}  // namespace zenor9
