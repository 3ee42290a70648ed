// Keeps the window the user must answer on top with the keyboard focus. A bare
// X server (a point-of-sale box running this program alone, no window manager)
// neither raises a window that is mapped nor moves the focus to it, so a modal
// window could open behind the main window and leave the program looking hung.
#pragma once

#include <QObject>

class QWidget;

namespace zenor9 {

// Raises the window and gives it the keyboard focus (once it is mapped).
void BringToFront(QWidget& window);

// Installed on the application: every top-level window the program shows is
// raised and activated; when one is hidden, the window that now blocks the
// others (the innermost modal one, else the main window) is activated again;
// a modal window that a window manager minimises is restored at once.
// Where a window manager runs, these are the same requests it would grant.
class WindowOrder final : public QObject {
  Q_OBJECT

 public:
  explicit WindowOrder(QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static bool IsOrdinaryWindow(const QWidget& widget);
  static void RestoreIfMinimised(QWidget& window);
  static void ActivateTheBlockingWindow();
};

}  // namespace zenor9
