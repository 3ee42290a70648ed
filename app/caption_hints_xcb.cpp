// X11: window managers take a title bar's buttons from the Motif hints, where
// Qt leaves them all allowed when no button is asked for.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/caption_hints.h"

namespace zenor9 {

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

void WriteCaptionOnlyHints(QWidget& window) {
  // Other platforms (offscreen among them) may offer the interface without a
  // connection to an X server.
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 != nullptr && x11->connection() != nullptr) {
    WriteMotifHints(x11->connection(), static_cast<xcb_window_t>(window.winId()));
  }
}

}  // namespace zenor9
