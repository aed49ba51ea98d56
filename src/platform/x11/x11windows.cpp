#include "x11windows.h"

#include "platform/utf8text.h"

#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace platform::x11 {
namespace {

using Clock = std::chrono::steady_clock;

struct FreeReply {
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

enum AtomIndex {
    kSupportingWmCheck,
    kClientListStacking,
    kClientList,
    kActiveWindow,
    kNetWmName,
    kUtf8String,
    kNetWmPid,
    kNetWmDesktop,
    kCurrentDesktop,
    kWmState,
    kWindowType,
    kWindowTypeDock,
    kWindowTypeDesktop,
    kAtomCount
};

const char *const kAtomNames[kAtomCount] = {"_NET_SUPPORTING_WM_CHECK",
                                            "_NET_CLIENT_LIST_STACKING",
                                            "_NET_CLIENT_LIST",
                                            "_NET_ACTIVE_WINDOW",
                                            "_NET_WM_NAME",
                                            "UTF8_STRING",
                                            "_NET_WM_PID",
                                            "_NET_WM_DESKTOP",
                                            "_NET_CURRENT_DESKTOP",
                                            "WM_STATE",
                                            "_NET_WM_WINDOW_TYPE",
                                            "_NET_WM_WINDOW_TYPE_DOCK",
                                            "_NET_WM_WINDOW_TYPE_DESKTOP"};

constexpr std::uint32_t kAllDesktops = 0xFFFFFFFFu;
constexpr std::uint32_t kWithdrawnState = 0;
// EWMH source indication: a pager, which is what we act as; the manager
// does not hold such a request back as focus stealing.
constexpr std::uint32_t kSourcePager = 2;
constexpr auto kResendInterval = std::chrono::milliseconds(250);
constexpr auto kPollInterval = std::chrono::milliseconds(1);
constexpr int kClientSearchDepth = 3;

std::u16string fromLatin1(const char *s, size_t n) {
    std::u16string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out.push_back(static_cast<unsigned char>(s[i]));
    return out;
}

// What one window's facts are asked with; every cookie is answered once.
struct Pending {
    xcb_window_t window = 0;
    // The list needs fewer facts than one window's fresh look: it knows the
    // window is there, and asks WM_NAME only of those without _NET_WM_NAME.
    bool full = false;
    xcb_get_property_cookie_t netName{}, name{}, wmClass{}, pid{}, type{}, wmState{};
    xcb_get_geometry_cookie_t geometry{};
    xcb_translate_coordinates_cookie_t origin{};
    xcb_get_window_attributes_cookie_t attributes{};
};

class X11Windows final : public WindowAccess {
public:
    X11Windows(xcb_connection_t *c, int screen) : c_(c) {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
        for (int i = 0; i < screen && it.rem > 1; ++i)
            xcb_screen_next(&it);
        root_ = it.data->root;
        const std::string selection = "WM_S" + std::to_string(screen);
        Reply<xcb_intern_atom_reply_t> wmSelection(xcb_intern_atom_reply(
            c_,
            xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(selection.size()), selection.data()),
            nullptr));
        wmSelection_ = wmSelection ? wmSelection->atom : xcb_atom_t(XCB_ATOM_NONE);
        xcb_intern_atom_cookie_t cookies[kAtomCount];
        for (int i = 0; i < kAtomCount; ++i)
            cookies[i] = xcb_intern_atom(
                c_, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
        for (int i = 0; i < kAtomCount; ++i) {
            Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c_, cookies[i], nullptr));
            atoms_[i] = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        }
    }
    ~X11Windows() override { xcb_disconnect(c_); }

    std::vector<WindowInfo> windows() override {
        std::vector<WindowInfo> found;
        if (!usable())
            return found;
        const std::vector<xcb_window_t> ids = clientsTopFirst();
        std::vector<Pending> pending;
        pending.reserve(ids.size());
        for (xcb_window_t id : ids)
            pending.push_back(ask(id, false));
        for (const Pending &p : pending) {
            WindowInfo info;
            bool present = false;
            bool desktopPart = false;
            if (collect(p, info, present, desktopPart) && !desktopPart)
                found.push_back(std::move(info));
        }
        // Old clients name themselves in WM_NAME only.
        std::vector<std::pair<size_t, xcb_get_property_cookie_t>> names;
        for (size_t i = 0; i < found.size(); ++i)
            if (found[i].title.empty())
                names.emplace_back(i, askName(static_cast<xcb_window_t>(found[i].id)));
        for (const auto &n : names)
            found[n.first].title = nameFrom(property(n.second));
        return found;
    }

