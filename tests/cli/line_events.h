// Something done to the line the moment the program first addresses a
// register: the port made to go away, a stop signal sent to the program. It
// runs on a thread of its own: the pty host's thread, which tells of each
// byte, cannot stop itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "emulator/line.h"
#include "link/net_number.h"

namespace zenor9::testing {

class AtFirstAddressByte {
 public:
  AtFirstAddressByte(emu::Line& line, uint8_t net, std::function<void()> action)
      : line_(line), thread_([state = state_, action = std::move(action)] {
          std::unique_lock<std::mutex> lock(state->mutex);
          state->woken.wait(lock, [&state] { return state->addressed || state->ended; });
          const bool addressed = state->addressed;
          lock.unlock();  // the action may wait for the host's thread, which takes the lock
          if (addressed) action();
        }) {
    // A byte still on its way when this object is gone finds the state alive.
    line.SetObserver(
        [state = state_, address = AddressByteOfNetNumber(net)](const emu::WireByte& byte) {
          if (!byte.toRegister || byte.parity != ParityMode::Mark || byte.value != address) return;
          const std::lock_guard<std::mutex> lock(state->mutex);
          state->addressed = true;
          state->woken.notify_all();
        });
  }
  ~AtFirstAddressByte() {
    line_.SetObserver(nullptr);
    {
      const std::lock_guard<std::mutex> lock(state_->mutex);
      state_->ended = true;
      state_->woken.notify_all();
    }
    thread_.join();
  }
  AtFirstAddressByte(const AtFirstAddressByte&) = delete;
  AtFirstAddressByte& operator=(const AtFirstAddressByte&) = delete;

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable woken;
    bool addressed = false;
    bool ended = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
  emu::Line& line_;
  std::thread thread_;
};

}  // namespace zenor9::testing
