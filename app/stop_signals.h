// The window program and the signals that end a program: a session's end and
// kill (SIGTERM, SIGHUP) and Ctrl-C in the terminal it was started from (SIGINT)
// close it as its exit button does, once the running handler has finished, so
// that a prefix write is never cut between its cells. One file per platform
// catches the signals; the closing is shared.
#pragma once

#include <QObject>
#include <QWidget>

namespace zenor9 {

class StopSignalWatcher final : public QObject {
 public:
  // From now on the signals close `mainWindow`; until the watcher goes, when
  // their default ends the program again.
  explicit StopSignalWatcher(QWidget& mainWindow);
  ~StopSignalWatcher() override;
  StopSignalWatcher(const StopSignalWatcher&) = delete;
  StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

 private:
  void Catch();
  void Release();
  // A signal came: ends the modal windows as their own close would (the set-up
  // dialog as "Закрыть", a message box as OK), waits for the handler that
  // showed them to finish, then closes the main window.
  void CloseWhenIdle();

  QWidget& mainWindow_;
};

}  // namespace zenor9
