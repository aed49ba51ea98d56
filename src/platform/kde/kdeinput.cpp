#include "kdeinput.h"

#include "kde-fake-input-client-protocol.h"
#include "platform/desktop/pasteroute.h"
#include "platform/wayland/waylandkeymap.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QLoggingCategory>
#include <QString>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace platform::kde {

struct KdeInput::Source {
    KdeInput *owner = nullptr;
    zwlr_data_control_source_v1 *source = nullptr;
    ClipboardContent content;
    std::uint64_t sends = 0;
    bool cancelled = false;
    bool holdsPipes = false;
    std::vector<int> pipes; // written, not yet closed
    ~Source() {
        for (int fd : pipes)
            close(fd);
    }
};

namespace {

Q_LOGGING_CATEGORY(lcKde, "tarnwick.platform")

constexpr auto kKeymapWait = std::chrono::seconds(3);
// How long a program may take to ask for what it pastes, and to hand over
// what the clipboard held before.
constexpr auto kPasteWait = std::chrono::seconds(5);
constexpr unsigned kKeysPerSync = 32;
constexpr auto kPasteSettle = std::chrono::milliseconds(100);
constexpr int kReadTimeoutMs = 3000;
constexpr std::size_t kClipboardLimit = 64u << 20;

// The text types a paste offers: what Qt, GTK and X11 programs ask for.
const char *const kTextTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING",
                                  "TEXT"};

KdeInput *self(void *data) {
    return static_cast<KdeInput *>(data);
}

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version) {
    self(data)->onGlobal(registry, name, interface, version);
}
void onGlobalRemove(void *data, wl_registry *, uint32_t name) {
    self(data)->onGlobalRemove(name);
}
const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onSeatCaps(void *data, wl_seat *, uint32_t caps) {
    self(data)->onSeatCapabilities(caps);
}
void onSeatName(void *, wl_seat *, const char *) {}
const wl_seat_listener kSeatListener = {onSeatCaps, onSeatName};

void onKeymap(void *data, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size) {
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1)
        self(data)->onKeymap(fd, size);
    else
        close(fd);
}
void onEnter(void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) {}
void onLeave(void *, wl_keyboard *, uint32_t, wl_surface *) {}
void onKey(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onModifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onRepeat(void *, wl_keyboard *, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {onKeymap, onEnter,     onLeave,
                                                onKey,    onModifiers, onRepeat};

void onGeometry(void *data, wl_output *output, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                const char *, const char *, int32_t) {
    auto *input = self(data);
    std::lock_guard<std::mutex> lock(input->stateMutex());
    if (KdeInput::Output *o = input->outputOf(output)) {
        o->x = x;
        o->y = y;
    }
}
void onMode(void *data, wl_output *output, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT))
        return;
    auto *input = self(data);
    std::lock_guard<std::mutex> lock(input->stateMutex());
    if (KdeInput::Output *o = input->outputOf(output)) {
        o->width = width;
        o->height = height;
    }
}
void onOutputDone(void *, wl_output *) {}
void onScale(void *data, wl_output *output, int32_t factor) {
    auto *input = self(data);
    std::lock_guard<std::mutex> lock(input->stateMutex());
    if (KdeInput::Output *o = input->outputOf(output))
        o->scale = factor > 0 ? factor : 1;
}
void onOutputName(void *, wl_output *, const char *) {}
void onOutputDescription(void *, wl_output *, const char *) {}
const wl_output_listener kOutputListener = {onGeometry, onMode,       onOutputDone,
                                            onScale,    onOutputName, onOutputDescription};

void onOfferType(void *data, zwlr_data_control_offer_v1 *offer, const char *type) {
    self(data)->onOfferType(offer, type);
}
const zwlr_data_control_offer_v1_listener kOfferListener = {onOfferType};

void onDataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer) {
    zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, data);
    self(data)->onDataOffer(offer);
}
void onSelection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer) {
    self(data)->onSelection(offer);
}
void onFinished(void *, zwlr_data_control_device_v1 *) {}
void onPrimary(void *, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer) {
    if (offer)
        zwlr_data_control_offer_v1_destroy(offer);
}
const zwlr_data_control_device_v1_listener kDeviceListener = {onDataOffer, onSelection, onFinished,
                                                              onPrimary};

