#pragma once

// Starting a thread as a return value instead of an exception.

#include <functional>
#include <thread>

// Starts `body` on `thread` (which must not be running). Returns false, with
// `thread` left empty and the reason logged, when the system cannot start
// another thread.
bool startThread(std::thread &thread, std::function<void()> body);
