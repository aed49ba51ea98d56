#include "tarnwick.h"

#include "capture/capturelog.h"
#include "capture/hoverhidewindow.h"
#include "editorpanes.h"
#include "globalhotkeyfilter.h"
#include "platform/inputlayer.h"
#include "uitexts.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr int kPointerTestDelayMs = 1000;

constexpr UiText hotkeyFailedTitle{u"エラー", u"Error"};
constexpr UiText hotkeyFailedText{u"Ctrl+Alt+G を登録できませんでした。\n"
                                  u"他のプログラムが使用している可能性があります。",
                                  u"Ctrl+Alt+G could not be registered.\n"
                                  u"Another program is probably using it."};

} // namespace

void tarnwick::getCoordinate() {
    // Without the hot key the prompt would wait for a key that never comes
    // while the main window, and with it any unsaved project, stays hidden.
    if (!registerGlobalHotkey()) {
        if (hoverWindow)
            hoverWindow->close();
        warnHotkeyUnavailable();
        return;
    }
    if (hoverWindow) {
        hoverWindow->setJapanese(is_japanese);
    } else {
        hoverWindow = new HoverHideWindow(120, 20, nullptr, is_japanese);
        hoverWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(hoverWindow, &QObject::destroyed, this, &tarnwick::onHoverWindowDestroyed);
    }
    coordinateCaptureArmed = true;
    hoverWindow->show();
    hoverWindow->raise();
    hoverWindow->activateWindow();
    hide();
}

void tarnwick::getCoordinate2() {
    const platform::Point p = platform::input().cursorPos();
    {
        // The page is written below in one go; the boxes only mirror it.
        const QSignalBlocker blockX(coordXSpin);
        const QSignalBlocker blockY(coordYSpin);
        coordXSpin->setValue(p.x);
        coordYSpin->setValue(p.y);
    }
    const int index = currentPage - 1;
    if (index >= 0 && index < listCommand.size()) {
        QStringList &command = listCommand[index];
        const editorpanes::Pane *pane =
            editorpanes::find(pagekinds::Side::Command, command.value(0));
        if (pane && pane->takePosition)
            pane->takePosition(command, p.x, p.y);
    }
    unregisterGlobalHotkey();
    coordinateCaptureArmed = false;
    show();
    if (hoverWindow)
        hoverWindow->close();
    refreshPage();
}

void tarnwick::moveMousePointer() {
    hide();
    const int index = currentPage - 1;
    const QStringList command =
        index >= 0 && index < listCommand.size() ? listCommand.at(index) : QStringList{};
    const int x = command.value(1).toInt(nullptr, 10);
    const int y = command.value(2).toInt(nullptr, 10);
    QTimer::singleShot(kPointerTestDelayMs, this, [this, x, y] {
        platform::input().setCursorPos(x, y);
        QTimer::singleShot(kPointerTestDelayMs, this, [this] { show(); });
    });
}

bool tarnwick::registerGlobalHotkey() {
    if (hotkeyRegistered)
        return true;
    if (!hotkeyFilter) {
        hotkeyFilter = new GlobalHotkeyFilter(hotkeyId);
        // Never run inside the shortcut's dispatch: queue it.
        hotkeyFilter->callback = [this] {
            QMetaObject::invokeMethod(this, "getCoordinate2", Qt::QueuedConnection);
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

void tarnwick::unregisterGlobalHotkey() {
    hotkeyRegistered = false;
    if (hotkeyFilter) {
        delete hotkeyFilter; // gives the shortcut back
        hotkeyFilter = nullptr;
    }
}

void tarnwick::onHoverWindowDestroyed() {
    hoverWindow = nullptr;
    unregisterGlobalHotkey();
    // Closed before a position was taken: give the user the window back.
    if (coordinateCaptureArmed) {
        coordinateCaptureArmed = false;
        show();
        activateWindow();
    }
}

void tarnwick::warnHotkeyUnavailable() {
    messageTitle = hotkeyFailedTitle.in(is_japanese);
    messageText = hotkeyFailedText.in(is_japanese);
    QMessageBox::warning(this, messageTitle, messageText);
}

tarnwick::PromptOwner::~PromptOwner() {
    if (!window->hoverWindow)
        return;
    // The window is going away: no handler of it may run any more.
    QObject::disconnect(window->hoverWindow, nullptr, window, nullptr);
    delete window->hoverWindow;
    window->hoverWindow = nullptr;
}
