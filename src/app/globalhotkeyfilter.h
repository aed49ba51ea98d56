#pragma once

// Recognises the Ctrl+Alt+G hot key among the native events Qt passes on.
// The input layer decides what a hot key event looks like on this system.

#include "tarnwick.h"

#include <QAbstractNativeEventFilter>

#include <functional>

class tarnwick::GlobalHotkeyFilter : public QAbstractNativeEventFilter {
public:
    explicit GlobalHotkeyFilter(int id);
    ~GlobalHotkeyFilter() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // Runs inside the native event dispatch: it must only queue work.
    std::function<void()> callback;
    int hotkeyId;
};
