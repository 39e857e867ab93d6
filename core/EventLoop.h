#pragma once

#include <functional>

namespace hd {

// Runs a nested event loop for ms milliseconds: pending events (socket data,
// timers, clicks) are handled meanwhile.
void DoEvents(int ms);

// Ends the application with the given exit code. Tests install their own handler
// so that the close sequence can be observed without ending the test run.
void Quit(int code);
void setQuitHandler(std::function<void(int)> handler);

} // namespace hd
