#include "useractions.h"

#include "platform/inputlayer.h"

#include <QTest>
#include <QWidget>

#include <iterator>

namespace testsupport {
namespace {

constexpr int kLShift = 0xA0;

} // namespace

void pause(int ms) {
    QTest::qWait(ms);
}

void tap(int vk) {
    platform::input().keyDown(vk);
    pause(40);
    platform::input().keyUp(vk);
    pause();
}

void typeAscii(const QString &text) {
    for (const QChar c : text) {
        const bool upper = c.isUpper();
        if (upper)
            platform::input().keyDown(kLShift);
        tap(c.toUpper().unicode());
        if (upper)
            platform::input().keyUp(kLShift);
    }
}

void clickAtScreen(int x, int y, bool left) {
    platform::input().setCursorPos(x, y);
    pause();
    const auto button = left ? platform::MouseButton::Left : platform::MouseButton::Right;
    platform::input().mouseDown(button);
    pause(60);
    platform::input().mouseUp(button);
    pause();
}

void chord(std::initializer_list<int> keys) {
    for (int vk : keys) {
        platform::input().keyDown(vk);
        pause(30);
    }
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
        platform::input().keyUp(*it);
    pause();
}

bool activate(QWidget &window) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace testsupport
