#include "templatecapture.h"

#include "capturetexts.h"
#include "platform/backend.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// A screen Qt cannot grab (Wayland), read through the backend instead; its
// reader gives what a run reads.
QImage readThroughBackend(const QRect &rect) {
    platform::ScreenReader *reader = platform::backend().screenReader();
    platform::ScreenImage shot;
    if (!reader || !reader->region({rect.x(), rect.y(), rect.width(), rect.height()}, shot) ||
        shot.width <= 0 || shot.height <= 0)
        return QImage();
    QImage image(shot.width, shot.height, QImage::Format_RGB32);
    for (int y = 0; y < shot.height; ++y)
        std::memcpy(image.scanLine(y), shot.bytes.data() + std::size_t(y) * shot.stride,
                    std::size_t(shot.width) * 4);
    return image;
}

QRect physical(const QRect &logical, double ratio) {
    const int left = int(std::floor(logical.left() * ratio));
    const int top = int(std::floor(logical.top() * ratio));
    const int right = int(std::ceil((logical.right() + 1) * ratio));
    const int bottom = int(std::ceil((logical.bottom() + 1) * ratio));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

double ratioOf(const FrozenScreen &screen) {
    return screen.geometry.width() > 0 ? double(screen.image.width()) / screen.geometry.width()
                                       : 1.0;
}

} // namespace

QList<FrozenScreen> freezeScreens() {
    QList<FrozenScreen> out;
    for (QScreen *screen : QGuiApplication::screens()) {
        FrozenScreen frozen;
        frozen.geometry = screen->geometry();
        const QPixmap grabbed = screen->grabWindow(0);
        if (!grabbed.isNull())
            frozen.image = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
        else
            frozen.image = readThroughBackend(physical(
                QRect(QPoint(0, 0), frozen.geometry.size()).translated(frozen.geometry.topLeft()),
                screen->devicePixelRatio()));
        if (!frozen.image.isNull())
            out.append(frozen);
    }
    return out;
}

QImage cropFrozen(const FrozenScreen &screen, const QRect &selection) {
    const QRect wanted = physical(selection.normalized(), ratioOf(screen));
    const QRect clipped = wanted.intersected(screen.image.rect());
    if (clipped.isEmpty())
        return QImage();
    QImage out = screen.image.copy(clipped);
    out.setDevicePixelRatio(1.0);
    return out;
}

QByteArray templatePng(const QImage &image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.convertToFormat(QImage::Format_RGB32).save(&buffer, "PNG"))
        return QByteArray();
    return bytes;
}

// ---- FrozenScreenView ----

FrozenScreenView::FrozenScreenView(const FrozenScreen &screen, bool japanese)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      screen_(screen), japanese_(japanese) {
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(screen_.geometry);
}

QRect FrozenScreenView::selection() const {
    return QRect(QPoint(std::min(anchor_.x(), current_.x()), std::min(anchor_.y(), current_.y())),
                 QSize(std::abs(current_.x() - anchor_.x()), std::abs(current_.y() - anchor_.y())));
}

void FrozenScreenView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.drawImage(QRect(QPoint(0, 0), screen_.geometry.size()), screen_.image);
    const QRect chosen = selection();
    const QString prompt = capturetexts::templatePrompt.in(japanese_);
    QFont font = painter.font();
    font.setPixelSize(18);
    painter.setFont(font);
    const QRect promptBox = painter.fontMetrics().boundingRect(prompt).adjusted(-8, -4, 8, 4);
    const QRect promptRect(QPoint((width() - promptBox.width()) / 2, 12), promptBox.size());
    painter.fillRect(promptRect, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(promptRect, Qt::AlignCenter, prompt);
    if (!dragging_ || chosen.isEmpty())
        return;
    painter.setPen(QPen(QColor(255, 0, 0), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(chosen.adjusted(0, 0, -1, -1));
    // The size the template will have, in the screen's pixels.
    const QSize pixels = cropFrozen(screen_, chosen).size();
    const QString size = QStringLiteral("%1 × %2").arg(pixels.width()).arg(pixels.height());
    const QRect sizeBox = painter.fontMetrics().boundingRect(size).adjusted(-4, -2, 4, 2);
    QPoint at = chosen.bottomRight() + QPoint(6, 6);
    if (at.x() + sizeBox.width() > width())
        at.setX(chosen.left() - sizeBox.width() - 6);
    if (at.y() + sizeBox.height() > height())
        at.setY(chosen.top() - sizeBox.height() - 6);
    const QRect sizeRect(at, sizeBox.size());
    painter.fillRect(sizeRect, QColor(0, 0, 0, 170));
    painter.drawText(sizeRect, Qt::AlignCenter, size);
}

void FrozenScreenView::mousePressEvent(QMouseEvent *event) {
    // Where the window manager keeps the keyboard from a frameless window,
    // Escape never comes: the right button cancels too.
    if (event->button() == Qt::RightButton) {
        emit cancelled();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    anchor_ = current_ = event->position().toPoint();
    update();
}

void FrozenScreenView::mouseMoveEvent(QMouseEvent *event) {
    if (!dragging_)
        return;
    current_ = event->position().toPoint();
    update();
}

void FrozenScreenView::mouseReleaseEvent(QMouseEvent *event) {
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    current_ = event->position().toPoint();
    dragging_ = false;
    update();
    // A click without a drag takes nothing: the user may drag again.
    if (selection().width() < 1 || selection().height() < 1 ||
        cropFrozen(screen_, selection()).isNull())
        return;
    emit taken(selection());
}

void FrozenScreenView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape)
        emit cancelled();
    else
        QWidget::keyPressEvent(event);
}

// ---- TemplateCapture ----

TemplateCapture::TemplateCapture(bool japanese, QObject *parent)
    : QObject(parent), japanese_(japanese) {}

TemplateCapture::~TemplateCapture() {
    finish();
}

void TemplateCapture::start(const QList<FrozenScreen> &screens, double scale) {
    finish();
    scale_ = scale;
    screens_ = screens;
    for (int i = 0; i < screens_.size(); ++i) {
        auto *view = new FrozenScreenView(screens_.at(i), japanese_);
        connect(view, &FrozenScreenView::taken, this, [this, i](const QRect &selection) {
            const QImage image = cropFrozen(screens_.at(i), selection);
            const QByteArray png = templatePng(image);
            const QSize size = image.size();
            const double scale = scale_;
            finish();
            emit taken(png, size, scale);
        });
        connect(view, &FrozenScreenView::cancelled, this, [this] {
            finish();
            emit cancelled();
        });
        views_.append(view);
        view->showFullScreen();
    }
    if (!views_.isEmpty()) {
        views_.first()->raise();
        views_.first()->activateWindow();
        views_.first()->setFocus();
    }
}

void TemplateCapture::finish() {
    const QList<FrozenScreenView *> views = views_;
    views_.clear();
    for (FrozenScreenView *view : views) {
        disconnect(view, nullptr, this, nullptr);
        view->close(); // deletes itself
    }
}
