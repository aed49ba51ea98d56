#pragma once

// What a waiting search needs to know between two looks: which parts of the
// screen changed, and where a template could now be that was not there
// before. Plain C++17, no Qt: the run's screen steps keep the state, this
// unit does the arithmetic.

#include "imagematch.h"
#include "platform/screenreader.h"

#include <vector>

namespace vision {

// The side of the square tiles two captures are compared in.
constexpr int kChangeTile = 32;

// The tiles whose pixels differ between two captures of the same place, in
// the images' coordinates, neighbouring changed tiles of a row of tiles
// joined. Images of different sizes differ everywhere: one rectangle, the
// whole of `after`.
std::vector<platform::Rect> changedTiles(const ImageView &before, const ImageView &after,
                                         int tileSide = kChangeTile);

// Where a template `needleWidth` × `needleHeight` pixels large (as it is
// looked for, after any scaling) may now be that it was not before: every
// placement that overlaps a changed pixel lies within the changed rectangle
// grown by the template's size less one on each side. Clipped to `area`,
// overlapping rectangles joined into their bounds; empty where nothing
// changed.
std::vector<platform::Rect> searchAreas(const std::vector<platform::Rect> &changed, int needleWidth,
                                        int needleHeight, const platform::Rect &area);

// The overlap of two rectangles; width 0 where they do not overlap.
platform::Rect intersected(const platform::Rect &a, const platform::Rect &b);

// The pixels of `rect` (in `image`'s coordinates, within it) without a copy.
ImageView subView(const ImageView &image, const platform::Rect &rect);

} // namespace vision
