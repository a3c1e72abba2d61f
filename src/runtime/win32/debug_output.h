// Debugger output of the runtime. OutputDebugStringA writes its text to
// stderr; a test can install a capture that receives the texts instead.
#pragma once

#include <functional>

using DebugOutputCapture = std::function<void(const char*)>;

// Installs capture as the receiver of every OutputDebugStringA text. While a
// capture is installed nothing is written to stderr, so test output stays
// clean. An empty capture restores stderr.
void SetDebugOutputCapture(DebugOutputCapture capture);
