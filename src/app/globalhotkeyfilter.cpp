#include "globalhotkeyfilter.h"

#include "platform/inputlayer.h"

tarnwick::GlobalHotkeyFilter::GlobalHotkeyFilter(int id) : hotkeyId(id) {}

tarnwick::GlobalHotkeyFilter::~GlobalHotkeyFilter() = default;

bool tarnwick::GlobalHotkeyFilter::nativeEventFilter(const QByteArray &eventType, void *message,
                                                     qintptr *) {
    int id = 0;
    if (!platform::input().isHotKeyEvent(eventType.constData(), message, &id) || id != hotkeyId)
        return false;
    if (callback)
        callback();
    return true;
}
