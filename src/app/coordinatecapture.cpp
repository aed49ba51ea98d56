#include "coordinatecapture.h"

#include "globalhotkeyfilter.h"
#include "uitexts.h"

#include "capture/capturelog.h"
#include "capture/hoverhidewindow.h"
#include "platform/backend.h"
#include "platform/pointpicker.h"

#include <QMessageBox>

namespace {

constexpr UiText hotkeyFailedTitle{u"エラー", u"Error"};
constexpr UiText hotkeyFailedText{u"Ctrl+Alt+G を登録できませんでした。\n"
                                  u"他のプログラムが使用している可能性があります。",
                                  u"Ctrl+Alt+G could not be registered.\n"
                                  u"Another program is probably using it."};

} // namespace

CoordinateCapture::CoordinateCapture(const bool &japanese, tarnwick *window)
    : QObject(window), japanese_(japanese), window_(window) {}

CoordinateCapture::~CoordinateCapture() {
    unregisterGlobalHotkey();
    if (pickingPoint) {
        // Its answer, queued to this object, goes with it.
        if (platform::PointPicker *picker = platform::backend().pointPicker())
            picker->cancel();
        pickingPoint = false;
    }
    if (!hoverWindow)
        return;
    // No handler of ours may run any more.
    QObject::disconnect(hoverWindow, nullptr, this, nullptr);
    delete hoverWindow;
    hoverWindow = nullptr;
}

void CoordinateCapture::getCoordinate() {
    // Where nothing can hear Ctrl+Alt+G or read the pointer (Wayland), the
    // user clicks the position instead.
    platform::Backend &backend = platform::backend();
    if (!backend.shortcuts() && backend.pointPicker()) {
        pickCoordinate(*backend.pointPicker());
        return;
    }
    // Without the hot key the prompt would wait for a key that never comes
    // while the main window, and with it any unsaved project, stays hidden.
    if (!registerGlobalHotkey()) {
        if (hoverWindow)
            hoverWindow->close();
        warnHotkeyUnavailable();
        return;
    }
    if (hoverWindow) {
        hoverWindow->setJapanese(japanese_);
    } else {
        hoverWindow = new HoverHideWindow(120, 20, nullptr, japanese_);
        hoverWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(hoverWindow, &QObject::destroyed, this, &CoordinateCapture::onHoverWindowDestroyed);
    }
    coordinateCaptureArmed = true;
    hoverWindow->show();
    hoverWindow->raise();
    hoverWindow->activateWindow();
    window_->hide();
}

void CoordinateCapture::pickCoordinate(platform::PointPicker &picker) {
    if (pickingPoint)
        return;
    const bool started = picker.start([this](platform::PickOutcome outcome, platform::Point p) {
        // The picker's thread: the answer is the GUI thread's to handle.
        QMetaObject::invokeMethod(
            this, [this, outcome, p] { pointPicked(outcome, p); }, Qt::QueuedConnection);
    });
    if (!started)
        return;
    pickingPoint = true;
    // Out of the way of what the user is to click, as for the shortcut.
    window_->hide();
}

void CoordinateCapture::pointPicked(platform::PickOutcome outcome, const platform::Point &p) {
    pickingPoint = false;
    if (outcome == platform::PickOutcome::Picked) {
        emit picked(p);
        return;
    }
    window_->show();
    window_->activateWindow();
    if (outcome == platform::PickOutcome::Failed) {
        messageTitle = uitexts::pointPickFailedTitle.in(japanese_);
        messageText = uitexts::pointPickFailedText.in(japanese_);
        QMessageBox::warning(window_, messageTitle, messageText);
    }
}

void CoordinateCapture::finish() {
    unregisterGlobalHotkey();
    coordinateCaptureArmed = false;
    window_->show();
    if (hoverWindow)
        hoverWindow->close();
}

bool CoordinateCapture::registerGlobalHotkey() {
    if (hotkeyRegistered)
        return true;
    if (!hotkeyFilter) {
        hotkeyFilter = new tarnwick::GlobalHotkeyFilter(hotkeyId);
        // Never run inside the shortcut's dispatch: queue it.
        hotkeyFilter->callback = [this] {
            QMetaObject::invokeMethod(window_, "getCoordinate2", Qt::QueuedConnection);
        };
    }
    if (hotkeyFilter->add()) {
        hotkeyRegistered = true;
        return true;
    }
    qCWarning(lcCapture) << "RegisterHotKey failed.";
    delete hotkeyFilter;
    hotkeyFilter = nullptr;
    hotkeyRegistered = false;
    return false;
}

void CoordinateCapture::unregisterGlobalHotkey() {
    hotkeyRegistered = false;
    if (hotkeyFilter) {
        delete hotkeyFilter; // gives the shortcut back
        hotkeyFilter = nullptr;
    }
}

void CoordinateCapture::onHoverWindowDestroyed() {
    hoverWindow = nullptr;
    unregisterGlobalHotkey();
    emit promptClosed();
    // Closed before a position was taken: give the user the window back.
    if (coordinateCaptureArmed) {
        coordinateCaptureArmed = false;
        window_->show();
        window_->activateWindow();
    }
}

void CoordinateCapture::warnHotkeyUnavailable() {
    messageTitle = hotkeyFailedTitle.in(japanese_);
    messageText = hotkeyFailedText.in(japanese_);
    QMessageBox::warning(window_, messageTitle, messageText);
}
