#pragma once

// The program as a child process for tests and benchmarks of how it ends:
// the real input layer, the termination guard and a run wired as the main
// window wires it, holding Ctrl (with F) and then the left button for a
// minute. Prints "ready" once the server shows both held. Start the calling
// executable again with kHoldingChildArg and return holdingChildMain() from
// its main; with kBlockGuiArg after it, the GUI thread then blocks for an
// hour, as in an open() of a pipe nobody writes.

#include "run/runstart.h"
#include "run/terminationguard.h"
#include "support/holdingrun.h"
#include "support/systeminput.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace testsupport {

inline constexpr char kHoldingChildArg[] = "--holding-child";
inline constexpr char kBlockGuiArg[] = "--block-gui";

inline int holdingChildMain(int argc, char **argv) {
    prepareTerminationGuard(); // as main does, before any thread starts
    const bool blockGui = argc > 2 && std::strcmp(argv[2], kBlockGuiArg) == 0;
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
                if (blockGui)
                    std::this_thread::sleep_for(std::chrono::hours(1));
            }
        });
        poll.start(10);
        rc = QApplication::exec();
    }
    endTerminationGuard();
    input.reset();
    return rc;
}

} // namespace testsupport
