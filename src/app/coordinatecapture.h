#pragma once

// Taking a screen position for a page: the prompt window and Ctrl+Alt+G
// while the main window is out of the way, or, where no shortcut can be
// heard (Wayland), a click on the backend's point picker. Where the
// position goes is the editor's: Ctrl+Alt+G queues the window's
// getCoordinate2, a pick arrives through `picked`.

#include "tarnwick.h"

#include <QObject>
#include <QString>

class HoverHideWindow;
class QWidget;
namespace platform {
struct Point;
class PointPicker;
enum class PickOutcome;
} // namespace platform

class CoordinateCapture : public QObject {
    Q_OBJECT

public:
    // Hides and shows `window`, which owns this object; `japanese` tells
    // which language the prompt and the messages speak.
    CoordinateCapture(const bool &japanese, tarnwick *window);
    // Deletes a prompt still open and ends a pick: their answers would go
    // to a window that is gone.
    ~CoordinateCapture() override;

    // "取得": the prompt and the hot key, or the point picker.
    void getCoordinate();
    // Arms Ctrl+Alt+G; false when it cannot be had.
    bool registerGlobalHotkey();
    void unregisterGlobalHotkey();
    // A position was taken: the hot key given back, the window shown, the
    // prompt closed.
    void finish();

    HoverHideWindow *hoverWindow = nullptr;
    tarnwick::GlobalHotkeyFilter *hotkeyFilter = nullptr; // owned
    bool hotkeyRegistered = false;
    platform::Shortcut hotkeyId = platform::Shortcut::PositionCapture;
    // The prompt is up and no position has been taken yet.
    bool coordinateCaptureArmed = false;
    bool pickingPoint = false;
    // The last error shown, as the user read it.
    QString messageTitle;
    QString messageText;

signals:
    // The user clicked a position on the point picker.
    void picked(const platform::Point &p);
    // The prompt went away (taken or closed).
    void promptClosed();

private:
    void pickCoordinate(platform::PointPicker &picker);
    void pointPicked(platform::PickOutcome outcome, const platform::Point &p);
    void onHoverWindowDestroyed();
    void warnHotkeyUnavailable();

    const bool &japanese_;
    tarnwick *window_;
};
