#include "app/title_bar.h"

#include <QEvent>
#include <QGuiApplication>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(ZENOR9_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace zenor9 {

#if defined(ZENOR9_HAVE_XCB) && QT_CONFIG(xcb)
namespace {

// The Motif window manager hints: flags, functions, decorations, input mode, status.
constexpr uint32_t kHintFunctions = 1;
constexpr uint32_t kHintDecorations = 2;
constexpr uint32_t kFunctionMove = 4;
constexpr uint32_t kDecorBorder = 2;
constexpr uint32_t kDecorTitle = 8;

void WriteMotifHints(xcb_connection_t* connection, xcb_window_t window) {
  static const char kName[] = "_MOTIF_WM_HINTS";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, std::strlen(kName), kName), nullptr);
  if (atom == nullptr) return;
  const std::array<uint32_t, 5> hints{kHintFunctions | kHintDecorations, kFunctionMove,
                                      kDecorBorder | kDecorTitle, 0, 0};
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom->atom, atom->atom, 32,
                      hints.size(), hints.data());
  xcb_flush(connection);
  std::free(atom);
}

}  // namespace
#endif

namespace {

// Writes the hints each time the window is shown, just before it is mapped:
// Qt makes a new native window when a closed window is shown again, and a new
// native window starts from Qt's own hints, which allow every button.
class CaptionOnlyHints final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) WriteHints(*static_cast<QWidget*>(watched));
    return false;
  }

 private:
  static void WriteHints([[maybe_unused]] QWidget& window) {
#if defined(ZENOR9_HAVE_XCB) && QT_CONFIG(xcb)
    // Other platforms (offscreen among them) may offer the interface without a
    // connection to an X server.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->connection() != nullptr) {
      WriteMotifHints(x11->connection(), static_cast<xcb_window_t>(window.winId()));
    }
#endif
  }
};

}  // namespace

void ShowCaptionOnly(QWidget& window) {
  window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  // No native window is made here: one made now would be stacked below every
  // window made later, the main window among them.
  window.installEventFilter(new CaptionOnlyHints(&window));
}

}  // namespace zenor9
