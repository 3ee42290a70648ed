// Every text the handlers show: message boxes with their captions and icons,
// and the status lines. UTF-8.
#pragma once

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
inline constexpr const char* kStatusNoLink = "Нет связи с ККМ";
inline constexpr const char* kStatusRead = "Чтение завершено";
inline constexpr const char* kStatusWritten = "Запись завершена";

// Captions.
inline constexpr const char* kWarningCaption = "Предупреждение";
inline constexpr const char* kErrorCaption = "Ошибка";
inline constexpr const char* kReadCaption = "Чтение префикса локального ШК";
inline constexpr const char* kWriteCaption = "Запись префикса локального ШК";

// Texts of the boxes.
inline constexpr const char* kPortUnavailable = "Выбранный COM-порт недоступен";
inline constexpr const char* kNoLink = "Нет связи с ККМ";
inline constexpr const char* kOldFirmware = "В ККМ необходимо установить ПО версии не ниже 1.0.5";
inline constexpr const char* kNoInterface = "Не удается установить интерфейс с ККМ";
inline constexpr const char* kWriteDone = "Операция успешно завершена";
inline constexpr const char* kBadPrefix = "Префикс должен быть числом от 20 до 29";

// What the prefix field shows while no local barcode is used.
inline constexpr const char* kNoPrefixShown = "20";

}  // namespace zenor9
