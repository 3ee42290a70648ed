#include "app/messages.h"

#include <QMessageBox>

namespace zenor9 {

namespace {

QMessageBox::Icon IconOfFlags(unsigned flags) {
  switch (flags & 0xF0) {
    case kIconError:
      return QMessageBox::Critical;
    case kIconWarning:
      return QMessageBox::Warning;
    case kIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

void MessageBoxService::Show(const QString& text, const QString& caption, unsigned flags) {
  // No parent: the box belongs to the application, not to one window, and
  // keeps every window of the program disabled while it is up.
  QMessageBox box(IconOfFlags(flags), caption, text, QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace zenor9
