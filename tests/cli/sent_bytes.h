// The bytes a child process sent to the emulated line, read once they have all
// arrived: the pty host reads the master side on its own thread, so the last
// bytes of a child that has just exited may still be on their way.
#pragma once

#include <chrono>
#include <thread>
#include <vector>

#include "emulator/line.h"

namespace zenor9::testing {

// Waits (up to a generous 10 s, for loaded machines) until at least `expected`
// bytes were sent, then returns all of them, so that a surplus still shows.
inline std::vector<uint8_t> SentBytesOnceArrived(const emu::Line& line, std::size_t expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (line.SentBytes().size() < expected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return line.SentBytes();
}

}  // namespace zenor9::testing
