#include "xtoplevels.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {
namespace {

// ICCCM WM_SIZE_HINTS: USPosition | PPosition | PWinGravity.
constexpr std::uint32_t kHintsFlags = 1 | 4 | 512;
constexpr std::uint32_t kStaticGravity = 10;
constexpr std::uint32_t kIconicState = 3;

} // namespace

XTopLevels::XTopLevels() {
    c_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c_)) {
        xcb_disconnect(c_);
        c_ = nullptr;
        return;
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
}

XTopLevels::~XTopLevels() {
    if (!c_)
        return;
    closeAll();
    xcb_disconnect(c_);
}

bool XTopLevels::ok() const {
    return c_ != nullptr;
}

std::uint32_t XTopLevels::atom(const char *name) {
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const std::uint32_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

std::uint32_t XTopLevels::open(const std::string &title, const std::string &programClass, int x,
                               int y, int width, int height, bool utf8Title) {
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    const xcb_window_t w = xcb_generate_id(c_);
    const std::uint32_t values[] = {screen->white_pixel};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    auto set = [&](xcb_atom_t name, xcb_atom_t type, int format, size_t n, const void *data) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, name, type,
                            static_cast<std::uint8_t>(format), static_cast<std::uint32_t>(n), data);
    };
    if (utf8Title)
        set(atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, title.size(), title.data());
    set(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, title.size(), title.data());
    const std::string wmClass = "instance-" + programClass + '\0' + programClass + '\0';
    set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, wmClass.size(), wmClass.data());
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    set(atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    std::uint32_t hints[18] = {};
    hints[0] = kHintsFlags;
    hints[1] = static_cast<std::uint32_t>(x);
    hints[2] = static_cast<std::uint32_t>(y);
    hints[3] = static_cast<std::uint32_t>(width);
    hints[4] = static_cast<std::uint32_t>(height);
    hints[17] = kStaticGravity;
    set(XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    // WM_HINTS: InputHint, takes the focus.
    const std::uint32_t wmHints[9] = {1, 1, 0, 0, 0, 0, 0, 0, 0};
    set(XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, wmHints);
    xcb_map_window(c_, w);
    sync();
    windows_.push_back(w);
    return w;
}

void XTopLevels::move(std::uint32_t window, int x, int y) {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
    xcb_configure_window(c_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    sync();
}

void XTopLevels::close(std::uint32_t window) {
    xcb_destroy_window(c_, window);
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
        if (*it == window) {
            windows_.erase(it);
            break;
        }
    }
    sync();
}

void XTopLevels::closeAll() {
    for (std::uint32_t w : windows_)
        xcb_destroy_window(c_, w);
    windows_.clear();
    sync();
}

void XTopLevels::sendToRoot(std::uint32_t window, std::uint32_t type, std::uint32_t d0,
                            std::uint32_t d1) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = 2; // a pager asks
    xcb_send_event(c_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    sync();
}

void XTopLevels::iconify(std::uint32_t window) {
    sendToRoot(window, atom("WM_CHANGE_STATE"), kIconicState, 0);
}

void XTopLevels::toDesktop(std::uint32_t window, std::uint32_t desktop) {
    sendToRoot(window, atom("_NET_WM_DESKTOP"), desktop, 2);
}

bool XTopLevels::cardinal(std::uint32_t window, std::uint32_t name, std::uint32_t type,
                          std::uint32_t &value) {
    xcb_get_property_reply_t *r =
        xcb_get_property_reply(c_, xcb_get_property(c_, 0, window, name, type, 0, 1), nullptr);
    const bool found = r && r->format == 32 && xcb_get_property_value_length(r) >= 4;
    if (found)
        std::memcpy(&value, xcb_get_property_value(r), 4);
    std::free(r);
    return found;
}

std::uint32_t XTopLevels::currentDesktop() {
    std::uint32_t d = 0;
    cardinal(root_, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, d);
    return d;
}

std::uint32_t XTopLevels::focus() {
    xcb_get_input_focus_reply_t *r =
        xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
    const std::uint32_t f = r ? r->focus : 0;
    std::free(r);
    return f;
}

bool XTopLevels::managed() {
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    std::uint32_t w = 0;
    std::uint32_t self = 0;
    return cardinal(root_, check, XCB_ATOM_WINDOW, w) && w &&
           cardinal(w, check, XCB_ATOM_WINDOW, self) && self == w;
}

bool XTopLevels::listed(std::uint32_t window) {
    xcb_get_property_reply_t *r = xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, root_, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 65536),
        nullptr);
    bool found = false;
    if (r && r->format == 32) {
        const auto *v = static_cast<const std::uint32_t *>(xcb_get_property_value(r));
        const int n = xcb_get_property_value_length(r) / 4;
        found = std::find(v, v + n, window) != v + n;
    }
    std::free(r);
    return found;
}

bool XTopLevels::viewable(std::uint32_t window) {
    xcb_get_window_attributes_reply_t *r =
        xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, window), nullptr);
    const bool yes = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(r);
    return yes;
}

void XTopLevels::sync() {
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

long startOpenbox(std::string &error) {
    // No configuration of the user's: the tests' HOME is a scratch folder.
    char arg0[] = "openbox";
    char arg1[] = "--sm-disable";
    char *argv[] = {arg0, arg1, nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        // Ends with us even if we crash: a window manager left running
        // would change what every later test on the display sees.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        execvp(arg0, argv);
        _exit(127);
    }
    if (pid < 0) {
        error = "cannot start openbox";
        return 0;
    }
    XTopLevels probe;
    std::uint32_t window = 0;
    auto renew = std::chrono::steady_clock::now();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            error = WIFEXITED(status) && WEXITSTATUS(status) == 127
                        ? "cannot start openbox (scripts/install-deps.sh installs it)"
                        : "openbox ended at once (another window manager running?)";
            return 0;
        }
        // It names itself early in its start and may drop a window mapped
        // before its event loop runs: wait until it lists one, mapping a
        // fresh one every half second.
        if (probe.ok() && probe.managed()) {
            if (window && probe.listed(window)) {
                probe.close(window);
                return pid;
            }
            if (!window || std::chrono::steady_clock::now() >= renew) {
                if (window)
                    probe.close(window);
                window = probe.open("window manager probe", "Probe", 50, 50, 100, 100);
                renew = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stopProcess(pid);
    error = "openbox did not take over the screen within 20 s";
    return 0;
}

void stopProcess(long pid) {
    if (pid <= 0)
        return;
    kill(static_cast<pid_t>(pid), SIGTERM);
    int status = 0;
    waitpid(static_cast<pid_t>(pid), &status, 0);
}

} // namespace testsupport
