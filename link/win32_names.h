// Windows only: how the serial backend names devices, for the other Windows
// files that must name them the same way.
#pragma once

#include <string>

namespace zenor9 {

// A bare name (COM12, CNCA0) is a device of the \\.\ namespace, which reaches
// COM10 and up too; anything with a path separator or a drive is used as given.
std::string Win32DeviceName(const std::string& device);

}  // namespace zenor9
