// The GNOME backend on the headless GNOME Shell of scripts/gnome.sh: 1,000
// ASCII characters (typed as keysyms) and 1,000 different kanji (pasted)
// into a GtkEntry, characters per second and exactness; and full-screen
// looks through the screen cast's stream, median and 99th percentile.
// Run with GNOME_WAYLAND_DISPLAY and GNOME_SESSION_BUS set (see README.md).

#include "platform/backend.h"
#include "support/gnomesession.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Typed {
    bool exact = false;
    int arrived = 0;
    double seconds = 0;
};

Typed typeInto(platform::InputLayer &layer, const QString &text) {
    Typed out;
    testsupport::GnomeGtkTarget entry;
    QString error;
    if (!entry.start(QStringLiteral("entry"), error)) {
        std::fprintf(stderr, "no entry: %s\n", qPrintable(error));
        return out;
    }
    QElapsedTimer t;
    t.start();
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    layer.textAhead(units, static_cast<std::size_t>(text.size()));
    for (int i = 0; i < text.size(); ++i) {
        layer.unicodeDown(units[i]);
        layer.unicodeUp(units[i]);
    }
    const QString got = entry.text(text.size());
    out.seconds = t.elapsed() / 1000.0;
    out.exact = got == text;
    for (int i = 0; i < std::min(got.size(), text.size()); ++i)
        out.arrived += got.at(i) == text.at(i) ? 1 : 0;
    return out;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * double(v.size())));
    return v[i];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QString why;
    if (!testsupport::useGnomeSession(why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 2;
    }
    std::string error;
    std::unique_ptr<platform::Backend> backend = platform::createBackend("wayland", error);
    if (backend->capabilities().name != "gnome") {
        std::fprintf(stderr, "not the GNOME backend: %s\n", error.c_str());
        return 2;
    }
    QString ascii, kanji;
    for (int i = 0; i < 1000; ++i) {
        ascii.append(QChar(char16_t(0x21 + (i * 37) % 94)));
        kanji.append(QChar(char16_t(0x4E00 + i * 7)));
    }
    for (const auto &[name, text] : {std::pair<const char *, QString>{"ascii", ascii},
                                     std::pair<const char *, QString>{"kanji", kanji}}) {
        const Typed r = typeInto(*backend->synthesis(), text);
        std::printf("%-6s %4d/1000 exact=%s %.2f s %.0f chars/s\n", name, r.arrived,
                    r.exact ? "yes" : "no", r.seconds, r.seconds > 0 ? r.arrived / r.seconds : 0.0);
    }
    platform::ScreenReader *screen = backend->screenReader();
    platform::Rect bounds;
    if (screen && screen->bounds(bounds)) {
        std::vector<double> ms;
        platform::ScreenImage image;
        for (int i = 0; i < 200; ++i) {
            QElapsedTimer t;
            t.start();
            if (!screen->region(bounds, image))
                break;
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        if (!ms.empty())
            std::printf("look %dx%d: median %.2f ms, p99 %.2f ms (%zu looks)\n", bounds.width,
                        bounds.height, percentile(ms, 0.5), percentile(ms, 0.99), ms.size());
    }
    return 0;
}
