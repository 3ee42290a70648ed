#include "i18n/system_error.h"

#include <cerrno>
#include <utility>

#include "i18n/text.h"

namespace zenor9::i18n {

namespace {

// The errno values that opening, reading, locking and replacing a file or a
// device can give. Where two names share a number (EAGAIN and EWOULDBLOCK on
// Linux) the first one counts.
constexpr std::pair<int, const char*> kErrnoTexts[] = {
    {ENOENT, N_("no such file or folder")},
    {EACCES, N_("access denied")},
    {EPERM, N_("operation not permitted")},
    {EBUSY, N_("the device is busy")},
    {EIO, N_("input/output error")},
    {ENODEV, N_("no such device")},
    {ENXIO, N_("no device behind this name")},
    {ENOTDIR, N_("a part of the path is not a folder")},
    {EISDIR, N_("it is a folder")},
    {ENOSPC, N_("no space left on the disk")},
    {EROFS, N_("the file system is read-only")},
    {ENAMETOOLONG, N_("the name is too long")},
    {ELOOP, N_("too many symbolic links")},
    {EINVAL, N_("invalid argument")},
    {EEXIST, N_("it exists already")},
    {ENOTEMPTY, N_("the folder is not empty")},
    {EXDEV, N_("not on the same disk")},
    {EAGAIN, N_("temporarily unavailable")},
    {EWOULDBLOCK, N_("temporarily unavailable")},
    {EMFILE, N_("too many open files")},
    {ENFILE, N_("too many open files")},
    {ENOMEM, N_("not enough memory")},
    {ENOTTY, N_("not a terminal device")},
    {ETIMEDOUT, N_("the wait timed out")},
};

}  // namespace

std::string ErrnoText(int error) {
  for (const auto& [number, text] : kErrnoTexts) {
    if (number == error) return Tr(text);
  }
  return Tr("system error %s", error);
}

std::string ErrorCodeText(const std::error_code& code) {
  if (code.category() == std::generic_category()) return ErrnoText(code.value());
  return SystemErrorText(static_cast<unsigned long>(code.value()));
}

}  // namespace zenor9::i18n
