#pragma once

// Shortcuts on X11: passive key grabs on the root window, made on Qt's own
// connection, whose key events a native event filter of ours picks out
// before Qt sees them. Grabs are by keycode: after a keyboard map change
// they are made again.

#include "platform/shortcuts.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QObject;

namespace platform::x11 {

class X11Input;

class X11Shortcuts final : public GlobalShortcuts {
public:
    // `input` (which must outlive this) reads the keyboard map.
    explicit X11Shortcuts(X11Input &input);
    ~X11Shortcuts() override; // lets go of every grab

    bool add(Shortcut shortcut, Chord chord, std::function<void()> callback) override;
    void remove(Shortcut shortcut) override;
    unsigned long lastError() override;

    // Any thread: the keyboard map changed; grab again on the GUI thread.
    void regrabLater();

private:
    class Filter;
    struct Grab {
        Shortcut id = Shortcut::PositionCapture;
        Chord chord;
        std::function<void()> callback;
        int keycode = 0;
        unsigned mods = 0;
        unsigned ignored = 0;
        std::uint32_t root = 0;
        std::vector<unsigned> variants; // the lock modifier sets grabbed
    };
    bool grab(Grab &grab);
    void ungrab(const Grab &grab);
    void regrab();
    // The press of a shortcut: its callback is queued. Called by the filter.
    bool onKeyPress(const void *event);
    void fire(Shortcut id);

    X11Input &input_;
    std::unique_ptr<QObject> context_; // queued calls die with us
    std::unique_ptr<Filter> filter_;
    std::vector<Grab> grabs_; // GUI thread only
    std::atomic<bool> stale_{false};
    std::atomic<unsigned long> lastError_{0};
};

} // namespace platform::x11
