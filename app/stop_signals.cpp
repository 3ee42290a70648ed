#include "app/stop_signals.h"

#include <QApplication>
#include <QTimer>

#include "handlers/unhandled_error.h"

namespace zenor9 {

namespace {

// How often a closing waits for the running handler to finish.
constexpr int kHandlerPollMs = 20;

}  // namespace

StopSignalWatcher::StopSignalWatcher(QWidget& mainWindow) : mainWindow_(mainWindow) {
  Catch();
}

StopSignalWatcher::~StopSignalWatcher() {
  Release();
}

void StopSignalWatcher::CloseWhenIdle() {
  if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  if (HandlerRunning()) {
    QTimer::singleShot(kHandlerPollMs, this, [this] { CloseWhenIdle(); });
    return;
  }
  mainWindow_.close();
}

}  // namespace zenor9