    bool info(std::uint64_t id, WindowInfo &out) override {
        if (!usable() || id == 0 || id > 0xFFFFFFFFu)
            return false;
        bool present = false;
        bool desktopPart = false;
        WindowInfo info;
        const auto w = static_cast<xcb_window_t>(id);
        if (!collect(ask(w, true), info, present, desktopPart))
            return false;
        // A manager lists a new window a moment before it maps it.
        if (!present && !(managed() && listedByManager(w)))
            return false;
        out = std::move(info);
        return true;
    }

    std::uint64_t activeWindow() override {
        if (!usable())
            return 0;
        if (managed()) {
            std::uint32_t active = 0;
            if (cardinal(root_, atoms_[kActiveWindow], XCB_ATOM_WINDOW, active))
                return active;
        }
        return focusedClient();
    }

    std::uint64_t windowAt(int x, int y) override {
        if (!usable())
            return 0;
        std::vector<xcb_window_t> tops = mappedTopLevels();
        std::vector<xcb_get_geometry_cookie_t> cookies;
        cookies.reserve(tops.size());
        for (xcb_window_t w : tops)
            cookies.push_back(xcb_get_geometry(c_, w));
        xcb_window_t hit = 0;
        for (size_t i = 0; i < tops.size(); ++i) {
            Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c_, cookies[i], nullptr));
            if (!g || hit)
                continue;
            const int outerW = g->width + 2 * g->border_width;
            const int outerH = g->height + 2 * g->border_width;
            if (x >= g->x && x < g->x + outerW && y >= g->y && y < g->y + outerH)
                hit = tops[i];
        }
        if (!hit)
            return 0;
        return clientsOf({hit}).front();
    }

    bool activate(std::uint64_t id) override {
        if (!usable() || id == 0 || id > 0xFFFFFFFFu)
            return false;
        const auto w = static_cast<xcb_window_t>(id);
        WindowInfo ignored;
        if (!info(id, ignored))
            return false;
        return managed() ? activateManaged(w) : activateDirectly(w);
    }

