#include "app/messages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "handlers/texts.h"

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

// Widens the box so that the window manager has room for the whole caption, as
// the classic message box does; Qt sizes the box by its text alone. Title bars
// use a larger bold face and add an icon and a close box, hence the margins.
void MakeRoomForCaption(QMessageBox& box, const QString& caption) {
  constexpr double kTitleFontScale = 1.3;
  constexpr int kTitleBarExtras = 110;
  QFont titleFont = box.font();
  titleFont.setBold(true);
  const int needed =
      static_cast<int>(QFontMetrics(titleFont).horizontalAdvance(caption) * kTitleFontScale) +
      kTitleBarExtras;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
}

}  // namespace

void QtApplicationView::ShowMessageBox(const std::string& text, const std::string& caption,
                                       unsigned flags) {
  // No parent: the box belongs to the application, not to one window, and
  // keeps every window of the program disabled while it is up.
  const QString title = QString::fromStdString(caption);
  QMessageBox box(IconOfFlags(flags), title, QString::fromStdString(text), QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  MakeRoomForCaption(box, title);
  box.exec();
}

void QtApplicationView::BeginBusyCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtApplicationView::EndBusyCursor() {
  QApplication::restoreOverrideCursor();
}

}  // namespace zenor9