void onSend(void *data, zwlr_data_control_source_v1 *, const char *type, int32_t fd) {
    auto *source = static_cast<KdeInput::Source *>(data);
    source->owner->onSourceSend(source, type, fd);
}
void onCancelled(void *data, zwlr_data_control_source_v1 *) {
    auto *source = static_cast<KdeInput::Source *>(data);
    source->owner->onSourceCancelled(source);
}
const zwlr_data_control_source_v1_listener kSourceListener = {onSend, onCancelled};

bool writeAll(int fd, const std::string &bytes) {
    // The reader may have made the pipe non-blocking.
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

// The bytes from `fd` until its end; false on a timeout or an error.
bool readAll(int fd, std::string &bytes) {
    char buffer[65536];
    while (bytes.size() < kClipboardLimit) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, kReadTimeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buffer, std::size_t(n));
    }
    return false;
}

// Types worth keeping: MIME types, and X11's text targets. X11's other
// targets (TARGETS, TIMESTAMP, SAVE_TARGETS) describe the selection, hold
// none of it, and may never answer.
bool keepsType(const std::string &type) {
    return type.find('/') != std::string::npos || type == "UTF8_STRING" || type == "STRING" ||
           type == "TEXT" || type == "COMPOUND_TEXT";
}

std::string selfPath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, std::size_t(n)) : std::string("tarnwick");
}

constexpr int kVkA = 0x41, kVkZ = 0x5A, kVk0 = 0x30, kVk9 = 0x39;

} // namespace

std::unique_ptr<KdeInput> KdeInput::create(std::string &error) {
    std::unique_ptr<KdeInput> input(new KdeInput());
    if (!input->open(error))
        return nullptr;
    return input;
}

bool KdeInput::open(std::string &error) {
    display_ = wl_display_connect(nullptr);
    if (!display_) {
        error = "cannot connect to the Wayland compositor (WAYLAND_DISPLAY)";
        return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then what binding them sent (the seat's capabilities,
    // then its keyboard's keymap).
    for (int i = 0; i < 3; ++i)
        if (wl_display_roundtrip(display_) < 0) {
            error = "the Wayland compositor closed the connection";
            return false;
        }
    if (!fake_) {
        error = "KWin does not let this program send keys and clicks: it offers its fake input "
                "(org_kde_kwin_fake_input) only to a program that an installed .desktop file "
                "names. The tarnwick package installs one; for this copy, put a file in "
                "~/.local/share/applications with Exec=" +
                selfPath() +
                " and X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input, run kbuildsycoca5, and "
                "start the program again";
        return false;
    }
    if (!seat_) {
        error = "the Wayland compositor offers no seat";
        return false;
    }
    org_kde_kwin_fake_input_authenticate(fake_, "Tarnwick",
                                         "plays back the keys and clicks of the user's runs");
    if (dataControl_) {
        dataDevice_ = zwlr_data_control_manager_v1_get_data_device(dataControl_, seat_);
        zwlr_data_control_device_v1_add_listener(dataDevice_, &kDeviceListener, this);
    }
    if (wl_display_roundtrip(display_) < 0) {
        error = "the Wayland compositor closed the connection";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(state_);
        if (!keys_.loaded()) {
            error = "KWin sent no keyboard layout that could be read";
            return false;
        }
    }
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        error = "no pipe for the Wayland thread";
        return false;
    }
    reader_ = std::thread([this] { readLoop(); });
    qCInfo(lcKde) << "KWin's fake input: keys by code; the layout types" << keys_.size()
                  << "characters, the clipboard"
                  << (dataControl_ ? "pastes the others" : "is not offered: nothing else");
    return true;
}

KdeInput::~KdeInput() {
    if (reader_.joinable()) {
        releaseAll();
        const char stop = 1;
        if (write(wake_[1], &stop, 1) != 1)
            qCWarning(lcKde) << "The Wayland thread could not be woken";
        reader_.join();
    }
    for (int fd : wake_)
        if (fd >= 0)
            close(fd);
    for (auto &s : sources_)
        if (s->source && !s->cancelled)
            zwlr_data_control_source_v1_destroy(s->source);
    for (Offer &o : offers_)
        zwlr_data_control_offer_v1_destroy(o.offer);
    if (selection_.offer)
        zwlr_data_control_offer_v1_destroy(selection_.offer);
    if (dataDevice_)
        zwlr_data_control_device_v1_destroy(dataDevice_);
    if (dataControl_)
        zwlr_data_control_manager_v1_destroy(dataControl_);
    if (keyboard_)
        wl_keyboard_destroy(keyboard_);
    if (fake_)
        org_kde_kwin_fake_input_destroy(fake_);
    for (auto &o : outputs_)
        wl_output_destroy(o->output);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    if (display_) {
        flush();
        wl_display_disconnect(display_);
    }
}

void KdeInput::onGlobal(wl_registry *registry, std::uint32_t name, const char *interface,
                        std::uint32_t version) {
    const std::string iface = interface;
    if (iface == wl_seat_interface.name && !seat_) {
        seat_ = static_cast<wl_seat *>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
        wl_seat_add_listener(seat_, &kSeatListener, this);
    } else if (iface == kFakeInputGlobal && !fake_ && version >= 4) {
        fake_ = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    } else if (iface == zwlr_data_control_manager_v1_interface.name && !dataControl_) {
        // Version 1: no primary selection, which a paste does not touch.
        dataControl_ = static_cast<zwlr_data_control_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    } else if (iface == wl_output_interface.name) {
        auto o = std::make_unique<Output>();
        o->name = name;
        o->output = static_cast<wl_output *>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 3u)));
        wl_output_add_listener(o->output, &kOutputListener, this);
        std::lock_guard<std::mutex> lock(state_);
        outputs_.push_back(std::move(o));
    }
}

