// What the handlers ask of the application in Qt: message boxes modal for the
// whole program, and the wait cursor.
#pragma once

#include "handlers/view.h"

namespace zenor9 {

class QtApplicationView : public ApplicationView {
 public:
  // The real box: modal for the whole application, the caption as the title.
  void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void BeginBusyCursor() override;
  void EndBusyCursor() override;
};

}  // namespace zenor9
