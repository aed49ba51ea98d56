#pragma once

// What the screen benchmarks put on the display: a busy desktop (shapes of
// every size and colour on a gradient, the same for a seed) in a frameless
// window at the top-left corner, and the process's CPU clock they measure by.

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include <ctime>
#include <random>
#include <utility>

namespace benchscreen {

inline double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// With `ellipses`, every other shape is an antialiased ellipse.
inline QImage busyDesktop(QSize size, bool ellipses) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(40, 60, 90));
    gradient.setColorAt(1, QColor(200, 180, 120));
    p.fillRect(image.rect(), gradient);
    if (ellipses)
        p.setRenderHint(QPainter::Antialiasing);
    std::mt19937 random(5);
    auto upTo = [&random](int n) { return int(random() % unsigned(n)); };
    p.setPen(Qt::NoPen);
    for (int i = 0; i < size.width() * size.height() / 500; ++i) {
        p.setBrush(QColor(upTo(256), upTo(256), upTo(256)));
        const QRect r(upTo(size.width()) - 10, upTo(size.height()) - 10, 6 + upTo(40),
                      6 + upTo(40));
        if (ellipses && i % 2)
            p.drawEllipse(r);
        else
            p.drawRect(r);
    }
    return image;
}

class Picture : public QWidget {
public:
    explicit Picture(QImage image) : image_(std::move(image)) {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(0, 0, image_.width(), image_.height());
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).drawImage(0, 0, image_); }

private:
    QImage image_;
};

} // namespace benchscreen
