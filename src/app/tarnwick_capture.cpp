#include "core/projectdocument.h"
#include "tarnwick.h"

#include "capture/capturelog.h"
#include "capture/hoverhidewindow.h"
#include "core/recordvalues.h"
#include "core/screenpages.h"
#include "core/windowmatch.h"
#include "editorpanes.h"
#include "globalhotkeyfilter.h"
#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/pointpicker.h"
#include "run/runtexts.h"
#include "run/windowlookup.h"
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

// The window whose frame holds the point; false when none does.
bool windowUnder(const platform::Point &p, platform::WindowInfo &info) {
    platform::WindowAccess *access = platform::backend().windowAccess();
    if (!access)
        return false;
    const std::uint64_t id = access->windowAt(p.x, p.y);
    return id != 0 && access->info(id, info);
}

// A window page's position in its window: the window as it is now, found
// as a run would find it.
bool windowPagePosition(const QStringList &command, int &x, int &y) {
    platform::WindowAccess *access = platform::backend().windowAccess();
    platform::WindowInfo info;
    if (!access || !windowlookup::find(*access, windowmatch::fromRecord(command), info))
        return false;
    x = recordvalues::offsetBy(info.client.x, recordvalues::coordinateOf(command.value(4)));
    y = recordvalues::offsetBy(info.client.y, recordvalues::coordinateOf(command.value(5)));
    return true;
}

} // namespace

void tarnwick::getCoordinate() {
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
        hoverWindow->setJapanese(settings.is_japanese);
    } else {
        hoverWindow = new HoverHideWindow(120, 20, nullptr, settings.is_japanese);
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
    takeCoordinate(platform::input().cursorPos());
}

void tarnwick::pickCoordinate(platform::PointPicker &picker) {
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
    hide();
}

void tarnwick::pointPicked(platform::PickOutcome outcome, const platform::Point &p) {
    pickingPoint = false;
    if (outcome == platform::PickOutcome::Picked) {
        takeCoordinate(p);
        return;
    }
    show();
    activateWindow();
    if (outcome == platform::PickOutcome::Failed) {
        messageTitle = uitexts::pointPickFailedTitle.in(settings.is_japanese);
        messageText = uitexts::pointPickFailedText.in(settings.is_japanese);
        QMessageBox::warning(this, messageTitle, messageText);
    }
}

void tarnwick::takeCoordinate(const platform::Point &p) {
    if (coordinateForColour) {
        takeColourAtPointer(p);
        return;
    }
    bool noWindowAtPointer = false;
    {
        // The page is written below in one go; the boxes only mirror it.
        const QSignalBlocker blockX(coordXSpin);
        const QSignalBlocker blockY(coordYSpin);
        coordXSpin->setValue(p.x);
        coordYSpin->setValue(p.y);
    }
    const int index = document->currentPage() - 1;
    if (index >= 0 && index < document->pageCount()) {
        QStringList command = document->listCommand().at(index);
        const editorpanes::Pane *pane =
            editorpanes::find(pagekinds::Side::Command, command.value(0));
        if (pane && pane->takePosition)
            pane->takePosition(command, p.x, p.y);
        platform::WindowInfo window;
        if (pane && pane->takeWindowPosition) {
            if (windowUnder(p, window))
                pane->takeWindowPosition(command, windowlookup::textOf(window.title),
                                         windowlookup::textOf(window.program),
                                         p.x - window.client.x, p.y - window.client.y);
            else
                noWindowAtPointer = true;
        }
        document->setCommandAt(index, command);
    }
    unregisterGlobalHotkey();
    coordinateCaptureArmed = false;
    show();
    if (hoverWindow)
        hoverWindow->close();
    refreshPage();
    if (noWindowAtPointer) {
        messageTitle = uitexts::noWindowAtPointerTitle.in(settings.is_japanese);
        messageText = uitexts::noWindowAtPointerText.in(settings.is_japanese);
        QMessageBox::warning(this, messageTitle, messageText);
    }
}