void KdeInput::onGlobalRemove(std::uint32_t name) {
    std::lock_guard<std::mutex> lock(state_);
    for (auto it = outputs_.begin(); it != outputs_.end(); ++it)
        if ((*it)->name == name) {
            wl_output_destroy((*it)->output);
            outputs_.erase(it);
            return;
        }
}

KdeInput::Output *KdeInput::outputOf(wl_output *output) {
    for (auto &o : outputs_)
        if (o->output == output)
            return o.get();
    return nullptr;
}

void KdeInput::onSeatCapabilities(std::uint32_t caps) {
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
    }
}

void KdeInput::onKeymap(int fd, std::uint32_t size) {
    void *map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED)
        return;
    // The text ends in a NUL the size counts.
    const std::string text(static_cast<const char *>(map),
                           strnlen(static_cast<const char *>(map), size));
    munmap(map, size);
    LayoutKeys keys;
    if (!keys.load(text)) {
        qCWarning(lcKde) << "KWin's keymap could not be read";
        return;
    }
    std::lock_guard<std::mutex> lock(state_);
    keys_ = std::move(keys);
    ++keymaps_;
    changed_.notify_all();
}

void KdeInput::onDataOffer(zwlr_data_control_offer_v1 *offer) {
    std::lock_guard<std::mutex> lock(state_);
    offers_.push_back(Offer{offer, {}});
}

void KdeInput::onOfferType(zwlr_data_control_offer_v1 *offer, const char *type) {
    std::lock_guard<std::mutex> lock(state_);
    for (Offer &o : offers_)
        if (o.offer == offer)
            o.types.push_back(type);
}

void KdeInput::onSelection(zwlr_data_control_offer_v1 *offer) {
    std::lock_guard<std::mutex> lock(state_);
    if (selection_.offer && selection_.offer != offer)
        zwlr_data_control_offer_v1_destroy(selection_.offer);
    selection_ = Offer{};
    for (auto it = offers_.begin(); it != offers_.end(); ++it)
        if (it->offer == offer) {
            selection_ = std::move(*it);
            offers_.erase(it);
            break;
        }
    ++selections_;
    changed_.notify_all();
}

void KdeInput::onSourceSend(Source *source, const char *type, int fd) {
    const std::string wanted = type;
    std::string bytes;
    {
        std::lock_guard<std::mutex> lock(state_);
        for (const auto &t : source->content.types)
            if (t.first == wanted) {
                bytes = t.second;
                break;
            }
    }
    if (!writeAll(fd, bytes))
        qCWarning(lcKde) << "A program stopped reading the clipboard";
    std::lock_guard<std::mutex> lock(state_);
    // A paste's pipe stays open until the program has read it (pasteLocked).
    if (source->holdsPipes)
        source->pipes.push_back(fd);
    else
        close(fd);
    ++source->sends;
    changed_.notify_all();
}

