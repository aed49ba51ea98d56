#pragma once

// The outputs a compositor announces and the layout they make: wl_output's
// own view, and xdg-output's logical one where the compositor offers it (the
// coordinates the virtual pointer and screencopy's regions use).

#include "platform/windowaccess.h"

#include <cstdint>
#include <memory>
#include <vector>

struct wl_output;
struct wl_registry;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace platform::wayland {

// The output layout's extent in the compositor's (logical) coordinates.
struct LayoutBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct Output {
    std::uint32_t name = 0;
    wl_output *output = nullptr;
    zxdg_output_v1 *xdgOutput = nullptr;
    // wl_output's own view, used where xdg-output is missing.
    int x = 0, y = 0, modeWidth = 0, modeHeight = 0, scale = 1;
    // xdg-output's logical view.
    bool logical = false;
    int lx = 0, ly = 0, lwidth = 0, lheight = 0;
};

// The output's box in the layout.
Rect boxOf(const Output &output);
// The layout box of `outputs` (empty when there are none).
LayoutBox layoutOf(const std::vector<std::unique_ptr<Output>> &outputs);

// The outputs of one connection, as its registry announces them. Not locked:
// the connection's mutex covers it.
class OutputLayout {
public:
    ~OutputLayout();
    void add(wl_registry *registry, std::uint32_t name, std::uint32_t version);
    // False when `name` was no output.
    bool remove(std::uint32_t name);
    void setXdgOutputManager(zxdg_output_manager_v1 *manager);

    const std::vector<std::unique_ptr<Output>> &all() const { return outputs_; }
    LayoutBox layout() const { return layoutOf(outputs_); }
    std::vector<Rect> boxes() const;
    // The output that holds the whole of `rect`, null where none does.
    const Output *holding(const Rect &rect) const;

private:
    void attachXdgOutput(Output &output);

    std::vector<std::unique_ptr<Output>> outputs_;
    zxdg_output_manager_v1 *xdgOutputManager_ = nullptr;
};

} // namespace platform::wayland
