#pragma once

// The small always-on-top prompt shown while a pointer coordinate is being
// taken. It steps out of the way (hides) while the pointer is near it, so the
// user can point at what lies underneath, and comes back once the pointer
// has moved away.

#include <QRect>
#include <QWidget>

class QLabel;
class QShowEvent;
class QTimer;

class HoverHideWindow : public QWidget {
    Q_OBJECT

public:
    HoverHideWindow(int nearDistance, int edgeMargin, QWidget *parent, bool japanese);

    void setJapanese(bool japanese);
    bool isJapanese() const { return japanese; }
    QString promptText() const;

    // Bottom-right corner of the available area of the screen under the
    // pointer, edgeMargin away from both edges.
    void placeBottomRight();
    // `rect` kept inside the available area of the screen at its centre.
    QRect clampToScreen(const QRect &rect) const;

    // The two placements on a given available area.
    static QPoint bottomRightPosition(const QSize &size, const QRect &available, int margin);
    static QRect clampToArea(const QRect &rect, const QRect &available, int margin);

    bool isHiddenByProximity() const { return hiddenByProximity; }
    QRect lastShownGeometry() const { return lastGeometry; }

public slots:
    void checkCursor();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QTimer *timer = nullptr;
    QLabel *label = nullptr;
    int nearDistance;
    int edgeMargin;
    QRect lastGeometry;
    bool hiddenByProximity = false;
    bool japanese;
};
