#pragma once

// Bounds of a run shared by the run settings dialog and the command line.

// The run count that means: repeat until the stop command or the tray icon
// ends the run. It is stored in settings as it is.
inline constexpr int kRepeatUntilStopped = 114514;
// The largest count and start delay (seconds) the user can enter.
inline constexpr int kMaxRunCount = 9999;
inline constexpr int kMaxStartDelay = 9999;
