#include "screensteps.h"

#include "core/recordvalues.h"
#include "core/screenpages.h"
#include "core/timedwait.h"
#include "platform/inputlayer.h"
#include "platform/screenreader.h"
#include "runcontext.h"
#include "vision/imagematch.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>

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
// grows with what the last look cost.
class Pacer {
public:
    bool due(Clock::time_point now) const { return now >= next_; }
    void looked(Clock::time_point start, Clock::time_point end) {
        next_ = end + pauseAfter(end - start);
    }

private:
    Clock::time_point next_{};
};

platform::Rect intersected(const platform::Rect &a, const platform::Rect &b) {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const long long right = std::min<long long>(0LL + a.x + a.width, 0LL + b.x + b.width);
    const long long bottom = std::min<long long>(0LL + a.y + a.height, 0LL + b.y + b.height);
    if (right <= left || bottom <= top)
        return {};
    return {left, top, int(right - left), int(bottom - top)};
}

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

// One look for a template. False when it is not there (or the screen could
// not be read this time); the run is stopped when the page's window is
// missing. `centre` is in screen coordinates.
bool lookFor(RunContext &run, platform::ScreenReader &screen,
             const screenpages::ImageSearch &search, const QImage &needle,
             platform::ScreenImage &buffer, platform::Point &centre) {
    platform::Rect bounds;
    if (!screen.bounds(bounds))
        return false;
    platform::Rect area = bounds;
    std::uint64_t window = 0;
    if (search.area == Area::Rectangle) {
        area = intersected({search.x, search.y, search.width, search.height}, bounds);
    } else if (search.area == Area::Window) {
        platform::WindowInfo info;
        if (!runsteps::findWindowWithPlace(run, search.window, info))
            return false;
        area = intersected(info.client, bounds);
        window = info.id;
    }
    if (area.width <= 0 || area.height <= 0)
        return false;
    const bool read =
        window ? screen.windowRegion(window, area, buffer) : screen.region(area, buffer);
    if (!read)
        return false;
    vision::MatchOptions options;
    options.thresholdPercent = search.thresholdPercent;
    options.templateScale = search.templateScale;
    options.screenScale = run.displayScale();
    const vision::Match match =
        vision::findTemplate(vision::viewOf(buffer), viewOf(needle), options);
    if (!match.found)
        return false;
    centre = {area.x + match.x + match.width / 2, area.y + match.y + match.height / 2};
    return true;
}

// Until the pixel is within the tolerance of the colour, or until it is not.
class ColourCondition : public runsteps::Condition {
public:
    explicit ColourCondition(const QStringList &record)
        : page_(screenpages::colourFromRecord(record)) {}

    void wait(RunContext &run) const override {
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
                pacer.looked(start, run.now());
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

    screenpages::ColourCondition page_;
};

// Until the template is seen; its centre is remembered for the pass.
class ImageCondition : public runsteps::Condition {
public:
    ImageCondition(const QStringList &record, const runsteps::Templates &templates)
        : search_(screenpages::imageFromRecord(record)), needle_(templates.value(search_.png)) {
        search_.png.clear(); // decoded: the record's copy is not needed
    }

    void wait(RunContext &run) const override {
        platform::ScreenReader *screen = screenFor(run, search_.window);
        if (!screen || needle_.isNull())
            return;
        Pacer pacer;
        platform::ScreenImage buffer;
        platform::Point centre;
        const bool found = run.waitUntil(
            [&] {
                const Clock::time_point start = run.now();
                if (!pacer.due(start))
                    return false;
                const bool seen = lookFor(run, *screen, search_, needle_, buffer, centre);
                pacer.looked(start, run.now());
                return seen || run.stopping();
            },
            kStopCheck);
        if (found && !run.stopping())
            run.rememberPlace(centre.x, centre.y);
    }

private:
    screenpages::ImageSearch search_;
    QImage needle_;
};

// Looks for its template for up to its time and moves the pointer there;
// without a template, to where the pass last found one. On the run thread,
// so nothing after it starts before the pointer is in place.
class ImageJumpAction : public runsteps::Action {
public:
    ImageJumpAction(const QStringList &record, const runsteps::Templates &templates)
        : jump_(screenpages::jumpFromRecord(record)), needle_(templates.value(jump_.search.png)) {
        jump_.search.png.clear();
    }

    bool start(RunContext &run) const override {
        platform::Point centre;
        if (needle_.isNull()) {
            if (!run.rememberedPlace(centre.x, centre.y)) {
                run.fail(RunFailure::Reason::NoPlaceFound, jump_.search.window);
                return true;
            }
        } else if (!search(run, centre)) {
            return true;
        }
        run.input().setCursorPos(recordvalues::offsetBy(centre.x, jump_.offsetX),
                                 recordvalues::offsetBy(centre.y, jump_.offsetY));
        return true;
    }

private:
    // False when the run was stopped, for whatever reason.
    bool search(RunContext &run, platform::Point &centre) const {
        platform::ScreenReader *screen = screenFor(run, jump_.search.window);
        if (!screen)
            return false;
        const Clock::time_point deadline = timedwait::deadlineAfter(run.now(), jump_.seconds);
        Pacer pacer;
        platform::ScreenImage buffer;
        bool found = false;
        run.waitUntil(
            [&] {
                const Clock::time_point start = run.now();
                if (!pacer.due(start))
                    return start >= deadline;
                found = lookFor(run, *screen, jump_.search, needle_, buffer, centre);
                const Clock::time_point end = run.now();
                pacer.looked(start, end);
                return found || run.stopping() || end >= deadline;
            },
            kStopCheck);
        if (run.stopping())
            return false;
        if (!found) {
            run.fail(RunFailure::Reason::ImageNotFound, jump_.search.window);
            return false;
        }
        run.rememberPlace(centre.x, centre.y);
        return true;
    }

    screenpages::ImageJump jump_;
    QImage needle_;
};

} // namespace

std::unique_ptr<runsteps::Condition> colourCondition(const QStringList &record,
                                                     const runsteps::Templates &) {
    return std::make_unique<ColourCondition>(record);
}

std::unique_ptr<runsteps::Condition> imageCondition(const QStringList &record,
                                                    const runsteps::Templates &templates) {
    return std::make_unique<ImageCondition>(record, templates);
}

std::unique_ptr<runsteps::Action> imageJump(const QStringList &record,
                                            const runsteps::Templates &templates) {
    return std::make_unique<ImageJumpAction>(record, templates);
}

runsteps::ImageProblem templateOf(pagekinds::Side side, const QStringList &record,
                                  QByteArray &png) {
    using runsteps::ImageProblem;
    png.clear();
    const QString &kind = record.value(0);
    const bool condition = side == pagekinds::Side::Condition && kind == pagekinds::name::image;
    const bool jump = side == pagekinds::Side::Command && kind == pagekinds::name::imageJump;
    if (!condition && !jump)
        return ImageProblem::None;
    png = screenpages::imageFromRecord(record).png;
    return png.isEmpty() && condition ? ImageProblem::Missing : ImageProblem::None;
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

bool colourUnreadable(pagekinds::Side side, const QStringList &record) {
    if (side != pagekinds::Side::Condition || record.value(0) != pagekinds::name::colour)
        return false;
    screenpages::Colour colour;
    return !screenpages::parseColour(record.value(7), colour);
}

std::chrono::nanoseconds pauseAfter(std::chrono::nanoseconds lookTook) {
    return std::max<std::chrono::nanoseconds>(kMinimumPause, lookTook * kPauseFactor);
}

} // namespace screensteps
