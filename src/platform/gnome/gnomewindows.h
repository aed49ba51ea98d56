#pragma once

// Window access on GNOME through our own GNOME Shell extension (in
// extension/, installed under share/gnome-shell/extensions/), which the
// shell runs and which answers on the session bus: GNOME lets no other
// program list or activate windows. Geometry is the windows' frames in the
// layout's logical pixels. No Qt or GLib types here.

#include "platform/windowaccess.h"

#include <memory>
#include <string>

namespace platform::gnome {

// The extension's folder name, and how the user enables it.
inline constexpr char kExtensionUuid[] = "tarnwick@tarnwick.example";
std::string extensionHint();

class GnomeWindows final : public WindowAccess {
public:
    // Null where the extension does not answer; `error` says how to enable it.
    static std::unique_ptr<GnomeWindows> create(std::string &error);
    ~GnomeWindows() override;

    std::vector<WindowInfo> windows() override;
    bool info(std::uint64_t id, WindowInfo &out) override;
    std::uint64_t activeWindow() override;
    std::uint64_t windowAt(int x, int y) override;
    bool activate(std::uint64_t id) override;

    // The program of the window with the keyboard focus (its WM class or app
    // id), empty where none has it.
    std::string focusedProgram();

private:
    GnomeWindows();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::gnome
