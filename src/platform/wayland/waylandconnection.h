#pragma once

// A Wayland connection of the backend's own (never the GUI toolkit's): the
// registry's globals the backend binds, the outputs, and the one mutex every
// user of the connection (virtual keyboard, virtual pointer, screencopy)
// takes, so the run's threads may call at once. Requests wait in
// libwayland's buffer until flushed; a connection the compositor closed
// stays lost.

#include "waylandoutputs.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_screencopy_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
struct zwlr_virtual_pointer_manager_v1;

namespace platform::wayland {

class WaylandConnection {
public:
    // Connects to the compositor named by WAYLAND_DISPLAY and learns its
    // globals and outputs; on failure returns null and says why in `error`.
    static std::unique_ptr<WaylandConnection> open(std::string &error);
    ~WaylandConnection();

    std::mutex &mutex() { return mutex_; }

    // All below with mutex() held.
    wl_display *display() const { return display_; }
    // Null where the compositor offers none.
    wl_seat *seat() const { return seat_; }
    wl_shm *shm() const { return shm_; }
    zwlr_screencopy_manager_v1 *screencopy() const { return screencopy_; }
    std::uint32_t screencopyVersion() const { return screencopyVersion_; }
    zwp_virtual_keyboard_manager_v1 *keyboardManager() const { return keyboardManager_; }
    zwlr_virtual_pointer_manager_v1 *pointerManager() const { return pointerManager_; }
    OutputLayout &outputs() { return *outputs_; }

    // False once the connection is lost.
    bool usableLocked();
    // Writes out what waits in the buffer; the connection is lost where that
    // cannot be done.
    void flushLocked();
    // Reads and dispatches what the compositor sent, without waiting.
    void pumpLocked();
    // Waits until the compositor handled everything sent; false (and lost)
    // when it closed the connection.
    bool roundtripLocked();
    // How many flushes so far: a request queued since the last one waits.
    std::uint64_t writes() const { return writes_; }
    // Counts a request queued without a flush; returns how many wait now.
    unsigned queuedLocked() { return ++queued_; }

    // Registry bookkeeping, public for the protocol listeners only.
    void addGlobal(wl_registry *registry, std::uint32_t name, const char *interface,
                   std::uint32_t version);
    void removeGlobal(std::uint32_t name);

private:
    WaylandConnection() = default;
    bool connect(std::string &error);

    std::mutex mutex_;
    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    wl_seat *seat_ = nullptr;
    wl_shm *shm_ = nullptr;
    zwlr_screencopy_manager_v1 *screencopy_ = nullptr;
    std::uint32_t screencopyVersion_ = 0;
    zwp_virtual_keyboard_manager_v1 *keyboardManager_ = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointerManager_ = nullptr;
    std::unique_ptr<OutputLayout> outputs_ = std::make_unique<OutputLayout>();
    std::uint64_t writes_ = 0;
    unsigned queued_ = 0;
    bool lost_ = false;
};

} // namespace platform::wayland
