#include "hoverhidewindow.h"

#include "capturelog.h"
#include "capturetexts.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QScreen *screenOr(QScreen *screen) {
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace

HoverHideWindow::HoverHideWindow(int nearDistance, int edgeMargin, QWidget *parent, bool japanese)
    : QWidget(parent), nearDistance(nearDistance), edgeMargin(edgeMargin), japanese(japanese) {
    timer = new QTimer(this);
    label = new QLabel(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    resize(320, 100);

    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("font-size:24px;"));
    label->setText(capturetexts::coordinatePrompt.in(japanese));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(label);

    connect(timer, &QTimer::timeout, this, &HoverHideWindow::checkCursor);
    timer->start(100);

    placeBottomRight();
}

void HoverHideWindow::setJapanese(bool japanese) {
    if (japanese == this->japanese)
        return;
    this->japanese = japanese;
    label->setText(capturetexts::coordinatePrompt.in(japanese));
}

QString HoverHideWindow::promptText() const {
    return label->text();
}

QPoint HoverHideWindow::bottomRightPosition(const QSize &size, const QRect &available, int margin) {
    return {available.right() - size.width() - margin, available.bottom() - size.height() - margin};
}

QRect HoverHideWindow::clampToArea(const QRect &rect, const QRect &available, int margin) {
    if (rect.isNull())
        return rect;
    int x = rect.left();
    int y = rect.top();
    const int w = rect.width();
    const int h = rect.height();
    if (available.right() < x + w + margin)
        x = available.right() - w - margin;
    if (x < available.left() + margin)
        x = available.left() + margin;
    if (available.bottom() < y + h + margin)
        y = available.bottom() - h - margin;
    if (y < available.top() + margin)
        y = available.top() + margin;
    return {x, y, w, h};
}

void HoverHideWindow::placeBottomRight() {
    QScreen *screen = screenOr(QGuiApplication::screenAt(QCursor::pos()));
    if (!screen)
        return;
    move(bottomRightPosition(size(), screen->availableGeometry(), edgeMargin));
}

QRect HoverHideWindow::clampToScreen(const QRect &rect) const {
    if (rect.isNull())
        return rect;
    QScreen *screen = screenOr(QGuiApplication::screenAt(rect.center()));
    if (!screen)
        return rect;
    return clampToArea(rect, screen->availableGeometry(), edgeMargin);
}

void HoverHideWindow::checkCursor() {
    const QPoint p = QCursor::pos();
    const int d = nearDistance;
    if (isVisible()) {
        const QRect frame = frameGeometry();
        if (frame.adjusted(-d, -d, d, d).contains(p)) {
            lastGeometry = frame;
            hiddenByProximity = true;
            hide();
            qCDebug(lcCapture) << "hidden (cursor near)";
        }
    } else if (hiddenByProximity) {
        if (!lastGeometry.adjusted(-d, -d, d, d).contains(p)) {
            move(clampToScreen(lastGeometry).topLeft());
            show();
            hiddenByProximity = false;
            qCDebug(lcCapture) << "shown (cursor moved away from last position)";
        }
    }
}

void HoverHideWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    // Back where it was (kept on screen) once it has hidden itself, else in
    // the corner.
    if (!lastGeometry.isNull())
        move(clampToScreen(lastGeometry).topLeft());
    else
        placeBottomRight();
}