void KdeInput::onSourceCancelled(Source *source) {
    std::lock_guard<std::mutex> lock(state_);
    zwlr_data_control_source_v1_destroy(source->source);
    source->cancelled = true;
    changed_.notify_all();
}

void KdeInput::readLoop() {
    const int fd = wl_display_get_fd(display_);
    bool lost = false;
    while (!lost) {
        while (wl_display_prepare_read(display_) != 0)
            if (wl_display_dispatch_pending(display_) < 0) {
                lost = true;
                break;
            }
        if (lost)
            break;
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            lost = true;
            break;
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int r = poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) {
            wl_display_cancel_read(display_);
            continue;
        }
        if (fds[1].revents) {
            wl_display_cancel_read(display_);
            break;
        }
        if (fds[0].revents & POLLIN) {
            if (wl_display_read_events(display_) < 0)
                lost = true;
        } else {
            wl_display_cancel_read(display_);
            if (fds[0].revents & (POLLERR | POLLHUP))
                lost = true;
        }
        if (!lost && wl_display_dispatch_pending(display_) < 0)
            lost = true;
    }
    if (lost) {
        qCWarning(lcKde) << "The connection to KWin was lost";
        std::lock_guard<std::mutex> lock(state_);
        lost_ = true;
        changed_.notify_all();
    }
}

bool KdeInput::roundtrip() {
    {
        std::lock_guard<std::mutex> lock(state_);
        if (lost_)
            return false;
    }
    wl_event_queue *queue = wl_display_create_queue(display_);
    const bool ok = wl_display_roundtrip_queue(display_, queue) >= 0;
    wl_event_queue_destroy(queue);
    return ok;
}

void KdeInput::flush() {
    // A full connection is waited on, never dropped: libwayland gives up on
    // a request that finds its buffer full.
    for (int tries = 0; tries < 100; ++tries) {
        if (wl_display_flush(display_) >= 0 || errno != EAGAIN)
            return;
        pollfd p{wl_display_get_fd(display_), POLLOUT, 0};
        poll(&p, 1, 50);
    }
}

bool KdeInput::connected() {
    std::lock_guard<std::mutex> lock(state_);
    return !lost_ && wl_display_get_error(display_) == 0;
}

void KdeInput::sendKey(unsigned code, bool down) {
    if (code == 0)
        return;
    int &n = heldKeys_[code];
    if (down) {
        if (n++ > 0)
            return;
    } else {
        if (n == 0)
            return;
        if (--n > 0)
            return;
        heldKeys_.erase(code);
    }
    org_kde_kwin_fake_input_keyboard_key(fake_, code, down ? 1 : 0);
    // KWin reads its clients between frames: a long text waits for it now
    // and then rather than fill the connection.
    if (++unsynced_ >= kKeysPerSync) {
        unsynced_ = 0;
        roundtrip();
    } else {
        flush();
    }
}

void KdeInput::pressStroke(const KeyStroke &stroke, bool down) {
    if (down) {
        for (unsigned m : stroke.modifiers)
            sendKey(m, true);
        sendKey(stroke.code, true);
    } else {
        sendKey(stroke.code, false);
        for (auto it = stroke.modifiers.rbegin(); it != stroke.modifiers.rend(); ++it)
            sendKey(*it, false);
    }
}

void KdeInput::keyDown(int vk) {
    if (vk == kVkLButton || vk == kVkRButton) {
        mouseDown(vk == kVkLButton ? MouseButton::Left : MouseButton::Right);
        return;
    }
    std::lock_guard<std::mutex> lock(input_);
    unsigned code = 0;
    // Letters and digits by the layout's keys (an AZERTY A is not where a US
    // one is); the rest where a US keyboard has them.
    if ((vk >= kVkA && vk <= kVkZ) || (vk >= kVk0 && vk <= kVk9)) {
        std::lock_guard<std::mutex> state(state_);
        code = keys_.codeForKeysym(vk <= kVk9 ? std::uint32_t(vk) : std::uint32_t(vk + 0x20));
    }
    if (!code)
        code = wayland::evdevForVk(vk);
    sendKey(code, true);
}

