#include "platform/inputlayer.h"
#include "run/terminationguard.h"
#include "tarnwick.h"

#include <QApplication>
#include <QToolTip>
#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);

    QFont tipFont = QToolTip::font();
    tipFont.setPixelSize(18);
    QToolTip::setFont(tipFont);

    // The input layer needs the application's display connection, so it is
    // created after the application object and dropped before it.
    std::string error;
    std::unique_ptr<platform::InputLayer> input = platform::createSystemInput(error);
    if (input)
        platform::setInput(input.get());
    else
        std::fprintf(stderr, "tarnwick: input functions are not available: %s\n", error.c_str());
    installTerminationGuard();

    int rc = 0;
    {
        tarnwick window;
        window.show();
        rc = QApplication::exec();
    }
    if (input) {
        input->releaseAll();
        platform::setInput(nullptr);
    }
    return rc;
}
