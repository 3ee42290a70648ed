#include "link/frame.h"

#include <numeric>

namespace zenor9 {

namespace {
uint8_t Sum(std::span<const uint8_t> bytes) {
  return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}
}  // namespace

uint8_t LinkCheckByte(std::span<const uint8_t> bytes) {
  return static_cast<uint8_t>(0xFF - Sum(bytes));
}

std::vector<uint8_t> BuildLinkFrame(std::span<const uint8_t> payload) {
  std::vector<uint8_t> frame;
  frame.reserve(payload.size() + 2);
  frame.push_back(static_cast<uint8_t>(payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(LinkCheckByte(frame));
  return frame;
}

bool FrameSumIsValid(std::span<const uint8_t> frame) {
  return Sum(frame) == 0xFF;
}

}  // namespace zenor9
