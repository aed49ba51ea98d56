#include "coordinatecapture.h"
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
    capture->getCoordinate();
}

void tarnwick::getCoordinate2() {
    takeCoordinate(platform::input().cursorPos());
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
    capture->finish();
    refreshPage();
    if (noWindowAtPointer) {
        messageTitle = uitexts::noWindowAtPointerTitle.in(settings.is_japanese);
        messageText = uitexts::noWindowAtPointerText.in(settings.is_japanese);
        QMessageBox::warning(this, messageTitle, messageText);
    }
}

void tarnwick::takeColourAtPointer(const platform::Point &p) {
    coordinateForColour = false;
    const UiText *problemTitle = nullptr;
    const UiText *problemText = nullptr;
    const int index = document->currentPage() - 1;
    const editorpanes::Pane *pane =
        index >= 0 && index < document->pageCount()
            ? editorpanes::find(pagekinds::Side::Condition,
                                document->page(index).condition.value(0))
            : nullptr;
    if (pane && pane->takeColour) {
        QStringList record = document->page(index).condition;
        const bool inWindow = pane->looksAtWindow && pane->looksAtWindow(record);
        platform::Rgb rgb;
        platform::ScreenReader *reader = platform::backend().screenReader();
        platform::WindowInfo window;
        if (!reader || !reader->pixel(p.x, p.y, rgb)) {
            problemTitle = &uitexts::screenUnreadableTitle;
            problemText = &uitexts::screenUnreadableText;
        } else if (inWindow && !windowUnder(p, window)) {
            problemTitle = &uitexts::noWindowAtPointerTitle;
            problemText = &uitexts::noWindowAtPointerText;
        } else {
            pane->takeColour(record, p.x, p.y, rgb, inWindow ? &window : nullptr);
            document->setConditionAt(index, record);
        }
    }
    capture->finish();
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
