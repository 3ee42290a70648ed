#include "operations/port_choice.h"

namespace zenor9 {

PortChoice ChoosePort(const std::string& given) {
  if (const int number = portmap::ComNumberOfName(given); number != 0) {
    return ChooseComPort(number);
  }
  return {given, 0, {given}};
}

PortChoice ChooseComPort(int number) {
  return {"COM" + std::to_string(number), number, portmap::ResolveCom(number)};
}

}  // namespace zenor9
