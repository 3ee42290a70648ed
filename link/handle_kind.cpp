#include "link/handle_kind.h"

namespace zenor9 {

std::optional<PortOpenResult> RefusalOfHandle(HandleKind kind, const LineStateCheck& lineState) {
  switch (kind) {
    case HandleKind::Disk:
      return PortOpenResult::Failure(PortFailure::NotSerial, PortDetail::File);
    case HandleKind::PipeOrSocket:
      return PortOpenResult::Failure(PortFailure::NotSerial, PortDetail::PipeOrSocket);
    case HandleKind::Character:
      return lineState();
    case HandleKind::Unknown:
      break;
  }
  if (lineState()) {
    return PortOpenResult::Failure(PortFailure::Missing, PortDetail::NoDeviceAnswers);
  }
  return std::nullopt;
}

}  // namespace zenor9