private:
    bool usable() const { return xcb_connection_has_error(c_) == 0; }

    // Null when the window is gone or the property has another type.
    Reply<xcb_get_property_reply_t> property(xcb_get_property_cookie_t cookie) {
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(c_, cookie, nullptr));
        if (r && r->type == XCB_ATOM_NONE)
            r.reset();
        return r;
    }

    xcb_get_property_cookie_t askProperty(xcb_window_t w, xcb_atom_t name, xcb_atom_t type,
                                          std::uint32_t longs = 1) {
        return xcb_get_property(c_, 0, w, name, type, 0, longs);
    }

    bool cardinal(xcb_window_t w, xcb_atom_t name, xcb_atom_t type, std::uint32_t &value) {
        Reply<xcb_get_property_reply_t> r = property(askProperty(w, name, type));
        if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
            return false;
        std::memcpy(&value, xcb_get_property_value(r.get()), 4);
        return true;
    }

    // An EWMH manager is running: the check window names itself.
    bool managed() {
        std::uint32_t check = 0;
        if (!cardinal(root_, atoms_[kSupportingWmCheck], XCB_ATOM_WINDOW, check) || !check)
            return false;
        std::uint32_t self = 0;
        return cardinal(check, atoms_[kSupportingWmCheck], XCB_ATOM_WINDOW, self) && self == check;
    }

    std::vector<xcb_window_t> windowList(xcb_window_t w, xcb_atom_t name) {
        Reply<xcb_get_property_reply_t> r = property(askProperty(w, name, XCB_ATOM_WINDOW, 65536));
        if (!r || r->format != 32)
            return {};
        const int length = xcb_get_property_value_length(r.get());
        if (length < 4)
            return {};
        std::vector<xcb_window_t> list(static_cast<size_t>(length) / 4);
        std::memcpy(list.data(), xcb_get_property_value(r.get()), list.size() * 4);
        return list;
    }

    bool listedByManager(xcb_window_t w) {
        for (AtomIndex name : {kClientListStacking, kClientList}) {
            const std::vector<xcb_window_t> list = windowList(root_, atoms_[name]);
            if (std::find(list.begin(), list.end(), w) != list.end())
                return true;
        }
        return false;
    }

    // The manager's stacking list is bottom first; its plain client list is
    // in mapping order, newest last, which is the best guess without it.
    std::vector<xcb_window_t> clientsTopFirst() {
        if (managed()) {
            for (AtomIndex name : {kClientListStacking, kClientList}) {
                std::vector<xcb_window_t> list = windowList(root_, atoms_[name]);
                if (!list.empty()) {
                    std::reverse(list.begin(), list.end());
                    return list;
                }
            }
        }
        // Without any manager (none owns the ICCCM selection) no window is
        // framed: the top-levels are the clients.
        std::vector<xcb_window_t> tops = mappedTopLevels();
        return anyManager() ? clientsOf(tops) : tops;
    }

    bool anyManager() {
        Reply<xcb_get_selection_owner_reply_t> r(
            xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, wmSelection_), nullptr));
        return !r || r->owner != XCB_WINDOW_NONE;
    }

    // The root's mapped children that a window manager would manage, top first.
    std::vector<xcb_window_t> mappedTopLevels() {
        std::vector<xcb_window_t> tops;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr));
        if (!tree)
            return tops;
        const int n = xcb_query_tree_children_length(tree.get());
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        std::vector<xcb_get_window_attributes_cookie_t> cookies;
        cookies.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            cookies.push_back(xcb_get_window_attributes(c_, children[i]));
        for (int i = 0; i < n; ++i) {
            Reply<xcb_get_window_attributes_reply_t> a(
                xcb_get_window_attributes_reply(c_, cookies[static_cast<size_t>(i)], nullptr));
            if (a && a->map_state == XCB_MAP_STATE_VIEWABLE && !a->override_redirect &&
                a->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT)
                tops.push_back(children[i]);
        }
        std::reverse(tops.begin(), tops.end());
        return tops;
    }

    // The client window of each top-level: the first with WM_STATE in it,
    // breadth first (a manager's frame holds it); the top-level itself where
    // none has it (no manager sets it). Asked level by level for all at once.
    std::vector<xcb_window_t> clientsOf(const std::vector<xcb_window_t> &tops) {
        std::vector<xcb_window_t> found(tops.size(), 0);
        std::vector<std::pair<size_t, xcb_window_t>> level;
        for (size_t i = 0; i < tops.size(); ++i)
            level.emplace_back(i, tops[i]);
        for (int depth = 0; depth < kClientSearchDepth && !level.empty(); ++depth) {
            std::vector<xcb_get_property_cookie_t> states;
            for (const auto &entry : level)
                states.push_back(askProperty(entry.second, atoms_[kWmState], atoms_[kWmState]));
            for (size_t k = 0; k < level.size(); ++k) {
                Reply<xcb_get_property_reply_t> r = property(states[k]);
                if (r && !found[level[k].first])
                    found[level[k].first] = level[k].second;
            }
            if (depth + 1 == kClientSearchDepth)
                break;
            std::vector<std::pair<size_t, xcb_query_tree_cookie_t>> trees;
            for (const auto &entry : level)
                if (!found[entry.first])
                    trees.emplace_back(entry.first, xcb_query_tree(c_, entry.second));
            std::vector<std::pair<size_t, xcb_window_t>> next;
            for (const auto &t : trees) {
                Reply<xcb_query_tree_reply_t> r(xcb_query_tree_reply(c_, t.second, nullptr));
                if (!r)
                    continue;
                const int n = xcb_query_tree_children_length(r.get());
                const xcb_window_t *children = xcb_query_tree_children(r.get());
                for (int i = 0; i < n; ++i)
                    next.emplace_back(t.first, children[i]);
            }
            level = std::move(next);
        }
        for (size_t i = 0; i < tops.size(); ++i)
            if (!found[i])
                found[i] = tops[i];
        return found;
    }

    xcb_get_property_cookie_t askName(xcb_window_t w) {
        return askProperty(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 4096);
    }

    Pending ask(xcb_window_t w, bool full) {
        Pending p;
        p.window = w;
        p.full = full;
        p.netName = askProperty(w, atoms_[kNetWmName], atoms_[kUtf8String], 4096);
        p.wmClass = askProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 1024);
        p.pid = askProperty(w, atoms_[kNetWmPid], XCB_ATOM_CARDINAL);
        p.type = askProperty(w, atoms_[kWindowType], XCB_ATOM_ATOM, 64);
        p.geometry = xcb_get_geometry(c_, w);
        p.origin = xcb_translate_coordinates(c_, w, root_, 0, 0);
        if (full) {
            p.name = askName(w);
            p.wmState = askProperty(w, atoms_[kWmState], atoms_[kWmState]);
            p.attributes = xcb_get_window_attributes(c_, w);
        }
        return p;
    }

    static std::u16string textOf(const Reply<xcb_get_property_reply_t> &r, bool utf8) {
        const auto *s = static_cast<const char *>(xcb_get_property_value(r.get()));
        const auto n = static_cast<size_t>(xcb_get_property_value_length(r.get()));
        return utf8 ? utf16FromUtf8(s, n) : fromLatin1(s, n);
    }

    // WM_NAME, for a window without _NET_WM_NAME: UTF8_STRING or Latin-1.
    std::u16string nameFrom(const Reply<xcb_get_property_reply_t> &name) {
        if (!name || name->format != 8)
            return {};
        return textOf(name, name->type == atoms_[kUtf8String]);
    }

    // Takes every reply of `p`; false when the window is gone. `present`:
    // mapped, or iconic under a manager (withdrawn is gone). `desktopPart`:
    // a panel or the desktop itself, which is no one's target.
    bool collect(const Pending &p, WindowInfo &out, bool &present, bool &desktopPart) {
        Reply<xcb_get_property_reply_t> netName = property(p.netName);
        Reply<xcb_get_property_reply_t> wmClass = property(p.wmClass);
        Reply<xcb_get_property_reply_t> pid = property(p.pid);
        Reply<xcb_get_property_reply_t> type = property(p.type);
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c_, p.geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> origin(
            xcb_translate_coordinates_reply(c_, p.origin, nullptr));
        Reply<xcb_get_property_reply_t> name;
        Reply<xcb_get_property_reply_t> wmState;
        Reply<xcb_get_window_attributes_reply_t> attributes;
        if (p.full) {
            name = property(p.name);
            wmState = property(p.wmState);
            attributes.reset(xcb_get_window_attributes_reply(c_, p.attributes, nullptr));
        }
        if (!geometry || !origin || (p.full && !attributes))
            return false;

        out.id = p.window;
        if (netName && netName->format == 8)
            out.title = textOf(netName, true);
        else
            out.title = nameFrom(name);
        if (wmClass && wmClass->format == 8) {
            // "instance\0class\0"
            const auto *s = static_cast<const char *>(xcb_get_property_value(wmClass.get()));
            const auto n = static_cast<size_t>(xcb_get_property_value_length(wmClass.get()));
            const void *nul = std::memchr(s, '\0', n);
            if (nul) {
                const char *cls = static_cast<const char *>(nul) + 1;
                const size_t rest = n - static_cast<size_t>(cls - s);
                out.program = fromLatin1(cls, strnlen(cls, rest));
            }
        }
        if (pid && pid->format == 32 && xcb_get_property_value_length(pid.get()) >= 4) {
            std::uint32_t v = 0;
            std::memcpy(&v, xcb_get_property_value(pid.get()), 4);
            out.pid = v;
        }
        out.client = Rect{origin->dst_x, origin->dst_y, geometry->width, geometry->height};

        std::uint32_t state = kWithdrawnState;
        const bool hasState =
            wmState && wmState->format == 32 && xcb_get_property_value_length(wmState.get()) >= 4;
        if (hasState)
            std::memcpy(&state, xcb_get_property_value(wmState.get()), 4);
        present = hasState ? state != kWithdrawnState
                           : !p.full || attributes->map_state != XCB_MAP_STATE_UNMAPPED;
        desktopPart = false;
        if (type && type->format == 32) {
            const int n = xcb_get_property_value_length(type.get()) / 4;
            const auto *v = static_cast<const xcb_atom_t *>(xcb_get_property_value(type.get()));
            for (int i = 0; i < n; ++i)
                desktopPart = desktopPart || v[i] == atoms_[kWindowTypeDock] ||
                              v[i] == atoms_[kWindowTypeDesktop];
        }
        return true;
    }

    // The root's child that holds `w`; 0 when `w` is gone.
    xcb_window_t topLevelOf(xcb_window_t w) {
        while (w && w != root_) {
            Reply<xcb_query_tree_reply_t> r(
                xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr));
            if (!r)
                return 0;
            if (r->parent == root_ || r->parent == XCB_WINDOW_NONE)
                return w;
            w = r->parent;
        }
        return 0;
    }

    std::uint64_t focusedClient() {
        Reply<xcb_get_input_focus_reply_t> f(
            xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        if (!f || f->focus == XCB_NONE || f->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
            f->focus == root_)
            return 0;
        const xcb_window_t top = topLevelOf(f->focus);
        return top ? clientsOf({top}).front() : 0;
    }

    void sendToRoot(xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = type;
        std::memcpy(event.data.data32, data.data(), sizeof event.data.data32);
        xcb_send_event(c_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
        xcb_flush(c_);
    }

    // Its desktop first, where it is on another one than the current.
    void showDesktopOf(xcb_window_t w) {
        std::uint32_t desktop = 0;
        std::uint32_t current = 0;
        if (cardinal(w, atoms_[kNetWmDesktop], XCB_ATOM_CARDINAL, desktop) &&
            desktop != kAllDesktops &&
            cardinal(root_, atoms_[kCurrentDesktop], XCB_ATOM_CARDINAL, current) &&
            desktop != current)
            sendToRoot(root_, atoms_[kCurrentDesktop], {desktop, XCB_CURRENT_TIME, 0, 0, 0});
    }

    std::uint32_t managersActive() {
        std::uint32_t active = 0;
        cardinal(root_, atoms_[kActiveWindow], XCB_ATOM_WINDOW, active);
        return active;
    }

    bool activateManaged(xcb_window_t w) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kActivateTimeoutMs);
        auto resend = Clock::now();
        bool first = true;
        for (;;) {
            const auto now = Clock::now();
            if (now >= resend) {
                // Again: the manager may have been busy, the window not yet
                // mapped or just moved to another desktop. A window that went
                // meanwhile is given up at once.
                WindowInfo ignored;
                if (!first && !info(w, ignored))
                    return false;
                first = false;
                showDesktopOf(w);
                sendToRoot(w, atoms_[kActiveWindow],
                           {kSourcePager, XCB_CURRENT_TIME, managersActive(), 0, 0});
                resend = now + kResendInterval;
            }
            if (managersActive() == w)
                return true;
            if (now >= deadline || !usable())
                return false;
            std::this_thread::sleep_for(kPollInterval);
        }
    }

    bool activateDirectly(xcb_window_t w) {
        const xcb_window_t top = topLevelOf(w);
        if (!top)
            return false;
        xcb_map_window(c_, top);
        xcb_map_window(c_, w);
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c_, top, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        const auto deadline = Clock::now() + std::chrono::milliseconds(kActivateTimeoutMs);
        for (;;) {
            // Refused (BadMatch) until the window is viewable: try again.
            xcb_generic_error_t *error = xcb_request_check(
                c_, xcb_set_input_focus_checked(c_, XCB_INPUT_FOCUS_PARENT, w, XCB_CURRENT_TIME));
            const bool refused = error != nullptr;
            const bool gone = error && error->error_code == XCB_WINDOW;
            std::free(error);
            if (gone)
                return false;
            if (!refused && activeWindow() == w)
                return true;
            if (Clock::now() >= deadline || !usable())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    xcb_connection_t *c_;
    xcb_window_t root_ = 0;
    xcb_atom_t wmSelection_ = XCB_ATOM_NONE; // WM_S<screen>
    xcb_atom_t atoms_[kAtomCount] = {};
};

} // namespace

std::unique_ptr<WindowAccess> createWindowAccess(std::string &error) {
    int screen = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screen);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        error = "cannot open the X display for window access (is DISPLAY set?)";
        return nullptr;
    }
    return std::make_unique<X11Windows>(c, screen);
}

} // namespace platform::x11
