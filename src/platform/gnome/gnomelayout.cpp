#include "gnomelayout.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace platform::gnome {

struct LayoutKeys::Impl {
    std::unordered_set<std::uint32_t> keysyms;
};

LayoutKeys::LayoutKeys() : d(std::make_unique<Impl>()) {}
LayoutKeys::~LayoutKeys() = default;

namespace {

void collect(xkb_keymap *keymap, unsigned group, std::unordered_set<std::uint32_t> &into) {
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; ++code) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, code);
        if (layouts == 0)
            continue;
        // A key with fewer groups falls back to its first, as xkb wraps.
        const xkb_layout_index_t g = group < layouts ? group : 0;
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, code, g);
        // Plain, Shift, AltGr and Shift+AltGr: the levels GNOME reaches by
        // pressing the modifiers for a keysym itself.
        for (xkb_level_index_t level = 0; level < levels && level < 4; ++level) {
            const xkb_keysym_t *syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(keymap, code, g, level, &syms);
            for (int i = 0; i < n; ++i)
                into.insert(syms[i]);
        }
    }
    xkb_keymap_unref(keymap);
}

} // namespace

std::unique_ptr<LayoutKeys> LayoutKeys::fromText(const std::string &text, unsigned group,
                                                 std::string &error) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES);
    if (!context) {
        error = "no xkb context";
        return nullptr;
    }
    xkb_keymap *keymap = xkb_keymap_new_from_string(
        context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    if (!keymap) {
        error = "the compositor's keymap could not be read";
        return nullptr;
    }
    std::unique_ptr<LayoutKeys> keys(new LayoutKeys);
    collect(keymap, group, keys->d->keysyms);
    return keys;
}

std::unique_ptr<LayoutKeys> LayoutKeys::fromNames(const std::string &layout,
                                                  const std::string &variant, std::string &error) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) {
        error = "no xkb context";
        return nullptr;
    }
    xkb_rule_names names{};
    names.layout = layout.c_str();
    names.variant = variant.c_str();
    xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    if (!keymap) {
        error = "no keymap for the layout \"" + layout + "\"";
        return nullptr;
    }
    std::unique_ptr<LayoutKeys> keys(new LayoutKeys);
    collect(keymap, 0, keys->d->keysyms);
    return keys;
}

namespace {

struct KeymapListen {
    std::string text;
    bool haveKeymap = false;
    unsigned group = 0;
    wl_seat *seat = nullptr;
};

void onKeymap(void *data, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size) {
    auto *listen = static_cast<KeymapListen *>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void *mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            // The text ends in a NUL, which the string need not hold.
            const char *chars = static_cast<const char *>(mapped);
            listen->text.assign(chars, strnlen(chars, size));
            listen->haveKeymap = true;
            munmap(mapped, size);
        }
    }
    close(fd);
}
void onEnter(void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) {}
void onLeave(void *, wl_keyboard *, uint32_t, wl_surface *) {}
void onKey(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onModifiers(void *data, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t,
                 uint32_t group) {
    static_cast<KeymapListen *>(data)->group = group;
}
void onRepeat(void *, wl_keyboard *, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {onKeymap, onEnter,     onLeave,
                                                onKey,    onModifiers, onRepeat};

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version) {
    auto *listen = static_cast<KeymapListen *>(data);
    if (!listen->seat && std::string(interface) == wl_seat_interface.name)
        listen->seat = static_cast<wl_seat *>(
            wl_registry_bind(registry, name, &wl_seat_interface, version < 5 ? version : 5));
}
void onGlobalRemove(void *, wl_registry *, uint32_t) {}
const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onCapabilities(void *, wl_seat *, uint32_t) {}
void onSeatName(void *, wl_seat *, const char *) {}
const wl_seat_listener kSeatListener = {onCapabilities, onSeatName};

} // namespace

std::unique_ptr<LayoutKeys> LayoutKeys::fromCompositor(std::string &error) {
    const char *name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) {
        error = "WAYLAND_DISPLAY is not set";
        return nullptr;
    }
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        error = std::string("the compositor (") + name + ") cannot be reached";
        return nullptr;
    }
    KeymapListen listen;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &listen);
    wl_display_roundtrip(display);
    wl_keyboard *keyboard = nullptr;
    if (listen.seat) {
        wl_seat_add_listener(listen.seat, &kSeatListener, &listen);
        keyboard = wl_seat_get_keyboard(listen.seat);
        wl_keyboard_add_listener(keyboard, &kKeyboardListener, &listen);
        wl_display_roundtrip(display);
        wl_display_roundtrip(display);
    }
    if (keyboard)
        wl_keyboard_destroy(keyboard);
    if (listen.seat)
        wl_seat_destroy(listen.seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!listen.haveKeymap) {
        error = "the compositor gave no keymap";
        return nullptr;
    }
    return fromText(listen.text, listen.group, error);
}

bool LayoutKeys::typable(char32_t cp) const {
    const std::uint32_t sym = keysymFor(cp);
    return sym != 0 && d->keysyms.count(sym) != 0;
}

std::uint32_t LayoutKeys::keysymFor(char32_t cp) {
    switch (cp) {
    case U'\r':
    case U'\n':
        return XKB_KEY_Return;
    case U'\t':
        return XKB_KEY_Tab;
    default:
        break;
    }
    if (cp < 0x20 || cp == 0x7f || (cp >= 0xd800 && cp <= 0xdfff) || cp > 0x10ffff)
        return 0;
    return xkb_utf32_to_keysym(cp);
}

} // namespace platform::gnome