void KdeInput::keyUp(int vk) {
    if (vk == kVkLButton || vk == kVkRButton) {
        mouseUp(vk == kVkLButton ? MouseButton::Left : MouseButton::Right);
        return;
    }
    std::lock_guard<std::mutex> lock(input_);
    unsigned code = 0;
    if ((vk >= kVkA && vk <= kVkZ) || (vk >= kVk0 && vk <= kVk9)) {
        std::lock_guard<std::mutex> state(state_);
        code = keys_.codeForKeysym(vk <= kVk9 ? std::uint32_t(vk) : std::uint32_t(vk + 0x20));
    }
    if (!code || !heldKeys_.count(code))
        code = wayland::evdevForVk(vk);
    sendKey(code, false);
}

void KdeInput::textAhead(const char16_t *units, std::size_t count) {
    std::lock_guard<std::mutex> lock(input_);
    typing_.of(std::this_thread::get_id()).announce(units, count);
    pastedAhead_.erase(std::this_thread::get_id());
}

void KdeInput::unicodeDown(char16_t unit) {
    std::lock_guard<std::mutex> lock(input_);
    const std::thread::id thread = std::this_thread::get_id();
    desktop::TypingSession &session = typing_.of(thread);
    char32_t cp = 0;
    if (!session.take(unit, cp))
        return;
    session.follow(cp);
    std::vector<KeyStroke> &held = heldChars_[thread];
    auto skip = pastedAhead_.find(thread);
    if (skip != pastedAhead_.end() && skip->second > 0) {
        // Went in with the paste before it.
        --skip->second;
        held.push_back(KeyStroke{});
        return;
    }
    KeyStroke stroke;
    bool typable = false;
    {
        std::lock_guard<std::mutex> state(state_);
        typable = keys_.strokeFor(cp, stroke);
    }
    if (typable) {
        pressStroke(stroke, true);
        held.push_back(stroke);
        return;
    }
    held.push_back(KeyStroke{});
    // This character and those announced after it that the layout lacks as
    // well go in one paste.
    std::u32string text(1, cp);
    const std::u32string &ahead = session.ahead();
    std::size_t next = session.typed();
    if (next > 0 && next <= ahead.size() && ahead[next - 1] == cp) {
        std::lock_guard<std::mutex> state(state_);
        for (; next < ahead.size() && !keys_.typable(ahead[next]); ++next)
            text += ahead[next];
    }
    // Failed or not, the run is done with: its characters are not tried
    // again one by one, each waiting for a paste that does not come.
    if (!pasteLocked(text)) {
        const QString shown =
            QString::fromUcs4(text.data(), qsizetype(std::min<std::size_t>(text.size(), 20)));
        qCWarning(lcKde).noquote()
            << "Could not paste" << text.size() << "characters (" << shown
            << (text.size() > 20 ? "…)" : ")") << ":" << QString::fromStdString(pasteFault_);
    }
    pastedAhead_[thread] = text.size() - 1;
}

void KdeInput::unicodeUp(char16_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF)
        return; // its character goes up with the second half
    std::lock_guard<std::mutex> lock(input_);
    const std::thread::id thread = std::this_thread::get_id();
    auto it = heldChars_.find(thread);
    if (it != heldChars_.end() && !it->second.empty()) {
        const KeyStroke stroke = it->second.back();
        it->second.pop_back();
        if (stroke.code)
            pressStroke(stroke, false);
        if (it->second.empty())
            heldChars_.erase(it);
    }
    typing_.endIfIdle(thread);
    auto skip = pastedAhead_.find(thread);
    if (skip != pastedAhead_.end() && skip->second == 0)
        pastedAhead_.erase(skip);
}

KdeInput::Source *KdeInput::offerLocked(const ClipboardContent &content, bool holdsPipes) {
    if (!dataDevice_)
        return nullptr;
    std::lock_guard<std::mutex> state(state_);
    // Sources another selection replaced are done with.
    sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                  [](const std::unique_ptr<Source> &s) { return s->cancelled; }),
                   sources_.end());
    own_ = nullptr;
    if (content.empty) {
        zwlr_data_control_device_v1_set_selection(dataDevice_, nullptr);
        flush();
        return nullptr;
    }
    auto source = std::make_unique<Source>();
    source->owner = this;
    source->content = content;
    source->holdsPipes = holdsPipes;
    source->source = zwlr_data_control_manager_v1_create_data_source(dataControl_);
    for (const auto &t : content.types)
        zwlr_data_control_source_v1_offer(source->source, t.first.c_str());
    zwlr_data_control_source_v1_add_listener(source->source, &kSourceListener, source.get());
    zwlr_data_control_device_v1_set_selection(dataDevice_, source->source);
    flush();
    own_ = source.get();
    sources_.push_back(std::move(source));
    return own_;
}

