// Simulation control: what user mode wrote with OutputDebugString. Set the environment variable TDL_DBGPRINT=1
// to also echo it to standard error.
#pragma once

#include <string>
#include <vector>

namespace win32 {

constexpr size_t kKeptDebugStrings = 1000; // older strings are dropped

// The strings in the order they were written, each as passed (line ends included).
std::vector<std::string> DebugOutput();
void ClearDebugOutput();

} // namespace win32
