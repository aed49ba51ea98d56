#include "waylandconnection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform::wayland {
namespace {

WaylandConnection *self(void *data) {
    return static_cast<WaylandConnection *>(data);
}

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version) {
    self(data)->addGlobal(registry, name, interface, version);
}

void onGlobalRemove(void *data, wl_registry *, uint32_t name) {
    self(data)->removeGlobal(name);
}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

template <typename T>
T *bind(wl_registry *registry, uint32_t name, const wl_interface *interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T *>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::open(std::string &error) {
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection);
    if (!connection->connect(error))
        return nullptr;
    return connection;
}

bool WaylandConnection::connect(std::string &error) {
    display_ = wl_display_connect(nullptr);
    if (!display_) {
        error = "cannot connect to the Wayland compositor (WAYLAND_DISPLAY)";
        return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then what the outputs say about themselves.
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
        error = "the Wayland compositor closed the connection";
        return false;
    }
    return true;
}

void WaylandConnection::addGlobal(wl_registry *registry, uint32_t name, const char *interface,
                                  uint32_t version) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        if (!seat_) // the first seat: the one a desktop of one user has
            seat_ = bind<wl_seat>(registry, name, &wl_seat_interface, version, 1);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        outputs_->add(registry, name, version);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        outputs_->setXdgOutputManager(bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, 2));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        keyboardManager_ = bind<zwp_virtual_keyboard_manager_v1>(
            registry, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        shm_ = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
        // Version 2 adds the copy that waits for damage and tells it.
        screencopyVersion_ = std::min(version, 2u);
        screencopy_ = bind<zwlr_screencopy_manager_v1>(
            registry, name, &zwlr_screencopy_manager_v1_interface, version, 2);
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        pointerManager_ = bind<zwlr_virtual_pointer_manager_v1>(
            registry, name, &zwlr_virtual_pointer_manager_v1_interface, version, 1);
    }
}

void WaylandConnection::removeGlobal(uint32_t name) {
    outputs_->remove(name);
}

WaylandConnection::~WaylandConnection() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!display_)
        return;
    if (pointerManager_)
        zwlr_virtual_pointer_manager_v1_destroy(pointerManager_);
    if (keyboardManager_)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(keyboardManager_));
    outputs_.reset();
    if (screencopy_)
        zwlr_screencopy_manager_v1_destroy(screencopy_);
    if (shm_)
        wl_shm_destroy(shm_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

bool WaylandConnection::usableLocked() {
    if (!display_ || lost_)
        return false;
    if (wl_display_get_error(display_) != 0) {
        lost_ = true;
        return false;
    }
    return true;
}

void WaylandConnection::flushLocked() {
    queued_ = 0;
    ++writes_;
    // The requests wait in a small buffer: a full one that cannot be written
    // would end the connection, so it is written out while the compositor
    // keeps up.
    while (wl_display_flush(display_) < 0) {
        if (errno != EAGAIN) {
            lost_ = true;
            return;
        }
        pollfd p{wl_display_get_fd(display_), POLLOUT, 0};
        if (poll(&p, 1, 5000) <= 0) {
            lost_ = true;
            return;
        }
    }
}

void WaylandConnection::pumpLocked() {
    if (!usableLocked())
        return;
    while (wl_display_prepare_read(display_) != 0)
        wl_display_dispatch_pending(display_);
    flushLocked();
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&p, 1, 0) > 0)
        wl_display_read_events(display_);
    else
        wl_display_cancel_read(display_);
    wl_display_dispatch_pending(display_);
}

bool WaylandConnection::roundtripLocked() {
    if (!usableLocked())
        return false;
    if (wl_display_roundtrip(display_) < 0)
        lost_ = true;
    return !lost_;
}

} // namespace platform::wayland
