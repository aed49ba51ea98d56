#include "backend.h"

#if defined(_WIN32)
#include "win32/win32backend.h"
#else
#include "gnome/gnomebackend.h"
#include "kde/kdebackend.h"
#include "wayland/waylandbackend.h"
#include "x11/x11backend.h"
#endif

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

namespace platform {
namespace {

class NullBackend final : public Backend {
public:
    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "none";
        return c;
    }
    InputLayer *synthesis() override { return nullptr; }
    KeyEvents *keyEvents() override { return nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    std::unique_ptr<InputRecorder> createRecorder() override { return nullptr; }
};

// Stands where the backend cannot record, so that the user learns why.
class UnavailableRecorder final : public InputRecorder {
public:
    explicit UnavailableRecorder(std::string backend) : backend_(std::move(backend)) {}
    bool start(RawInputListener *, std::string &error) override {
        error = "Recording is not available with the \"" + backend_ +
                "\" input backend: it cannot hear the keyboard and mouse here. Recording "
                "works in an X11 session, on Windows, and on Wayland where the program may "
                "read the input devices (group input).";
        return false;
    }
    void stop() override {}

private:
    std::string backend_;
};

std::atomic<RecorderFactory> recorderFactory{nullptr};

#if !defined(_WIN32)
// On GNOME's Wayland, whichever platform Qt runs on, mutter's remote desktop
// reaches every window where XWayland reaches only X11 programs; where it is
// absent or another version, the platform's own backend as before.
std::unique_ptr<Backend> gnomeBackend() {
    if (!gnome::isGnomeWayland())
        return nullptr;
    std::string why;
    std::unique_ptr<Backend> made = gnome::createBackend(why);
    if (!made)
        std::fprintf(stderr, "tarnwick: GNOME's remote desktop is not used: %s\n", why.c_str());
    return made;
}
#endif

struct Table {
    std::mutex mutex;
    std::map<std::string, BackendFactory> factories;

    Table() {
#if defined(_WIN32)
        factories["windows"] = [](std::string &error) { return win32::createBackend(error); };
#else
        factories["xcb"] = [](std::string &error) {
            if (std::unique_ptr<Backend> gnome = gnomeBackend())
                return gnome;
            return x11::createBackend(error);
        };
        for (const char *name : {"wayland", "wayland-egl"}) {
            const std::string platformName = name;
            factories[platformName] = [platformName](std::string &error) {
                if (std::unique_ptr<Backend> gnome = gnomeBackend())
                    return gnome;
                std::unique_ptr<Backend> made = wayland::createBackend(error);
                // KWin offers no virtual keyboard; its own fake input instead.
                std::vector<std::string> globals;
                if (!made && wayland::listGlobals(globals) && kde::isKwin(globals)) {
                    error.clear();
                    made = kde::createBackend(error);
                }
                if (!made)
                    error = "the display system \"" + platformName + "\": " + error;
                return made;
            };
        }
#endif
    }
};

Table &table() {
    static Table t;
    return t;
}

NullBackend nullBackend;
std::atomic<Backend *> current{&nullBackend};

} // namespace

Capabilities desktopInputCapabilities(const std::string &name) {
    Capabilities c;
    c.name = name;
    c.synthesis = true;
    c.keyEvents = true;
    c.swallowKeys = true;
    c.globalShortcuts = true;
    c.recording = true;
    c.runKeys = RunKeyWay::Heard;
    return c;
}

BackendFactory registerBackend(const std::string &platformName, BackendFactory factory) {
    Table &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    BackendFactory previous;
    auto it = t.factories.find(platformName);
    if (it != t.factories.end()) {
        previous = std::move(it->second);
        t.factories.erase(it);
    }
    if (factory)
        t.factories[platformName] = std::move(factory);
    return previous;
}

std::unique_ptr<Backend> createBackend(const std::string &platformName, std::string &error) {
    error.clear();
    BackendFactory factory;
    std::string known; // the names that have a backend, for the user
    {
        Table &t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.factories.find(platformName);
        if (it != t.factories.end())
            factory = it->second;
        for (const auto &entry : t.factories)
            known += (known.empty() ? "\"" : ", \"") + entry.first + "\"";
    }
    if (!factory) {
        error = "the display system \"" + platformName +
                "\" has no input backend: sending keys and clicks, key capture and the "
                "Ctrl+Alt+G shortcut need one that has (" +
                known + ")";
        return createNullBackend();
    }
    std::unique_ptr<Backend> made = factory(error);
    if (made)
        return made;
    if (error.empty())
        error = "the input backend for \"" + platformName + "\" could not be started";
    return createNullBackend();
}

std::unique_ptr<Backend> createNullBackend() {
    return std::make_unique<NullBackend>();
}

Backend &backend() {
    return *current.load();
}

Backend *setBackend(Backend *backend) {
    Backend *previous = current.exchange(backend ? backend : &nullBackend);
    setInput(backend ? backend->synthesis() : nullptr);
    return previous == &nullBackend ? nullptr : previous;
}

std::unique_ptr<InputRecorder> createRecorder() {
    const RecorderFactory factory = recorderFactory.load();
    if (factory)
        return factory();
    Backend &b = backend();
    std::unique_ptr<InputRecorder> recorder = b.createRecorder();
    if (!recorder)
        recorder = std::make_unique<UnavailableRecorder>(b.capabilities().name);
    return recorder;
}

void setRecorderFactory(RecorderFactory factory) {
    recorderFactory.store(factory);
}

} // namespace platform
