#pragma once

// A user's actions performed through the process-wide input layer (XTest
// on X11, SendInput on Windows), with the short pauses a person leaves
// between them, for the tests that record and replay them.

#include <QString>

class QWidget;

#include <initializer_list>

namespace testsupport {

void pause(int ms = 80);
// Presses and releases one key.
void tap(int vk);
// ASCII letters, digits and spaces through their keys (Shift for capitals).
void typeAscii(const QString &text);
// Moves the pointer to a screen position and clicks there.
void clickAtScreen(int x, int y, bool left);
// Keys down in order, up in reverse, as a user presses a chord.
void chord(std::initializer_list<int> keys);
// Shows a window and gives it the focus: no window manager runs on the test
// display to do that. False when it never became active.
bool activate(QWidget &window);

} // namespace testsupport
