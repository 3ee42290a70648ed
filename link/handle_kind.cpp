#include "link/handle_kind.h"

namespace zenor9 {

std::optional<PortOpenResult> RefusalOfHandle(HandleKind kind, const LineStateCheck& lineState) {
  switch (kind) {
    case HandleKind::Disk:
      return PortOpenResult::Failure(PortFailure::NotSerial, "a file");
    case HandleKind::PipeOrSocket:
      return PortOpenResult::Failure(PortFailure::NotSerial, "a pipe or socket");
    case HandleKind::Character:
      return lineState();
    case HandleKind::Unknown:
      break;
  }
  if (lineState()) {
    return PortOpenResult::Failure(PortFailure::Missing, "no device answers to this name");
  }
  return std::nullopt;
}

}  // namespace zenor9
