// Tarnwick's window access and run keys on GNOME Shell: the shell lets no
// other program list or activate windows (Introspect and Eval refuse third
// parties) nor grab keys, so this extension does it for the program over
// D-Bus, on the session bus as org.tarnwick.Shell.
'use strict';

const { Gio, GLib, Meta, Shell } = imports.gi;
const Main = imports.ui.main;

const BUS_NAME = 'org.tarnwick.Shell';
const OBJECT_PATH = '/org/tarnwick/Shell';
const INTERFACE = `
<node>
  <interface name="org.tarnwick.Shell">
    <method name="ListWindows">
      <arg type="a(tssussbiiii)" direction="out" name="windows"/>
    </method>
    <method name="Activate">
      <arg type="t" direction="in" name="id"/>
      <arg type="b" direction="out" name="done"/>
    </method>
    <method name="GrabAccelerator">
      <arg type="s" direction="in" name="accelerator"/>
      <arg type="u" direction="out" name="action"/>
    </method>
    <method name="UngrabAccelerator">
      <arg type="u" direction="in" name="action"/>
      <arg type="b" direction="out" name="done"/>
    </method>
    <signal name="Accelerator">
      <arg type="u" name="action"/>
    </signal>
    <property name="Version" type="u" access="read"/>
  </interface>
</node>`;

class Service {
    constructor() {
        this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._grabs = new Map(); // action -> the connection's unique name
        this._watches = new Map(); // unique name -> watch id
    }

    get Version() {
        return 1;
    }

    // Topmost first: id, title, program (the window's WM class, else its
    // app id), process, the program's app id, active, the frame rectangle.
    ListWindows() {
        const windows = global.display.sort_windows_by_stacking(
            global.display.list_all_windows()).reverse();
        const focus = global.display.focus_window;
        return windows
            .filter(w => !w.is_skip_taskbar() && w.get_window_type() === Meta.WindowType.NORMAL)
            .map(w => {
                const r = w.get_frame_rect();
                return [w.get_id(), w.get_title() || '', w.get_wm_class() || '',
                    Math.max(0, w.get_pid()), w.get_gtk_application_id() || '',
                    w.get_sandboxed_app_id() || '', w === focus, r.x, r.y, r.width, r.height];
            });
    }

    Activate(id) {
        const window = global.display.list_all_windows().find(w => w.get_id() === id);
        if (!window)
            return false;
        Main.activateWindow(window, global.get_current_time());
        return true;
    }

    // The Async forms get the caller, whose keys these are.
    GrabAcceleratorAsync([accelerator], invocation) {
        const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.NONE);
        if (action === Meta.KeyBindingAction.NONE) {
            invocation.return_value(new GLib.Variant('(u)', [0]));
            return;
        }
        const name = Meta.external_binding_name_for_action(action);
        Main.wm.allowKeybinding(name, Shell.ActionMode.ALL);
        const sender = invocation.get_sender();
        this._grabs.set(action, sender);
        // A program that goes away takes its keys with it.
        if (!this._watches.has(sender)) {
            this._watches.set(sender, Gio.bus_watch_name(Gio.BusType.SESSION, sender,
                Gio.BusNameWatcherFlags.NONE, null, () => this._senderGone(sender)));
        }
        invocation.return_value(new GLib.Variant('(u)', [action]));
    }

    UngrabAcceleratorAsync([action], invocation) {
        const sender = invocation.get_sender();
        if (this._grabs.get(action) !== sender) {
            invocation.return_value(new GLib.Variant('(b)', [false]));
            return;
        }
        this._ungrab(action);
        invocation.return_value(new GLib.Variant('(b)', [true]));
    }

    _ungrab(action) {
        const name = Meta.external_binding_name_for_action(action);
        Main.wm.allowKeybinding(name, Shell.ActionMode.NONE);
        global.display.ungrab_accelerator(action);
        this._grabs.delete(action);
    }

    _senderGone(sender) {
        for (const [action, owner] of [...this._grabs]) {
            if (owner === sender)
                this._ungrab(action);
        }
        const watch = this._watches.get(sender);
        if (watch !== undefined) {
            Gio.bus_unwatch_name(watch);
            this._watches.delete(sender);
        }
    }

    _activated(display, action) {
        const sender = this._grabs.get(action);
        if (sender === undefined)
            return;
        this._dbus.get_connection()?.emit_signal(sender, OBJECT_PATH, BUS_NAME,
            'Accelerator', new GLib.Variant('(u)', [action]));
    }

    enable() {
        this._dbus.export(Gio.DBus.session, OBJECT_PATH);
        this._owner = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
        this._signal = global.display.connect('accelerator-activated',
            (display, action) => this._activated(display, action));
    }

    disable() {
        global.display.disconnect(this._signal);
        for (const action of [...this._grabs.keys()])
            this._ungrab(action);
        for (const watch of this._watches.values())
            Gio.bus_unwatch_name(watch);
        this._watches.clear();
        Gio.bus_unown_name(this._owner);
        this._dbus.unexport();
    }
}

class Extension {
    enable() {
        this._service = new Service();
        this._service.enable();
    }

    disable() {
        this._service.disable();
        this._service = null;
    }
}

function init() {
    return new Extension();
}
