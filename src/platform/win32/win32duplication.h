#pragma once

// What changed on the screen, as DXGI desktop duplication tells it: each
// output duplicated, and at each question the frames that came since read
// for their dirty and moved rectangles, in virtual-screen coordinates. Where
// the system does not offer it (Wine, a remote session, too many
// duplicating programs) it says so, and the screen reader's caller compares
// captures instead. Not locked itself: the screen reader's mutex covers it.

#include "platform/damagehistory.h"
#include "platform/screenreader.h"

#include <memory>
#include <vector>

namespace platform::win32 {

class DesktopDuplication {
public:
    DesktopDuplication();
    ~DesktopDuplication();

    // Reads what came since the last question into `history`; false where
    // duplication is not to be had (then the history is restarted). A lost
    // duplication (a mode change, the secure desktop) is made again and
    // restarts the history.
    bool collect(DamageHistory &history);

private:
    struct Output;
    bool start();
    void stop();

    std::vector<std::unique_ptr<Output>> outputs_;
    void *device_ = nullptr; // ID3D11Device
    bool started_ = false;
    unsigned long long nextTry_ = 0; // GetTickCount64 before which no new start is tried
};

} // namespace platform::win32
