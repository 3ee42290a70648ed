#include "cli/virtual_register.h"

#include <cctype>

namespace zenor9::cli {

std::string PrefixAt(const SimOptions& options, int net) {
  const auto own = options.prefixOf.find(net);
  return own != options.prefixOf.end() ? own->second : options.prefix;
}

bool ParseVersionBytes(const std::string& text, uint8_t& high, uint8_t& low) {
  if (text.size() != 4) return false;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return false;
  }
  const unsigned long value = std::stoul(text, nullptr, 16);
  high = static_cast<uint8_t>(value >> 8);
  low = static_cast<uint8_t>(value & 0xFF);
  return true;
}

}  // namespace zenor9::cli
