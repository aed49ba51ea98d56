#pragma once

// A connection of the test's own to the X server, to press keys as a user
// would (XTest from another client) and to read what the server holds, away
// from the input layer under test. Qt-free: the Xlib headers stay in the .cpp.

#include <map>
#include <string>
#include <vector>

struct _XDisplay;

namespace testsupport {

class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;
    bool ok() const { return display_ != nullptr; }

    // Presses or releases a keycode as a physical key would.
    void key(int keycode, bool down);
    std::vector<int> pressedKeycodes();
    bool buttonDown(int button);
    // Keycodes of the current map, and whether a keycode locks something or
    // switches the group (pressing it would change the state under test).
    int minKeycode();
    int maxKeycode();
    bool isLockOrGroupKey(int keycode);
    // The keycode carrying `keysymName` in any group and level, else the key
    // named `placeName` (an XKB key name: AC02 is where S is on a US board).
    int keycodeFor(const char *keysymName, const char *placeName = nullptr);
    // Writes a key's row back as it is: another client changing the map,
    // as xmodmap would, without changing what the key types.
    void rewriteKeyRow(int keycode);
    void setNumLock(bool on);
    // Gives a window the focus at once, whatever time its owner last saw.
    void focus(unsigned long window);
    void resetState(bool numLock); // group 1, no lock but Num Lock as asked
    // RepeatKeys of every slave keyboard by name, and of the XTEST one.
    std::map<std::string, bool> keyboardsRepeat();
    bool xtestRepeats();
    void setKeyboardsRepeat(bool on); // as `xset r` sets it: every keyboard
    // Kills the connections of process `pid` that own no window (an input
    // layer's), or those that do (the GUI's). Returns how many.
    int killClientsOf(long pid, bool withWindows);
    void sync();

private:
    _XDisplay *display_ = nullptr;
};

} // namespace testsupport
