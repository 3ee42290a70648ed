#include "app/title_bar.h"

#include <QEvent>

#include "app/caption_hints.h"

namespace zenor9 {

namespace {

// Writes the hints each time the window is shown, just before it is mapped:
// Qt makes a new native window when a closed window is shown again, and a new
// native window starts from Qt's own hints, which allow every button.
class CaptionOnlyHints final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) WriteCaptionOnlyHints(*static_cast<QWidget*>(watched));
    return false;
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
