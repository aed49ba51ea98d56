#include "globalhotkeyfilter.h"

#include "platform/backend.h"

namespace {

constexpr int kVkG = 0x47;

} // namespace

tarnwick::GlobalHotkeyFilter::GlobalHotkeyFilter(platform::Shortcut id) : hotkeyId(id) {}

tarnwick::GlobalHotkeyFilter::~GlobalHotkeyFilter() {
    if (!added_)
        return;
    if (platform::GlobalShortcuts *shortcuts = platform::backend().shortcuts())
        shortcuts->remove(hotkeyId);
}

bool tarnwick::GlobalHotkeyFilter::add() {
    platform::GlobalShortcuts *shortcuts = platform::backend().shortcuts();
    if (!shortcuts)
        return false;
    added_ = shortcuts->add(hotkeyId, {platform::kModAlt | platform::kModControl, kVkG}, [this] {
        if (callback)
            callback();
    });
    return added_;
}
