#pragma once

// The display's scale (1 = 100 %, 1.5 = 150 %) that a template records when
// it is made and that a run compares it with, so a template made on one
// display is looked for at the right size on another. The primary screen's
// device pixel ratio; GUI thread only.

#include <QGuiApplication>
#include <QScreen>

inline double displayScale() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}