void tarnwick::takeColourAtPointer(const platform::Point &p) {
    coordinateForColour = false;
    unregisterGlobalHotkey();
    coordinateCaptureArmed = false;
    const UiText *problemTitle = nullptr;
    const UiText *problemText = nullptr;
    const int index = document->currentPage() - 1;
    const QStringList condition = document->page(index).condition;
    if (condition.value(0) == pagekinds::name::colour) {
        screenpages::ColourCondition colour = screenpages::colourFromRecord(condition);
        platform::Rgb rgb;
        platform::ScreenReader *reader = platform::backend().screenReader();
        platform::WindowInfo window;
        if (!reader || !reader->pixel(p.x, p.y, rgb)) {
            problemTitle = &uitexts::screenUnreadableTitle;
            problemText = &uitexts::screenUnreadableText;
        } else if (colour.area == screenpages::Area::Window && !windowUnder(p, window)) {
            problemTitle = &uitexts::noWindowAtPointerTitle;
            problemText = &uitexts::noWindowAtPointerText;
        } else {
            // As the Window Pointer page takes it: the window under the
            // pointer, the position in its client area.
            if (colour.area == screenpages::Area::Window) {
                colour.window = windowmatch::Choice();
                colour.window.title = windowlookup::textOf(window.title);
                colour.window.program = windowlookup::textOf(window.program);
                colour.x = p.x - window.client.x;
                colour.y = p.y - window.client.y;
            } else {
                colour.x = p.x;
                colour.y = p.y;
            }
            colour.colour = {rgb.r, rgb.g, rgb.b};
            QStringList record = condition;
            screenpages::colourToRecord(record, colour);
            document->setConditionAt(index, record);
        }
    }
    show();
    if (hoverWindow)
        hoverWindow->close();
    refreshPage();
    if (problemTitle) {
        messageTitle = problemTitle->in(settings.is_japanese);
        messageText = problemText->in(settings.is_japanese);
        QMessageBox::warning(this, messageTitle, messageText);
    }
}

void tarnwick::moveMousePointer() {
    const int currentPage = document->currentPage();
    const QStringList command = document->page(currentPage - 1).command;
    int x = recordvalues::coordinateOf(command.value(1));
    int y = recordvalues::coordinateOf(command.value(2));
    const editorpanes::Pane *pane = editorpanes::find(pagekinds::Side::Command, command.value(0));
    // A desktop that does not tell where windows are would have the pointer
    // land as if the window were at the origin.
    const bool noPlaces =
        !platform::backend().capabilities().windowGeometry && platform::backend().windowAccess();
    if (pane && pane->takeWindowPosition && (noPlaces || !windowPagePosition(command, x, y))) {
        messageTitle = uitexts::noWindowAtPointerTitle.in(settings.is_japanese);
        messageText = noPlaces
                          ? runtexts::failedNoGeometry.in(settings.is_japanese).arg(currentPage)
                          : runtexts::failedNotFound.in(settings.is_japanese)
                                .arg(currentPage)
                                .arg(windowmatch::describe(windowmatch::fromRecord(command),
                                                           settings.is_japanese));
        QMessageBox::warning(this, messageTitle, messageText);
        return;
    }
    hide();
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
    coordinateForColour = false;
    unregisterGlobalHotkey();
    // Closed before a position was taken: give the user the window back.
    if (coordinateCaptureArmed) {
        coordinateCaptureArmed = false;
        show();
        activateWindow();
    }
}

void tarnwick::warnHotkeyUnavailable() {
    messageTitle = hotkeyFailedTitle.in(settings.is_japanese);
    messageText = hotkeyFailedText.in(settings.is_japanese);
    QMessageBox::warning(this, messageTitle, messageText);
}

tarnwick::PromptOwner::~PromptOwner() {
    if (window->pickingPoint) {
        // Its answer, queued to the window, goes with the window.
        if (platform::PointPicker *picker = platform::backend().pointPicker())
            picker->cancel();
        window->pickingPoint = false;
    }
    if (!window->hoverWindow)
        return;
    // The window is going away: no handler of it may run any more.
    QObject::disconnect(window->hoverWindow, nullptr, window, nullptr);
    delete window->hoverWindow;
    window->hoverWindow = nullptr;
}
