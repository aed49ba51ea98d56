#pragma once

// Finding a template image in a larger one (a screen or a region of it),
// with OpenCV. Plain C++17 in the interface: callers hand in pixels as the
// screen reader gives them (4 bytes a pixel: B, G, R, unused), which is also
// the memory of a QImage in Format_RGB32 or Format_ARGB32 on little-endian
// machines. Reentrant: calls share nothing, any thread may match.

#include "platform/screenreader.h"

#include <cstdint>

namespace vision {

// Pixels owned by someone else, rows top to bottom, `stride` bytes a row.
struct ImageView {
    const std::uint8_t *bytes = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

inline ImageView viewOf(const platform::ScreenImage &image) {
    return {image.bytes.data(), image.width, image.height, image.stride};
}

struct MatchOptions {
    // Similarity in percent (0-100) at or above which the template counts
    // as found.
    double thresholdPercent = 90.0;
    // The display scale (1.0 = 100 %) when the template was made, and the
    // scale of the display searched: a template made at 100 % is looked
    // for at 1.5 times its size on a 150 % display.
    double templateScale = 1.0;
    double screenScale = 1.0;
};

struct Match {
    bool found = false; // similarity at or above the threshold
    // The best place even when not found (width 0 when there is none: a
    // template larger than the image, or an empty one). In the searched
    // image's pixels, the template's size times the scale ratio.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    double similarityPercent = 0.0;
};

// The best place of `needle` in `haystack`. Textured templates are compared
// by normalised correlation, single-colour ones (whose correlation is
// undefined) by their squared difference (1 - root mean square difference
// per channel / 255). Large images are searched on
// a reduced copy first and the best candidates refined at full resolution.
Match findTemplate(const ImageView &haystack, const ImageView &needle,
                   const MatchOptions &options = {});

// True when `colour` is within `tolerance` (0-255) of `wanted` in each of
// red, green and blue.
bool colourWithin(platform::Rgb colour, platform::Rgb wanted, int tolerance);

} // namespace vision
