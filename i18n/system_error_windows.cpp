// Windows: the system's error numbers are GetLastError codes. Those that
// opening, reading, locking and replacing a file or a COM port can give are
// worded here; FormatMessage would word them in the system's language.
#include <windows.h>

#include <utility>

#include "i18n/system_error.h"
#include "i18n/text.h"

namespace zenor9::i18n {

namespace {

constexpr std::pair<unsigned long, const char*> kWindowsErrorTexts[] = {
    {ERROR_FILE_NOT_FOUND, N_("no such file or folder")},
    {ERROR_PATH_NOT_FOUND, N_("no such file or folder")},
    {ERROR_TOO_MANY_OPEN_FILES, N_("too many open files")},
    {ERROR_ACCESS_DENIED, N_("access denied")},
    {ERROR_INVALID_HANDLE, N_("the handle is not valid")},
    {ERROR_NOT_ENOUGH_MEMORY, N_("not enough memory")},
    {ERROR_OUTOFMEMORY, N_("not enough memory")},
    {ERROR_WRITE_PROTECT, N_("the disk is write-protected")},
    {ERROR_NOT_READY, N_("the device is not ready")},
    {ERROR_BAD_COMMAND, N_("the device does not know the command")},
    {ERROR_GEN_FAILURE, N_("the device does not work")},
    {ERROR_SHARING_VIOLATION, N_("another program has it open")},
    {ERROR_LOCK_VIOLATION, N_("another program has locked it")},
    {ERROR_HANDLE_DISK_FULL, N_("no space left on the disk")},
    {ERROR_DISK_FULL, N_("no space left on the disk")},
    {ERROR_INVALID_FUNCTION, N_("the device does not support the request")},
    {ERROR_NOT_SUPPORTED, N_("the device does not support the request")},
    {ERROR_BAD_NETPATH, N_("the network path was not found")},
    {ERROR_DEV_NOT_EXIST, N_("no such device")},
    {ERROR_FILE_EXISTS, N_("it exists already")},
    {ERROR_ALREADY_EXISTS, N_("it exists already")},
    {ERROR_INVALID_PARAMETER, N_("invalid argument")},
    {ERROR_SEM_TIMEOUT, N_("the wait timed out")},
    {ERROR_INVALID_NAME, N_("the name is not valid")},
    {ERROR_BAD_PATHNAME, N_("the name is not valid")},
    {ERROR_FILENAME_EXCED_RANGE, N_("the name is too long")},
    {ERROR_DIRECTORY, N_("a part of the path is not a folder")},
    {ERROR_OPERATION_ABORTED, N_("the operation was aborted")},
    {ERROR_IO_DEVICE, N_("input/output error")},
    {ERROR_DEVICE_NOT_CONNECTED, N_("the device is not connected")},
    {ERROR_DEVICE_REMOVED, N_("the device was removed")},
};

}  // namespace

std::string SystemErrorText(unsigned long error) {
  for (const auto& [number, text] : kWindowsErrorTexts) {
    if (number == error) return Tr(text);
  }
  return Tr("Windows error %s", error);
}

}  // namespace zenor9::i18n
