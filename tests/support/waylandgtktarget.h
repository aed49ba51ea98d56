#pragma once

// A GTK 3 window on the Wayland compositor (GDK_BACKEND=wayland), in a child
// process: Debian's python3-gi runs the script below. Two kinds:
//
// "events" reports, a line per event, what GDK delivered to the window:
//   ready                          once it has the keyboard focus and its tile
//   press KEYVAL STATE TEXT GROUP  a key press (GDK keyval and modifier state,
//                                  decimal; text as hex UTF-16, "-" for none;
//                                  the keymap group it was pressed in)
//   release KEYVAL STATE           a key release
//   down BUTTON X Y / up BUTTON X Y   a button, window coordinates
//   move X Y                       the pointer moved over the window
// and, from a wl_keyboard and a wl_pointer of its own on GDK's wl_seat (the
// compositor's own view, beside GDK's):
//   wl enter KEYS                  keyboard focus came, with KEYS keys the
//                                  compositor says are down
//   wl leave                       keyboard focus went
//   wl modifiers DEP LAT LOCK GROUP   the modifiers and the keymap group
//   wl motion X Y                  the pointer moved (every motion: GDK
//                                  passes on one a frame)
//   wl held KEYS BUTTONS           answer to "held" on standard input: keys and
//                                  buttons pressed and not released since the
//                                  last enter
//
// "entry" (a GtkEntry) and "keys" (a window keeping the text of its key
// presses, laying nothing out) are for the benchmark: "n LENGTH" (UTF-16) on
// every change, "ready" after "clear" (emptied, focused), "text HEX..."
// after "dump".

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

// The window's app id, which sway's commands select it by.
inline constexpr char kWaylandGtkAppId[] = "tarnwick-gtk-target";

// Debian's interpreter: python3-gi is installed for it, not for any other
// python3 earlier on the PATH.
inline constexpr char kWaylandGtkPython[] = "/usr/bin/python3";

inline constexpr char kWaylandGtkScript[] = R"PY(
import ctypes, os, sys
import gi
gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gdk, Gtk

mode = sys.argv[1] if len(sys.argv) > 1 else "events"
GLib.set_prgname("tarnwick-gtk-target")
sys.stdout.reconfigure(line_buffering=True)

def say(line):
    sys.stdout.write(line + "\n")

def hex16(text):
    data = text.encode("utf-16-be")
    return "".join("%02x%02x" % (data[i], data[i + 1]) for i in range(0, len(data), 2))

window = Gtk.Window(title=os.environ.get("TARNWICK_GTK_TITLE", "tarnwick gtk target"))
window.set_default_size(200, 150)
window.add_events(Gdk.EventMask.KEY_PRESS_MASK | Gdk.EventMask.KEY_RELEASE_MASK |
                  Gdk.EventMask.BUTTON_PRESS_MASK | Gdk.EventMask.BUTTON_RELEASE_MASK |
                  Gdk.EventMask.POINTER_MOTION_MASK)
ready = False
commands = {}

# The compositor's view: a wl_keyboard and a wl_pointer of our own on GDK's
# seat, through libwayland-client (GTK 3 has no bindings for these).
held_keys = set()
held_buttons = set()
keepalive = []

