// Every message box of the program goes through MessageService, so that tests
// can record the boxes instead of showing them.
#pragma once

#include <QString>

namespace zenor9 {

// The icon part of a message box's flags; every box has a single OK button.
inline constexpr unsigned kIconError = 0x10;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kIconInformation = 0x40;

class MessageService {
 public:
  virtual ~MessageService() = default;
  // Shows a modal box and returns once the user has dismissed it.
  virtual void Show(const QString& text, const QString& caption, unsigned flags) = 0;
};

// The real boxes: modal for the whole application, the caption as the title.
class MessageBoxService final : public MessageService {
 public:
  void Show(const QString& text, const QString& caption, unsigned flags) override;
};

}  // namespace zenor9
