// The register's messages, as both programs say them: the window program
// shows them as they stand (Russian), the command line through Tr() in the
// user's language (the English catalogue translates them).
#pragma once

#include "i18n/text.h"

namespace zenor9 {

using i18n::N_;

inline constexpr const char* kTextPortUnavailable = N_("Выбранный COM-порт недоступен");
inline constexpr const char* kTextNoLink = N_("Нет связи с ККМ");
inline constexpr const char* kTextOldFirmware =
    N_("В ККМ необходимо установить ПО версии не ниже 1.0.5");
inline constexpr const char* kTextNoInterface = N_("Не удается установить интерфейс с ККМ");
inline constexpr const char* kTextWriteDone = N_("Операция успешно завершена");

}  // namespace zenor9
