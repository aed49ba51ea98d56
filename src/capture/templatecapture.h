#pragma once

// Making an Image page's template from the screen: every screen is frozen
// (a picture in physical pixels, as a run reads the screen) and shown
// full-screen in a frameless window of its own; the user drags a rectangle
// over the picture, which shows its size while it grows; releasing the
// button takes it, Escape cancels.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QWidget>

// One screen as it was when the capture began.
struct FrozenScreen {
    QRect geometry; // on the desktop, in Qt's (logical) coordinates
    QImage image;   // physical pixels: geometry's size times the screen's ratio
};

// Every screen's picture, through Qt's screen grab or, where that gives
// nothing, the backend's screen reader. Empty when no screen can be read.
QList<FrozenScreen> freezeScreens();

// The physical pixels under `selection` (logical, from the screen's top-left
// corner), clipped to the picture; null when nothing is left.
QImage cropFrozen(const FrozenScreen &screen, const QRect &selection);

// PNG bytes of an image, as the records keep templates (no alpha).
QByteArray templatePng(const QImage &image);

// The full-screen window over one frozen screen.
class FrozenScreenView : public QWidget {
    Q_OBJECT

public:
    FrozenScreenView(const FrozenScreen &screen, bool japanese);

    // The selection being dragged, logical, from where the button went down
    // to where the pointer is (that pixel not included); empty while there
    // is none.
    QRect selection() const;

signals:
    void taken(const QRect &selection);
    void cancelled();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    FrozenScreen screen_;
    bool japanese_;
    bool dragging_ = false;
    QPoint anchor_;
    QPoint current_;
};

class TemplateCapture : public QObject {
    Q_OBJECT

public:
    explicit TemplateCapture(bool japanese, QObject *parent = nullptr);
    ~TemplateCapture() override;

    // Shows one view per frozen screen. `scale` is what the template
    // records: displayScale() now.
    void start(const QList<FrozenScreen> &screens, double scale);
    QList<FrozenScreenView *> views() const { return views_; }

signals:
    // Emitted once, then the views close.
    void taken(const QByteArray &png, const QSize &size, double scale);
    void cancelled();

private:
    void finish();

    bool japanese_;
    double scale_ = 1.0;
    QList<FrozenScreen> screens_;
    QList<FrozenScreenView *> views_;
};
