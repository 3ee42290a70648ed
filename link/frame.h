// Link frames: count byte, payload, and a check byte that makes all bytes of the
// frame add up to 0xFF modulo 256.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zenor9 {

// 0xFF minus the 8-bit sum of `bytes`: the bitwise NOT of their sum.
uint8_t LinkCheckByte(std::span<const uint8_t> bytes);
// Count byte, the payload, check byte.
std::vector<uint8_t> BuildLinkFrame(std::span<const uint8_t> payload);
// True when every byte of a received frame, check byte included, adds up to 0xFF.
bool FrameSumIsValid(std::span<const uint8_t> frame);

}  // namespace zenor9
