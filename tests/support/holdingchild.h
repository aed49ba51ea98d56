#pragma once

// The program as a child process for tests and benchmarks of how it ends:
// the real input layer, the termination guard and a run wired as the main
// window wires it, holding Ctrl (with F) and then the left button for a
// minute. Prints "ready" once the server shows both held. Start the calling
// executable again with kHoldingChildArg and return holdingChildMain() from
// its main.

#include "run/runstart.h"
#include "run/terminationguard.h"
#include "support/holdingrun.h"
#include "support/systeminput.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <string>

namespace testsupport {

inline constexpr char kHoldingChildArg[] = "--holding-child";

inline int holdingChildMain(int argc, char **argv) {
    QApplication app(argc, argv);
    SystemInput input;
    std::string error;
    if (!input.install(error)) {
        std::fprintf(stderr, "no input layer: %s\n", error.c_str());
        return 2;
    }
    installTerminationGuard();
    int rc = 0;
    {
        QWidget window; // a window of the GUI's connection, for xkill
        window.setGeometry(50, 50, 200, 100);
        window.show();
        startRunThread(newHoldingRun(60), &window);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (platform::input().isDown(0x11) && platform::input().isDown(platform::kVkLButton)) {
                poll.stop();
                std::printf("ready\n");
                std::fflush(stdout);
            }
        });
        poll.start(10);
        rc = QApplication::exec();
    }
    input.reset();
    return rc;
}

} // namespace testsupport
