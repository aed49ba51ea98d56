#include "waylandoutputs.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>

namespace platform::wayland {
namespace {

Output *output(void *data) {
    return static_cast<Output *>(data);
}

void onGeometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                const char *, const char *, int32_t) {
    output(data)->x = x;
    output(data)->y = y;
}

void onMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        output(data)->modeWidth = width;
        output(data)->modeHeight = height;
    }
}

void onOutputDone(void *, wl_output *) {}

void onScale(void *data, wl_output *, int32_t factor) {
    output(data)->scale = factor > 0 ? factor : 1;
}

void onOutputName(void *, wl_output *, const char *) {}
void onOutputDescription(void *, wl_output *, const char *) {}

const wl_output_listener kOutputListener = {onGeometry, onMode,       onOutputDone,
                                            onScale,    onOutputName, onOutputDescription};

void onLogicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
    output(data)->lx = x;
    output(data)->ly = y;
    output(data)->logical = true;
}

void onLogicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height) {
    output(data)->lwidth = width;
    output(data)->lheight = height;
    output(data)->logical = true;
}

void onXdgDone(void *, zxdg_output_v1 *) {}
void onXdgName(void *, zxdg_output_v1 *, const char *) {}
void onXdgDescription(void *, zxdg_output_v1 *, const char *) {}

const zxdg_output_v1_listener kXdgOutputListener = {onLogicalPosition, onLogicalSize, onXdgDone,
                                                    onXdgName, onXdgDescription};

} // namespace

Rect boxOf(const Output &o) {
    if (o.logical)
        return Rect{o.lx, o.ly, o.lwidth, o.lheight};
    const int scale = std::max(1, o.scale);
    return Rect{o.x, o.y, o.modeWidth / scale, o.modeHeight / scale};
}

LayoutBox layoutOf(const std::vector<std::unique_ptr<Output>> &outputs) {
    bool any = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    for (const auto &o : outputs) {
        const Rect box = boxOf(*o);
        if (box.width <= 0 || box.height <= 0)
            continue;
        if (!any) {
            left = box.x;
            top = box.y;
            right = box.x + box.width;
            bottom = box.y + box.height;
            any = true;
        } else {
            left = std::min(left, box.x);
            top = std::min(top, box.y);
            right = std::max(right, box.x + box.width);
            bottom = std::max(bottom, box.y + box.height);
        }
    }
    LayoutBox box;
    if (any) {
        box.x = left;
        box.y = top;
        box.width = right - left;
        box.height = bottom - top;
    }
    return box;
}

OutputLayout::~OutputLayout() {
    for (auto &o : outputs_) {
        if (o->xdgOutput)
            zxdg_output_v1_destroy(o->xdgOutput);
        wl_output_destroy(o->output);
    }
    if (xdgOutputManager_)
        zxdg_output_manager_v1_destroy(xdgOutputManager_);
}

void OutputLayout::add(wl_registry *registry, std::uint32_t name, std::uint32_t version) {
    auto o = std::make_unique<Output>();
    o->name = name;
    o->output = static_cast<wl_output *>(
        wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 2u)));
    wl_output_add_listener(o->output, &kOutputListener, o.get());
    attachXdgOutput(*o);
    outputs_.push_back(std::move(o));
}

bool OutputLayout::remove(std::uint32_t name) {
    auto it = std::find_if(outputs_.begin(), outputs_.end(),
                           [name](const auto &o) { return o->name == name; });
    if (it == outputs_.end())
        return false;
    if ((*it)->xdgOutput)
        zxdg_output_v1_destroy((*it)->xdgOutput);
    wl_output_destroy((*it)->output);
    outputs_.erase(it);
    return true;
}

void OutputLayout::setXdgOutputManager(zxdg_output_manager_v1 *manager) {
    xdgOutputManager_ = manager;
    for (auto &o : outputs_)
        attachXdgOutput(*o);
}

void OutputLayout::attachXdgOutput(Output &o) {
    if (!xdgOutputManager_ || o.xdgOutput)
        return;
    o.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputManager_, o.output);
    zxdg_output_v1_add_listener(o.xdgOutput, &kXdgOutputListener, &o);
}

std::vector<Rect> OutputLayout::boxes() const {
    std::vector<Rect> boxes;
    for (const auto &o : outputs_)
        boxes.push_back(boxOf(*o));
    return boxes;
}

const Output *OutputLayout::holding(const Rect &rect) const {
    for (const auto &o : outputs_) {
        const Rect box = boxOf(*o);
        if (rect.x >= box.x && rect.y >= box.y && rect.x + rect.width <= box.x + box.width &&
            rect.y + rect.height <= box.y + box.height)
            return o.get();
    }
    return nullptr;
}

} // namespace platform::wayland
