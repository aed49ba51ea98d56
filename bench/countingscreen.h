#pragma once

// What the screen benchmarks share: the 64x64 picture they look for, which
// is on no busy desktop, and the system's backend with its screen reader
// behind a counter of reads.

#include "platform/backend.h"
#include "platform/screenreader.h"
#include "runbench.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace runbench {

// Stripes, on no busy desktop: the picture looked for.
QImage stripes() {
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixelColor(x, y, ((x / 4 + y / 8) % 2) ? QColor(255, 0, 255) : Qt::white);
    return image;
}

QString base64Of(const QImage &image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// Counts the reads (every look reads the screen once); tells what changed
// only when `tell` is on, else the waits compare their captures.
class CountingScreen final : public platform::ScreenReader {
public:
    explicit CountingScreen(platform::ScreenReader &real) : real_(real) {}
    bool pixel(int x, int y, platform::Rgb &colour) override {
        ++looks;
        return real_.pixel(x, y, colour);
    }
    bool region(const platform::Rect &rect, platform::ScreenImage &image) override {
        ++looks;
        return real_.region(rect, image);
    }
    bool bounds(platform::Rect &rect) override { return real_.bounds(rect); }
    bool changesSince(std::uint64_t &token, std::vector<platform::Rect> &changed) override {
        if (tell)
            return real_.changesSince(token, changed);
        return ScreenReader::changesSince(token, changed);
    }
    std::atomic<long long> looks{0};
    std::atomic<bool> tell{false};

private:
    platform::ScreenReader &real_;
};

// The system's backend with its screen behind the counter.
class CountingBackend final : public platform::Backend {
public:
    CountingBackend(platform::Backend &real, CountingScreen &screen)
        : real_(real), screen_(screen) {}
    platform::Capabilities capabilities() const override { return real_.capabilities(); }
    platform::InputLayer *synthesis() override { return real_.synthesis(); }
    platform::KeyEvents *keyEvents() override { return real_.keyEvents(); }
    platform::GlobalShortcuts *shortcuts() override { return real_.shortcuts(); }
    platform::WindowAccess *windowAccess() override { return real_.windowAccess(); }
    platform::ScreenReader *screenReader() override { return &screen_; }
    std::unique_ptr<platform::InputRecorder> createRecorder() override { return nullptr; }

private:
    platform::Backend &real_;
    CountingScreen &screen_;
};

// The system's input and backend, installed with its screen behind a
// counter; false, having said why, where the backend cannot read the screen.
struct CountedInput {
    Input input;
    std::unique_ptr<CountingScreen> screen;
    std::unique_ptr<CountingBackend> backend;

    bool install() {
        if (!input.install())
            return false;
        platform::ScreenReader *real = input.backend->screenReader();
        if (!real) {
            std::fprintf(stderr, "this backend cannot read the screen\n");
            return false;
        }
        screen = std::make_unique<CountingScreen>(*real);
        backend = std::make_unique<CountingBackend>(*input.backend, *screen);
        platform::setBackend(backend.get());
        platform::setInput(input.proxy.get());
        return true;
    }
};

} // namespace runbench
