#include "screensteps.h"

#include "core/recordvalues.h"
#include "core/screenpages.h"
#include "core/timedwait.h"
#include "platform/inputlayer.h"
#include "platform/screenreader.h"
#include "runcontext.h"
#include "vision/imagematch.h"
#include "vision/screenchanges.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace screensteps {
namespace {

using Clock = RunContext::Clock;
using screenpages::Area;
using std::chrono::milliseconds;

constexpr milliseconds kMinimumPause{50};
constexpr int kPauseFactor = 5;
// How soon a wait between two looks hears a stop.
constexpr milliseconds kStopCheck{10};

// When the next look is due: the first at once, then after a pause that
// grows with what the last look cost. Where the screen reader says what
// changed, a wait asks it every kStopCheck and looks as soon as something
// did, at most kMaxLooksPerSecond times a second: 30, a frame of a video
// each, so a video playing elsewhere cannot eat a core, while a picture
// drawn after a quiet while is seen within a poll. Without that knowledge
// every look captures the screen, so the pause stays at least kMinimumPause.
constexpr int kMaxLooksPerSecond = 30;
constexpr std::chrono::nanoseconds kCeilingPause{1'000'000'000 / kMaxLooksPerSecond};
// Where the reader says what changed, the whole area is still captured and
// compared this often: a change the reader never reported (a lost event)
// is seen then.
constexpr milliseconds kRecheck{2000};

class Pacer {
public:
    bool due(Clock::time_point now) const { return now >= next_; }
    // `captured`: whether the look read the screen at all; `told`: whether
    // the reader said what changed.
    void looked(Clock::time_point start, Clock::time_point end, bool captured, bool told) {
        if (!captured)
            return;
        next_ = end + (told ? std::max<std::chrono::nanoseconds>(kCeilingPause,
                                                                 (end - start) * kPauseFactor)
                            : pauseAfter(end - start));
    }

private:
    Clock::time_point next_{};
};

using vision::intersected;

bool contains(const platform::Rect &r, int x, int y) {
    // In 64 bits: a far point minus a negative origin leaves int.
    return x >= r.x && y >= r.y && 0LL + x - r.x < r.width && 0LL + y - r.y < r.height;
}

vision::ImageView viewOf(const QImage &image) {
    return {image.constBits(), image.width(), image.height(), int(image.bytesPerLine())};
}

platform::Rgb rgbOf(const screenpages::Colour &colour) {
    return {std::uint8_t(colour.red), std::uint8_t(colour.green), std::uint8_t(colour.blue)};
}

// The screen for a page, or the run stopped for want of one.
platform::ScreenReader *screenFor(RunContext &run, const windowmatch::Choice &window) {
    platform::ScreenReader *screen = run.screen();
    if (!screen)
        run.fail(RunFailure::Reason::NoScreen, window);
    return screen;
}

// The area a look for a template searches, in screen coordinates, and the
// window it reads through (0 for the screen); false when there is none now
// (the run is stopped when the page's window is missing).
bool searchArea(RunContext &run, platform::ScreenReader &screen,
                const screenpages::ImageSearch &search, platform::Rect &bounds,
                platform::Rect &area, std::uint64_t &window) {
    if (!screen.bounds(bounds))
        return false;
    area = bounds;
    window = 0;
    if (search.area == Area::Rectangle) {
        area = intersected({search.x, search.y, search.width, search.height}, bounds);
    } else if (search.area == Area::Window) {
        platform::WindowInfo info;
        if (!runsteps::findWindowWithPlace(run, search.window, info))
            return false;
        area = intersected(info.client, bounds);
        window = info.id;
    }
    return area.width > 0 && area.height > 0;
}

bool sameRect(const platform::Rect &a, const platform::Rect &b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

platform::Rect movedBy(const platform::Rect &r, int dx, int dy) {
    return {r.x + dx, r.y + dy, r.width, r.height};
}

// Copies `part` into `whole` at `at` (in `whole`'s coordinates).
void patch(platform::ScreenImage &whole, const platform::ScreenImage &part,
           const platform::Rect &at) {
    for (int y = 0; y < at.height; ++y)
        std::copy_n(part.bytes.data() + std::size_t(part.stride) * y, std::size_t(at.width) * 4,
                    whole.bytes.data() + std::size_t(whole.stride) * (at.y + y) +
                        std::size_t(at.x) * 4);
}

// The looks of one wait for a template. The first looks at the whole area;
// each later one only where the screen changed since (as the reader says,
// else as a comparison with the last capture shows), the changed parts grown
// by the template's size: the rest was searched already and has not changed.
// Whenever the area, the screen's bounds or the window's place moved, or a
// read failed, it looks at everything again.
class TemplateWatch {
public:
    TemplateWatch(const screenpages::ImageSearch &search, const QImage &needle, double scale)
        : search_(search), needle_(needle) {
        options_.thresholdPercent = search.thresholdPercent;
        options_.templateScale = search.templateScale;
        options_.screenScale = scale;
        // As findTemplate scales it, and a pixel more for its rounding.
        const double ratio = search.templateScale > 0 ? scale / search.templateScale : 1.0;
        needleWidth_ = int(std::ceil(needle.width() * ratio)) + 1;
        needleHeight_ = int(std::ceil(needle.height() * ratio)) + 1;
    }

    bool captured() const { return captured_; }
    bool told() const { return told_; }

    // One look; true with `centre` (screen coordinates) when the template
    // is there.
    bool look(RunContext &run, platform::ScreenReader &screen, platform::Point &centre) {
        captured_ = false;
        // Asked before the capture, so a change during it is told next time.
        std::vector<platform::Rect> changed;
        told_ = search_.area != Area::Window && screen.changesSince(token_, changed);
        const Clock::time_point now = run.now();
        // A reader that tells reports a new screen size as not knowing, so
        // a still screen needs no other question.
        if (told_ && known_ && changed.empty() && now - lastCompared_ < kRecheck)
            return false;
        platform::Rect bounds, area;
        std::uint64_t window = 0;
        if (!searchArea(run, screen, search_, bounds, area, window))
            return forget();
        const bool whole =
            !known_ || !sameRect(area, area_) || !sameRect(bounds, bounds_) || window != window_;
        if (!whole && told_ && now - lastCompared_ < kRecheck)
            return lookWhereTold(screen, area, changed, centre);
        captured_ = true;
        const bool read =
            window ? screen.windowRegion(window, area, buffer_) : screen.region(area, buffer_);
        if (!read)
            return forget();
        lastCompared_ = now;
        std::vector<platform::Rect> parts;
        if (whole)
            parts.push_back({0, 0, area.width, area.height});
        else
            parts = vision::searchAreas(
                vision::changedTiles(vision::viewOf(last_), vision::viewOf(buffer_)), needleWidth_,
                needleHeight_, {0, 0, area.width, area.height});
        std::swap(last_, buffer_);
        known_ = true;
        area_ = area;
        bounds_ = bounds;
        window_ = window;
        return searchIn(vision::viewOf(last_), parts, area, centre);
    }

private:
    bool forget() {
        known_ = false;
        return false;
    }

    // Reads only the changed parts, grown, and searches them; the last
    // capture is patched with them, so a later comparison starts from the
    // screen as it is.
    bool lookWhereTold(platform::ScreenReader &screen, const platform::Rect &area,
                       const std::vector<platform::Rect> &changed, platform::Point &centre) {
        const std::vector<platform::Rect> parts =
            vision::searchAreas(changed, needleWidth_, needleHeight_, area);
        for (const platform::Rect &part : parts) {
            captured_ = true;
            if (!screen.region(part, buffer_))
                return forget();
            patch(last_, buffer_, movedBy(part, -area.x, -area.y));
            const std::vector<platform::Rect> all{{0, 0, part.width, part.height}};
            if (searchIn(vision::viewOf(buffer_), all, part, centre))
                return true;
        }
        return false;
    }

    // Searches `parts` of `image` (in its coordinates), which shows `at`.
    bool searchIn(const vision::ImageView &image, const std::vector<platform::Rect> &parts,
                  const platform::Rect &at, platform::Point &centre) const {
        for (const platform::Rect &part : parts) {
            const vision::Match match =
                vision::findTemplate(vision::subView(image, part), viewOf(needle_), options_);
            if (match.found) {
                centre = {at.x + part.x + match.x + match.width / 2,
                          at.y + part.y + match.y + match.height / 2};
                return true;
            }
        }
        return false;
    }

    const screenpages::ImageSearch &search_;
    const QImage &needle_;
    vision::MatchOptions options_;
    int needleWidth_ = 0;
    int needleHeight_ = 0;
    bool known_ = false; // last_ shows area_ as the last look saw it
    platform::Rect area_, bounds_;
    std::uint64_t window_ = 0;
    std::uint64_t token_ = 0;
    Clock::time_point lastCompared_{};
    platform::ScreenImage last_, buffer_;
    bool captured_ = false;
    bool told_ = false;
};

// The looks of one wait for a colour.
class ColourWatch {
public:
    explicit ColourWatch(const screenpages::ColourCondition &page) : page_(page) {}

    void wait(RunContext &run) const {
        platform::ScreenReader *screen = screenFor(run, page_.window);
        if (!screen)
            return;
        Pacer pacer;
        platform::ScreenImage buffer;
        run.waitUntil(
            [&] {
                const Clock::time_point start = run.now();
                if (!pacer.due(start))
                    return false;
                platform::Rgb seen;
                const bool readable = read(run, *screen, buffer, seen);
                pacer.looked(start, run.now(), true, false);
                if (!readable)
                    return run.stopping(); // unseen is neither colour: look again
                return vision::colourWithin(seen, rgbOf(page_.colour), page_.tolerance) ==
                       page_.becomes;
            },
            kStopCheck);
    }

private:
    bool read(RunContext &run, platform::ScreenReader &screen, platform::ScreenImage &buffer,
              platform::Rgb &seen) const {
        if (page_.area != Area::Window)
            return onScreen(run, screen, page_.x, page_.y) && screen.pixel(page_.x, page_.y, seen);
        platform::WindowInfo window;
        if (!runsteps::findWindowWithPlace(run, page_.window, window))
            return false;
        const int x = recordvalues::offsetBy(window.client.x, page_.x);
        const int y = recordvalues::offsetBy(window.client.y, page_.y);
        if (!contains(window.client, x, y))
            return onScreen(run, screen, x, y) && screen.pixel(x, y, seen);
        if (!screen.windowRegion(window.id, {x, y, 1, 1}, buffer) || buffer.bytes.size() < 3)
            return false;
        seen = {buffer.bytes[2], buffer.bytes[1], buffer.bytes[0]};
        return true;
    }

    // False, with the run stopped, where the pixel is outside every screen:
    // waiting for its colour would never end.
    bool onScreen(RunContext &run, platform::ScreenReader &screen, int x, int y) const {
        platform::Rect bounds;
        if (!screen.bounds(bounds) || contains(bounds, x, y))
            return true;
        run.fail(RunFailure::Reason::OffScreen, page_.window, x, y);
        return false;
    }

    const screenpages::ColourCondition &page_;
};

} // namespace

void waitForColour(RunContext &run, const screenpages::ColourCondition &page) {
    ColourWatch(page).wait(run);
}

bool lookFor(RunContext &run, const screenpages::ImageSearch &search, const QImage &needle,
             RunContext::Clock::time_point deadline, platform::Point &centre) {
    platform::ScreenReader *screen = screenFor(run, search.window);
    if (!screen || needle.isNull())
        return false;
    Pacer pacer;
    TemplateWatch watch(search, needle, run.displayScale());
    bool found = false;
    run.waitUntil(
        [&] {
            const Clock::time_point start = run.now();
            if (!pacer.due(start))
                return start >= deadline;
            found = watch.look(run, *screen, centre);
            const Clock::time_point end = run.now();
            pacer.looked(start, end, watch.captured(), watch.told());
            return found || run.stopping() || end >= deadline;
        },
        kStopCheck);
    return found;
}

runsteps::ImageProblem measureTemplate(const QByteArray &png, QSize &size) {
    using runsteps::ImageProblem;
    QByteArray bytes = png; // shared, not copied: QBuffer wants a non-const array
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    reader.setDecideFormatFromContent(false);
    size = reader.size(); // from the header alone
    if (!reader.canRead() || !size.isValid() || size.isEmpty())
        return ImageProblem::Unreadable;
    const qint64 area = qint64(size.width()) * size.height();
    if (size.width() > kMaxTemplateSide || size.height() > kMaxTemplateSide ||
        area > kMaxTemplatePixels)
        return ImageProblem::TooLarge;
    return ImageProblem::None;
}

QImage decodeTemplate(const QByteArray &png) {
    QByteArray bytes = png;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    reader.setDecideFormatFromContent(false);
    QImage image;
    if (!reader.read(&image))
        return QImage();
    // In place where Qt can: a second full copy would double the peak.
    image.convertTo(QImage::Format_RGB32);
    return image;
}

std::chrono::nanoseconds pauseAfter(std::chrono::nanoseconds lookTook) {
    return std::max<std::chrono::nanoseconds>(kMinimumPause, lookTook * kPauseFactor);
}

} // namespace screensteps