def listen_on_seat():
    wl = ctypes.CDLL("libwayland-client.so.0")
    gdk = ctypes.CDLL("libgdk-3.so.0")
    capsule = ctypes.pythonapi.PyCapsule_GetPointer
    capsule.restype = ctypes.c_void_p
    capsule.argtypes = [ctypes.py_object, ctypes.c_char_p]
    seat_object = Gdk.Display.get_default().get_default_seat()
    gdk.gdk_wayland_seat_get_wl_seat.restype = ctypes.c_void_p
    gdk.gdk_wayland_seat_get_wl_seat.argtypes = [ctypes.c_void_p]
    seat = gdk.gdk_wayland_seat_get_wl_seat(capsule(seat_object.__gpointer__, None))
    wl.wl_proxy_get_version.restype = ctypes.c_uint32
    wl.wl_proxy_get_version.argtypes = [ctypes.c_void_p]
    version = wl.wl_proxy_get_version(seat)
    wl.wl_proxy_marshal_flags.restype = ctypes.c_void_p
    wl.wl_proxy_add_listener.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]

    made = set()
    def make(opcode, interface, handlers):
        if interface in made:
            return
        made.add(interface)
        iface = ctypes.addressof(ctypes.c_char.in_dll(wl, interface))
        proxy = wl.wl_proxy_marshal_flags(ctypes.c_void_p(seat), ctypes.c_uint32(opcode),
                                          ctypes.c_void_p(iface), ctypes.c_uint32(version),
                                          ctypes.c_uint32(0), ctypes.c_void_p(None))
        table = (ctypes.c_void_p * len(handlers))(
            *[ctypes.cast(h, ctypes.c_void_p) for h in handlers])
        keepalive.extend(handlers)
        keepalive.append(table)
        wl.wl_proxy_add_listener(proxy, table, None)

    P, U, I = ctypes.c_void_p, ctypes.c_uint32, ctypes.c_int32

    class Array(ctypes.Structure):
        _fields_ = [("size", ctypes.c_size_t), ("alloc", ctypes.c_size_t), ("data", P)]

    def kb_keymap(d, k, fmt, fd, size):
        os.close(fd)
    def kb_enter(d, k, serial, surface, keys):
        held_keys.clear()
        say("wl enter %d" % (ctypes.cast(keys, ctypes.POINTER(Array)).contents.size // 4))
    def kb_leave(d, k, serial, surface):
        say("wl leave")
    def kb_key(d, k, serial, time, key, state):
        if state:
            held_keys.add(key)
        else:
            held_keys.discard(key)
    def kb_modifiers(d, k, serial, depressed, latched, locked, group):
        say("wl modifiers %d %d %d %d" % (depressed, latched, locked, group))
    def kb_repeat(d, k, rate, delay):
        pass
    keyboard_handlers = [
        ctypes.CFUNCTYPE(None, P, P, U, I, U)(kb_keymap),
        ctypes.CFUNCTYPE(None, P, P, U, P, P)(kb_enter),
        ctypes.CFUNCTYPE(None, P, P, U, P)(kb_leave),
        ctypes.CFUNCTYPE(None, P, P, U, U, U, U)(kb_key),
        ctypes.CFUNCTYPE(None, P, P, U, U, U, U, U)(kb_modifiers),
        ctypes.CFUNCTYPE(None, P, P, I, I)(kb_repeat)]

    def pt_enter(d, p, serial, surface, x, y):
        held_buttons.clear()
    def pt_leave(d, p, serial, surface):
        pass
    def pt_motion(d, p, time, x, y):
        say("wl motion %d %d" % (round(x / 256), round(y / 256)))
    def pt_button(d, p, serial, time, button, state):
        if state:
            held_buttons.add(button)
        else:
            held_buttons.discard(button)
    def pt_axis(d, p, time, axis, value):
        pass
    def pt_frame(d, p):
        pass
    def pt_source(d, p, source):
        pass
    def pt_stop(d, p, time, axis):
        pass
    def pt_discrete(d, p, axis, value):
        pass
    pointer_handlers = [
        ctypes.CFUNCTYPE(None, P, P, U, P, I, I)(pt_enter),
        ctypes.CFUNCTYPE(None, P, P, U, P)(pt_leave),
        ctypes.CFUNCTYPE(None, P, P, U, I, I)(pt_motion),
        ctypes.CFUNCTYPE(None, P, P, U, U, U, U)(pt_button),
        ctypes.CFUNCTYPE(None, P, P, U, U, I)(pt_axis),
        ctypes.CFUNCTYPE(None, P, P)(pt_frame),
        ctypes.CFUNCTYPE(None, P, P, U)(pt_source),
        ctypes.CFUNCTYPE(None, P, P, U, U)(pt_stop),
        ctypes.CFUNCTYPE(None, P, P, U, I)(pt_discrete),
        ctypes.CFUNCTYPE(None, P, P, U, I)(pt_discrete)]

    # The seat has a keyboard and a pointer only once some device (the
    # virtual ones) gives it them: asking for one before is an error.
    # GDK makes a device of each capability the seat announces.
    def bind(*args):
        sources = [d.get_source() for d in seat_object.get_slaves(Gdk.SeatCapabilities.ALL)]
        if Gdk.InputSource.KEYBOARD in sources:
            make(1, "wl_keyboard_interface", keyboard_handlers)
        if Gdk.InputSource.MOUSE in sources:
            make(0, "wl_pointer_interface", pointer_handlers)
    seat_object.connect("device-added", bind)
    bind()

def say_if_ready(*args):
    global ready
    alloc = window.get_allocation()
    # A floating window keeps its size: its focus is enough.
    tiled = (alloc.width, alloc.height) != (200, 150) or os.environ.get("TARNWICK_GTK_FLOATING")
    if not ready and window.is_active() and tiled:
        ready = True
        say("ready")

if mode in ("entry", "keys"):
    entry = Gtk.Entry()
    kept = []
    counted = [0]
    def length(text):
        return len(text.encode("utf-16-le")) // 2
    if mode == "entry":
        window.add(entry)
        entry.connect("changed", lambda e: say("n %d" % length(e.get_text())))
    else:
        def keep(widget, event):
            cp = Gdk.keyval_to_unicode(event.keyval)
            if cp >= 0x20:
                kept.append(chr(cp))
                counted[0] += 2 if cp > 0xFFFF else 1
                say("n %d" % counted[0])
            return True
        window.connect("key-press-event", keep)
    def clear():
        entry.set_text("")
        kept.clear()
        counted[0] = 0
        if mode == "keys":
            say("n 0")
        if mode == "entry":
            entry.grab_focus()
        while not (window.is_active() and (mode == "keys" or entry.has_focus())):
            Gtk.main_iteration()
        say("ready")
    def dump():
        text = (entry.get_text() if mode == "entry" else "".join(kept)).encode("utf-16-be")
        say("text " + " ".join("%x" % ((text[i] << 8) | text[i + 1])
                               for i in range(0, len(text), 2)))
    commands = {"clear": clear, "dump": dump}
else:
    def on_key(widget, event, what):
        if what == "press":
            cp = Gdk.keyval_to_unicode(event.keyval)
            say("press %d %d %s %d" % (event.keyval, int(event.state),
                                       hex16(chr(cp)) if cp else "-", event.group))
        else:
            say("release %d %d" % (event.keyval, int(event.state)))
        return True
    def on_button(widget, event, what):
        if event.type == Gdk.EventType.BUTTON_PRESS or what == "up":
            say("%s %d %d %d" % (what, event.button, round(event.x), round(event.y)))
        return True
    window.connect("key-press-event", on_key, "press")
    window.connect("key-release-event", on_key, "release")
    window.connect("button-press-event", on_button, "down")
    window.connect("button-release-event", on_button, "up")
    window.connect("motion-notify-event",
                   lambda w, e: say("move %d %d" % (round(e.x), round(e.y))) or True)
    window.connect("notify::is-active", say_if_ready)
    window.connect("size-allocate", say_if_ready)
    commands = {"held": lambda: say("wl held %d %d" % (len(held_keys), len(held_buttons)))}

def on_input(fd, condition):
    line = sys.stdin.readline()
    if not line:
        Gtk.main_quit()
        return False
    command = commands.get(line.strip())
    if command:
        command()
    return True

window.connect("destroy", Gtk.main_quit)
window.show_all()
if mode == "events":
    listen_on_seat()
GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, on_input)
Gtk.main()
)PY";

// The program and arguments that start the window of `kind` ("events" or
// "entry").
inline QStringList waylandGtkArguments(const QString &kind) {
    return {QStringLiteral("-c"), QString::fromUtf8(kWaylandGtkScript), kind};
}

// GDK on Wayland only, the input method left out (keys come as they are).
inline QProcessEnvironment waylandGtkEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("GTK_IM_MODULE"), QStringLiteral("gtk-im-context-simple"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    env.remove(QStringLiteral("DISPLAY"));
    return env;
}

} // namespace testsupport
