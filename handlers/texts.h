// The window program's own texts: captions, icons, status lines and the boxes
// only it shows. The messages it shares with the command line are in
// operations/messages.h. UTF-8.
#pragma once

#include "operations/messages.h"

namespace zenor9 {

// The name of the program: the task list's entry and the caption of the
// unhandled-error box. The main window has a caption of its own (its layout's).
inline constexpr const char* kApplicationTitle = "ККМ ЗЕНОР-9 Префикс локального шрихового кода";

// The icon part of a message box's flags; every box has a single OK button (0).
inline constexpr unsigned kIconError = 0x10;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kIconInformation = 0x40;

// Status lines.
inline constexpr const char* kStatusConnected = "Установлен интерфейс с ККМ";
inline constexpr const char* kStatusNoLink = kTextNoLink;
inline constexpr const char* kStatusRead = "Чтение завершено";
inline constexpr const char* kStatusWritten = "Запись завершена";

// Captions.
inline constexpr const char* kWarningCaption = "Предупреждение";
inline constexpr const char* kErrorCaption = "Ошибка";
inline constexpr const char* kReadCaption = "Чтение префикса локального ШК";
inline constexpr const char* kWriteCaption = "Запись префикса локального ШК";

// The guards that keep text the user typed from reaching the register.
inline constexpr const char* kBadPrefix = "Префикс должен быть числом от 20 до 29";
inline constexpr const char* kBadNetNumber = "Сетевой номер ККМ должен быть числом от 0 до 99";

// What the prefix field shows while no local barcode is used.
inline constexpr const char* kNoPrefixShown = "20";

}  // namespace zenor9
