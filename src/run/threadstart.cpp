#include "threadstart.h"

#include "runlog.h"

#include <system_error>

bool startThread(std::thread &thread, std::function<void()> body) {
    // std::thread reports a thread that cannot be created (out of threads or
    // memory) only by throwing std::system_error. Our code uses no exceptions
    // otherwise; this is the one place one is caught, right where the library
    // throws it, and turned into a return value.
    try {
        thread = std::thread(std::move(body));
    } catch (const std::system_error &error) {
        qCWarning(lcRun) << "[Run] cannot start a thread:" << error.what();
        return false;
    }
    return true;
}
