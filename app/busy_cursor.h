// The wait cursor shown while a link operation holds the GUI thread.
#pragma once

#include <QApplication>
#include <QCursor>

namespace zenor9 {

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace zenor9