bool KdeInput::receiveLocked(ClipboardContent &content) {
    content = ClipboardContent{};
    std::vector<std::pair<std::string, int>> reads;
    {
        std::lock_guard<std::mutex> state(state_);
        if (lost_)
            return false;
        // Our own source still holding it: what it holds, without asking ourselves.
        if (own_ && !own_->cancelled) {
            content = own_->content;
            return true;
        }
        if (!selection_.offer)
            return true;
        for (const std::string &type : selection_.types) {
            if (!keepsType(type))
                continue;
            int fds[2];
            if (pipe2(fds, O_CLOEXEC) != 0)
                break;
            zwlr_data_control_offer_v1_receive(selection_.offer, type.c_str(), fds[1]);
            close(fds[1]);
            reads.emplace_back(type, fds[0]);
        }
        flush();
    }
    bool ok = true;
    std::size_t total = 0;
    for (auto &r : reads) {
        std::string bytes;
        if (ok && readAll(r.second, bytes) && total + bytes.size() <= kClipboardLimit) {
            total += bytes.size();
            content.types.emplace_back(r.first, std::move(bytes));
        } else {
            ok = false;
        }
        close(r.second);
    }
    content.empty = content.types.empty();
    return ok;
}

bool KdeInput::pasteLocked(const std::u32string &text) {
    pasteFault_.clear();
    if (!dataDevice_) {
        pasteFault_ = "KWin offers no clipboard access (zwlr_data_control_manager_v1), and the "
                      "keyboard layout lacks these characters";
        return false;
    }
    ClipboardContent saved;
    if (!receiveLocked(saved)) {
        pasteFault_ = "the clipboard could not be read, so it is left alone";
        return false;
    }
    ClipboardContent pasted;
    pasted.empty = false;
    const std::string utf8 = desktop::utf8FromUtf32(text);
    for (const char *type : kTextTypes)
        pasted.types.emplace_back(type, utf8);
    Source *source = offerLocked(pasted, true);
    if (!source || !roundtrip()) {
        pasteFault_ = "the clipboard could not be set";
        offerLocked(saved);
        return false;
    }
    std::vector<unsigned> chord;
    {
        const std::string program = focusedProgram_ ? focusedProgram_() : std::string();
        std::lock_guard<std::mutex> state(state_);
        for (std::uint32_t sym : desktop::pasteChordFor(program))
            chord.push_back(keys_.codeForKeysym(sym));
    }
    std::uint64_t before = 0;
    {
        std::lock_guard<std::mutex> state(state_);
        before = source->sends;
    }
    for (unsigned code : chord)
        sendKey(code, true);
    for (auto it = chord.rbegin(); it != chord.rend(); ++it)
        sendKey(*it, false);
    bool took = false, takenBack = false;
    {
        std::unique_lock<std::mutex> state(state_);
        changed_.wait_for(state, kPasteWait,
                          [&] { return source->sends > before || source->cancelled || lost_; });
        took = source->sends > before;
        takenBack = source->cancelled && !took;
    }
    // A program may read a paste in the background and drop it when the
    // clipboard changes before it is done (GTK does): the clipboard goes
    // back once the program has read all and had a moment to take the end.
    std::vector<int> pipes;
    {
        std::lock_guard<std::mutex> state(state_);
        pipes.swap(source->pipes);
        source->holdsPipes = false;
    }
    for (int fd : pipes) {
        const auto until = std::chrono::steady_clock::now() + kPasteWait;
        int unread = 0;
        while (ioctl(fd, FIONREAD, &unread) == 0 && unread > 0 &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        close(fd);
    }
    if (took)
        std::this_thread::sleep_for(kPasteSettle);
    // Whatever came of it, the clipboard is put back as it was.
    offerLocked(saved);
    roundtrip();
    ++pastes_;
    if (takenBack)
        pasteFault_ = "another program took the clipboard during the paste";
    else if (!took)
        pasteFault_ = "the focused program did not paste";
    return took;
}

void KdeInput::mouseDown(MouseButton button) {
    std::lock_guard<std::mutex> lock(input_);
    if (heldButtons_[button])
        return;
    heldButtons_[button] = true;
    org_kde_kwin_fake_input_button(fake_, button == MouseButton::Left ? BTN_LEFT : BTN_RIGHT,
                                   WL_POINTER_BUTTON_STATE_PRESSED);
    flush();
}

void KdeInput::mouseUp(MouseButton button) {
    std::lock_guard<std::mutex> lock(input_);
    if (!heldButtons_[button])
        return;
    heldButtons_[button] = false;
    org_kde_kwin_fake_input_button(fake_, button == MouseButton::Left ? BTN_LEFT : BTN_RIGHT,
                                   WL_POINTER_BUTTON_STATE_RELEASED);
    flush();
}

Point KdeInput::cursorPos() {
    std::lock_guard<std::mutex> lock(input_);
    return cursor_;
}

void KdeInput::setCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(input_);
    cursor_ = Point{x, y};
    org_kde_kwin_fake_input_pointer_motion_absolute(fake_, wl_fixed_from_int(x),
                                                    wl_fixed_from_int(y));
    flush();
}

