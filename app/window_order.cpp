#include "app/window_order.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

namespace zenor9 {

void BringToFront(QWidget& window) {
  // Platforms that show nothing on a screen (offscreen, minimal) stack nothing.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
  // Raising before the window is mapped puts it on top as it appears; the
  // platform defers the activation until the window is mapped.
  window.raise();
  window.activateWindow();
}

WindowOrder::WindowOrder(QObject* parent) : QObject(parent) {}

bool WindowOrder::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::Show && type != QEvent::Hide && type != QEvent::WindowStateChange) {
    return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || !IsOrdinaryWindow(*widget)) return false;
  if (type == QEvent::Show) {
    BringToFront(*widget);
  } else if (type == QEvent::Hide) {
    // Once the hidden window has left the modal stack and its caller has gone
    // on, the window to return to is known.
    QTimer::singleShot(0, this, &WindowOrder::ActivateTheBlockingWindow);
  } else if (widget->isModal() && widget->isMinimized()) {
    // A modal window blocks all the others, so it must stay in sight: a
    // window manager that minimises it is answered by restoring it.
    QTimer::singleShot(0, widget, [widget] { RestoreIfMinimised(*widget); });
  }
  return false;
}

void WindowOrder::RestoreIfMinimised(QWidget& window) {
  if (!window.isVisible() || !window.isMinimized()) return;
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  BringToFront(window);
}

// Main windows, dialogs and message boxes; not tool tips, menus or other popups.
bool WindowOrder::IsOrdinaryWindow(const QWidget& widget) {
  const Qt::WindowType type = widget.windowType();
  return widget.isWindow() && (type == Qt::Window || type == Qt::Dialog);
}

void WindowOrder::ActivateTheBlockingWindow() {
  QWidget* target = QApplication::activeModalWidget();
  if (target == nullptr) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->isVisible() && !window->isMinimized() && window->windowType() == Qt::Window) {
        target = window;
        break;
      }
    }
  }
  if (target != nullptr && target->isVisible() && QApplication::activeWindow() != target) {
    BringToFront(*target);
  }
}

}  // namespace zenor9
