// Reading the screen and finding a 64x64 template on a 1920x1080 X display:
// the capture (X11 reader, shared memory) and the match (coarse search, then
// full resolution) timed separately, medians and 99th percentiles, and the
// CPU time they take; compared in the same run with a plain full-resolution
// cv2.matchTemplate (Debian's python3-opencv) on the same picture.

#include "vision/imagematch.h"
#include "desktoppicture.h"
#include "platform/backend.h"
#include "vision/screenchanges.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t i = std::min(values.size() - 1, size_t(p / 100.0 * double(values.size())));
    return values[i];
}

void print(const char *what, const std::vector<double> &ms) {
    std::printf("%-44s median %7.2f ms   p99 %7.2f ms   (%zu runs)\n", what, percentile(ms, 50),
                percentile(ms, 99), ms.size());
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const QSize size = QGuiApplication::primaryScreen()->size();
    if (size != QSize(1920, 1080))
        std::fprintf(stderr,
                     "note: the display is %dx%d, not 1920x1080 (Xvfb :N -screen 0 "
                     "1920x1080x24)\n",
                     size.width(), size.height());
    std::string error;
    std::unique_ptr<platform::Backend> backend = platform::createBackend("xcb", error);
    platform::ScreenReader *reader = backend->screenReader();
    if (!reader) {
        std::fprintf(stderr, "no screen reader: %s\n", error.c_str());
        return 1;
    }
    const QImage shown = benchscreen::busyDesktop(size, true);
    benchscreen::Picture picture(shown);
    picture.show();
    const QPoint place(1401 * size.width() / 1920, 803 * size.height() / 1080);
    // Wait until the picture is on the screen.
    platform::ScreenImage screen;
    for (int i = 0; i < 500; ++i) {
        QCoreApplication::processEvents();
        if (reader->region({0, 0, size.width(), size.height()}, screen) &&
            QImage(screen.bytes.data(), screen.width, screen.height, screen.stride,
                   QImage::Format_RGB32)
                    .copy(place.x(), place.y(), 64, 64) == shown.copy(place.x(), place.y(), 64, 64))
            break;
        QThread::msleep(10);
    }
    const QImage captured = QImage(screen.bytes.data(), screen.width, screen.height, screen.stride,
                                   QImage::Format_RGB32)
                                .copy();
    const QImage templ = captured.copy(place.x(), place.y(), 64, 64);
    const vision::ImageView needle{templ.constBits(), templ.width(), templ.height(),
                                   int(templ.bytesPerLine())};

    std::vector<double> capture, match, both;
    double cpuCapture = 0, cpuMatch = 0;
    int wrong = 0;
    for (int i = 0; i < runs; ++i) {
        const double c0 = benchscreen::processCpuSeconds();
        const Clock::time_point t0 = Clock::now();
        platform::ScreenImage image;
        if (!reader->region({0, 0, size.width(), size.height()}, image))
            return 1;
        const Clock::time_point t1 = Clock::now();
        const double c1 = benchscreen::processCpuSeconds();
        const vision::Match m = vision::findTemplate(vision::viewOf(image), needle, {});
        const Clock::time_point t2 = Clock::now();
        cpuMatch += benchscreen::processCpuSeconds() - c1;
        cpuCapture += c1 - c0;
        wrong += !m.found || m.x != place.x() || m.y != place.y();
        capture.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        match.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        both.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
    }
    std::printf("Screen %dx%d, template 64x64 at %d,%d\n", size.width(), size.height(), place.x(),
                place.y());
    print("capture (X11, whole screen)", capture);
    print("match (coarse, then full resolution)", match);
    print("capture + match", both);
    std::printf("CPU time per capture + match: %.2f ms (capture %.2f, match %.2f); "
                "polled every 100 ms: %.0f %% of one core\n",
                1000 * (cpuCapture + cpuMatch) / runs, 1000 * cpuCapture / runs,
                1000 * cpuMatch / runs, 100 * (cpuCapture + cpuMatch) / runs / 0.1);
    if (wrong)
        std::printf("WRONG: %d of %d searches missed the place\n", wrong, runs);

    // A look where a 200x200 part of the screen changed, as a waiting page
    // makes it: the part (holding the template, at a place of its own each
    // run) grown by the template's size, read and searched.
    std::vector<double> area;
    std::mt19937 random(5);
    const platform::Rect bounds{0, 0, size.width(), size.height()};
    const double areaCpu0 = benchscreen::processCpuSeconds();
    for (int i = 0; i < runs; ++i) {
        const platform::Rect changed{place.x() - int(random() % 137),
                                     place.y() - int(random() % 137), 200, 200};
        const Clock::time_point t0 = Clock::now();
        bool found = false;
        for (const platform::Rect &r : vision::searchAreas({changed}, 65, 65, bounds)) {
            platform::ScreenImage image;
            if (!reader->region(r, image))
                return 1;
            const vision::Match m = vision::findTemplate(vision::viewOf(image), needle, {});
            found = found || (m.found && r.x + m.x == place.x() && r.y + m.y == place.y());
        }
        area.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        wrong += !found;
    }
    const double areaCpu = benchscreen::processCpuSeconds() - areaCpu0;
    print("capture + match where 200x200 changed", area);
    std::printf("ratio: %.3f of a whole look; CPU time per look %.2f ms (whole: %.2f ms)\n",
                percentile(area, 50) / percentile(both, 50), 1000 * areaCpu / runs,
                1000 * (cpuCapture + cpuMatch) / runs);
    if (wrong)
        std::printf("WRONG: %d searches missed the place\n", wrong);

    // The same picture and template through Python's OpenCV, full resolution.
    QTemporaryDir dir;
    captured.save(dir.filePath("screen.png"));
    templ.save(dir.filePath("template.png"));
    const QString source = QStringLiteral(TARNWICK_SOURCE_DIR "/bench/imagematch_cv2.py");
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's interpreter: python3-opencv belongs to it, whatever else is on the PATH.
    const QString interpreter = QFile::exists(QStringLiteral("/usr/bin/python3"))
                                    ? QStringLiteral("/usr/bin/python3")
                                    : QStringLiteral("python3");
    python.start(interpreter, {source, dir.filePath("screen.png"), dir.filePath("template.png"),
                               QString::number(std::min(runs, 50))});
    if (!python.waitForFinished(600000) || python.exitCode() != 0) {
        std::printf("cv2.matchTemplate: not measured (python3-opencv missing?)\n");
        return wrong ? 2 : 0;
    }
    const QStringList fields = QString::fromUtf8(python.readAllStandardOutput()).split(' ');
    if (fields.size() >= 4) {
        const double median = fields[0].toDouble();
        std::printf("%-44s median %7.2f ms   p99 %7.2f ms   found at %s,%s\n",
                    "cv2.matchTemplate (python3-opencv, full res)", median, fields[1].toDouble(),
                    qPrintable(fields[2]), qPrintable(fields[3].trimmed()));
        std::printf("ratio: our match is %.1fx faster, capture + match %.1fx faster\n",
                    median / percentile(match, 50), median / percentile(both, 50));
    }
    return wrong ? 2 : 0;
}