bool KdeInput::isDown(int vk) {
    std::lock_guard<std::mutex> lock(input_);
    if (vk == kVkLButton || vk == kVkRButton)
        return heldButtons_[vk == kVkLButton ? MouseButton::Left : MouseButton::Right];
    unsigned codes[4];
    const int n = wayland::evdevsForVk(vk, codes, 4);
    for (int i = 0; i < n; ++i)
        if (heldKeys_.count(codes[i]))
            return true;
    if ((vk >= kVkA && vk <= kVkZ) || (vk >= kVk0 && vk <= kVk9)) {
        std::lock_guard<std::mutex> state(state_);
        const unsigned code =
            keys_.codeForKeysym(vk <= kVk9 ? std::uint32_t(vk) : std::uint32_t(vk + 0x20));
        return code && heldKeys_.count(code);
    }
    return false;
}

void KdeInput::releaseAll() {
    std::lock_guard<std::mutex> lock(input_);
    for (auto &b : heldButtons_)
        if (b.second) {
            org_kde_kwin_fake_input_button(fake_,
                                           b.first == MouseButton::Left ? BTN_LEFT : BTN_RIGHT,
                                           WL_POINTER_BUTTON_STATE_RELEASED);
            b.second = false;
        }
    for (const auto &k : heldKeys_)
        org_kde_kwin_fake_input_keyboard_key(fake_, k.first, 0);
    heldKeys_.clear();
    heldChars_.clear();
    pastedAhead_.clear();
    typing_ = desktop::TypingSessions();
    flush();
    roundtrip();
}

void KdeInput::setFocusedProgram(std::function<std::string()> focusedProgram) {
    std::lock_guard<std::mutex> lock(input_);
    focusedProgram_ = std::move(focusedProgram);
}

Rect KdeInput::layout() {
    std::lock_guard<std::mutex> lock(state_);
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    for (const auto &o : outputs_) {
        x0 = std::min(x0, o->x);
        y0 = std::min(y0, o->y);
        x1 = std::max(x1, o->x + o->width / o->scale);
        y1 = std::max(y1, o->y + o->height / o->scale);
    }
    if (outputs_.empty())
        return Rect{};
    return Rect{x0, y0, x1 - x0, y1 - y0};
}

std::uint64_t KdeInput::pastes() {
    std::lock_guard<std::mutex> lock(input_);
    return pastes_;
}

std::string KdeInput::lastPasteFault() {
    std::lock_guard<std::mutex> lock(input_);
    return pasteFault_;
}

bool KdeInput::readClipboard(ClipboardContent &content) {
    std::lock_guard<std::mutex> lock(input_);
    roundtrip();
    return receiveLocked(content);
}

bool KdeInput::writeClipboard(const ClipboardContent &content) {
    std::lock_guard<std::mutex> lock(input_);
    offerLocked(content);
    return roundtrip();
}

} // namespace platform::kde
