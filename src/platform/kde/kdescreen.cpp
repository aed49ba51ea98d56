#include "kdescreen.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <QVariantMap>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform::kde {
namespace {

constexpr int kTimeoutMs = 5000;

// Exactly `size` bytes from `fd`: the end of the pipe would come only once
// every copy of its other end is closed, and D-Bus keeps one with the call.
bool readExactly(int fd, qsizetype size, QByteArray &bytes) {
    bytes.resize(size);
    qsizetype done = 0;
    while (done < size) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, kTimeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const ssize_t n = read(fd, bytes.data() + done, std::size_t(size - done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

struct KdeScreen::Impl {
    std::function<Rect()> layout;
    QString connectionName;
    std::mutex mutex; // one capture at a time

    QDBusConnection connection() const { return QDBusConnection(connectionName); }

    // The area as KWin shows it; false, with why in `error`, where it would not.
    bool capture(const Rect &rect, QImage &image, QString *error = nullptr) {
        std::lock_guard<std::mutex> lock(mutex);
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        QDBusMessage m = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
            QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("CaptureArea"));
        QVariantMap options;
        options.insert(QStringLiteral("native-resolution"), false);
        m.setArguments({rect.x, rect.y, uint(rect.width), uint(rect.height), options,
                        QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]))});
        // KWin replies with the picture's shape, then writes it.
        QDBusPendingCall call = connection().asyncCall(m, kTimeoutMs);
        close(fds[1]);
        call.waitForFinished();
        const QDBusMessage reply = call.reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            close(fds[0]);
            if (error)
                *error = reply.errorMessage();
            return false;
        }
        const QVariantMap results =
            qdbus_cast<QVariantMap>(reply.arguments().at(0).value<QDBusArgument>());
        const int width = results.value(QStringLiteral("width")).toInt();
        const int height = results.value(QStringLiteral("height")).toInt();
        const int stride = results.value(QStringLiteral("stride")).toInt();
        const int format = results.value(QStringLiteral("format")).toInt();
        QByteArray bytes;
        const bool fits =
            width > 0 && height > 0 && stride >= width && format > QImage::Format_Invalid &&
            format < QImage::NImageFormats &&
            results.value(QStringLiteral("type")).toString() == QLatin1String("raw") &&
            qint64(stride) * height <= (qint64(1) << 30);
        const bool read = fits && readExactly(fds[0], qsizetype(stride) * height, bytes);
        close(fds[0]);
        if (!read)
            return false;
        // Over `bytes`, which go at the return: converted or copied off them.
        const QImage wrapped(reinterpret_cast<const uchar *>(bytes.constData()), width, height,
                             stride, QImage::Format(format));
        image = wrapped.format() == QImage::Format_RGB32
                    ? wrapped.copy()
                    : wrapped.convertToFormat(QImage::Format_RGB32);
        // Sampled to logical pixels where an output is scaled.
        if (image.width() != rect.width || image.height() != rect.height)
            image = image.scaled(rect.width, rect.height);
        return !image.isNull();
    }
};

KdeScreen::KdeScreen() : d_(std::make_unique<Impl>()) {}
KdeScreen::~KdeScreen() {
    QDBusConnection::disconnectFromBus(d_->connectionName);
}

std::unique_ptr<KdeScreen> KdeScreen::create(std::function<Rect()> layout, std::string &error) {
    std::unique_ptr<KdeScreen> s(new KdeScreen());
    s->d_->layout = std::move(layout);
    s->d_->connectionName = QStringLiteral("tarnwick-kwin-screen-%1").arg(quintptr(s.get()), 0, 16);
    if (!QDBusConnection::connectToBus(QDBusConnection::SessionBus, s->d_->connectionName)
             .isConnected()) {
        error = "the session bus cannot be reached";
        return nullptr;
    }
    // One pixel tells whether KWin takes screenshots for this program.
    QImage probe;
    QString why;
    if (!s->d_->capture(Rect{0, 0, 1, 1}, probe, &why)) {
        error = "KWin takes no screenshots for this program" +
                (why.isEmpty() ? std::string() : ": " + why.toStdString());
        return nullptr;
    }
    return s;
}

bool KdeScreen::pixel(int x, int y, Rgb &colour) {
    QImage image;
    if (!d_->capture(Rect{x, y, 1, 1}, image))
        return false;
    const QRgb p = image.pixel(0, 0);
    colour.r = std::uint8_t(qRed(p));
    colour.g = std::uint8_t(qGreen(p));
    colour.b = std::uint8_t(qBlue(p));
    return true;
}

bool KdeScreen::region(const Rect &rect, ScreenImage &out) {
    if (rect.width <= 0 || rect.height <= 0)
        return false;
    QImage image;
    if (!d_->capture(rect, image))
        return false;
    out.width = image.width();
    out.height = image.height();
    out.stride = out.width * 4;
    out.bytes.resize(std::size_t(out.stride) * std::size_t(out.height));
    for (int row = 0; row < out.height; ++row)
        std::memcpy(&out.bytes[std::size_t(row) * std::size_t(out.stride)],
                    image.constScanLine(row), std::size_t(out.stride));
    return true;
}

bool KdeScreen::bounds(Rect &rect) {
    rect = d_->layout();
    return rect.width > 0 && rect.height > 0;
}

} // namespace platform::kde
