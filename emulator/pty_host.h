// The pseudo-terminal host: serves the emulated registers on the master side of
// a pty, so that the real POSIX serial backend can be tested end to end and the
// program can be tried without hardware.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "emulator/line.h"

namespace zenor9::emu {

class PtyHost {
 public:
  explicit PtyHost(Line& line);
  ~PtyHost();
  PtyHost(const PtyHost&) = delete;
  PtyHost& operator=(const PtyHost&) = delete;

  // Creates the pty and starts serving. False when no pty could be had.
  bool Start();
  // The slave device a program opens, for example /dev/pts/5.
  const std::string& DevicePath() const { return devicePath_; }
  // Closes the master side while a program may be using the slave: the device
  // disappears, as an unplugged adapter does.
  void Vanish();
  void Stop();

 private:
  void Serve();
  void Close();

  Line& line_;
  std::string devicePath_;
  int master_ = -1;
  int slaveKeeper_ = -1;  // keeps the pty alive between the program's opens
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zenor9::emu
