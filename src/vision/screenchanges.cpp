#include "screenchanges.h"

#include <algorithm>
#include <cstring>

namespace vision {

platform::Rect intersected(const platform::Rect &a, const platform::Rect &b) {
    const long long left = std::max<long long>(a.x, b.x);
    const long long top = std::max<long long>(a.y, b.y);
    const long long right = std::min(0LL + a.x + a.width, 0LL + b.x + b.width);
    const long long bottom = std::min(0LL + a.y + a.height, 0LL + b.y + b.height);
    if (right <= left || bottom <= top)
        return {};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

ImageView subView(const ImageView &image, const platform::Rect &rect) {
    return {image.bytes + static_cast<size_t>(rect.y) * image.stride +
                static_cast<size_t>(rect.x) * 4,
            rect.width, rect.height, image.stride};
}

std::vector<platform::Rect> changedTiles(const ImageView &before, const ImageView &after,
                                         int tileSide) {
    std::vector<platform::Rect> changed;
    if (after.width <= 0 || after.height <= 0)
        return changed;
    if (before.width != after.width || before.height != after.height || !before.bytes ||
        tileSide <= 0)
        return {{0, 0, after.width, after.height}};
    const int columns = (after.width + tileSide - 1) / tileSide;
    std::vector<char> differs(static_cast<size_t>(columns));
    for (int top = 0; top < after.height; top += tileSide) {
        const int rows = std::min(tileSide, after.height - top);
        std::fill(differs.begin(), differs.end(), 0);
        // Row by row, each tile compared until its first difference: a still
        // screen costs one memcmp a tile row, and a changed tile stops early.
        for (int y = top; y < top + rows; ++y) {
            const std::uint8_t *a = before.bytes + static_cast<size_t>(y) * before.stride;
            const std::uint8_t *b = after.bytes + static_cast<size_t>(y) * after.stride;
            for (int c = 0; c < columns; ++c) {
                if (differs[size_t(c)])
                    continue;
                const int x = c * tileSide;
                const size_t bytes = static_cast<size_t>(std::min(tileSide, after.width - x)) * 4;
                if (std::memcmp(a + size_t(x) * 4, b + size_t(x) * 4, bytes) != 0)
                    differs[size_t(c)] = 1;
            }
        }
        for (int c = 0; c < columns;) {
            if (!differs[size_t(c)]) {
                ++c;
                continue;
            }
            int end = c;
            while (end < columns && differs[size_t(end)])
                ++end;
            const int x = c * tileSide;
            changed.push_back({x, top, std::min(end * tileSide, after.width) - x, rows});
            c = end;
        }
    }
    return changed;
}

namespace {

bool overlaps(const platform::Rect &a, const platform::Rect &b) {
    return intersected(a, b).width > 0;
}

platform::Rect bounding(const platform::Rect &a, const platform::Rect &b) {
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width);
    const int bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

} // namespace

std::vector<platform::Rect> searchAreas(const std::vector<platform::Rect> &changed, int needleWidth,
                                        int needleHeight, const platform::Rect &area) {
    std::vector<platform::Rect> areas;
    const long long growX = std::max(0, needleWidth - 1);
    const long long growY = std::max(0, needleHeight - 1);
    for (const platform::Rect &r : changed) {
        if (r.width <= 0 || r.height <= 0)
            continue;
        // In 64 bits, then clipped: a rectangle near the edge of int grows past it.
        const long long left = std::max<long long>(r.x - growX, area.x);
        const long long top = std::max<long long>(r.y - growY, area.y);
        const long long right = std::min(0LL + r.x + r.width + growX, 0LL + area.x + area.width);
        const long long bottom = std::min(0LL + r.y + r.height + growY, 0LL + area.y + area.height);
        if (right <= left || bottom <= top)
            continue;
        platform::Rect grown{int(left), int(top), int(right - left), int(bottom - top)};
        // Join it with every area it overlaps, until it overlaps none: the
        // joined bounds may reach areas the parts did not.
        for (bool joined = true; joined;) {
            joined = false;
            for (auto it = areas.begin(); it != areas.end(); ++it) {
                if (overlaps(*it, grown)) {
                    grown = bounding(*it, grown);
                    areas.erase(it);
                    joined = true;
                    break;
                }
            }
        }
        areas.push_back(grown);
    }
    return areas;
}

} // namespace vision
