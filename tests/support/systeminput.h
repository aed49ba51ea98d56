#pragma once

// The real backend of the system the tests run on (X11 under Xvfb, Win32
// under Wine), chosen by the application's platform name as the program
// chooses it, and installed as the process-wide backend for as long as this
// object holds it.

#include "platform/backend.h"

#include <QGuiApplication>

#include <memory>
#include <string>

namespace testsupport {

class SystemInput {
public:
    ~SystemInput() { reset(); }

    // Creates and installs the backend; false, with `error` saying why, when
    // it cannot synthesise input.
    bool install(std::string &error) {
        reset();
        backend_ = platform::createBackend(QGuiApplication::platformName().toStdString(), error);
        if (!backend_->synthesis()) {
            backend_.reset();
            return false;
        }
        platform::setBackend(backend_.get());
        return true;
    }
    // Releases whatever the backend still holds and uninstalls it.
    void reset() {
        if (!backend_)
            return;
        backend_->synthesis()->releaseAll();
        platform::setBackend(nullptr);
        backend_.reset();
    }
    platform::InputLayer *operator->() const { return backend_->synthesis(); }
    explicit operator bool() const { return backend_ != nullptr; }
    platform::Backend *backend() const { return backend_.get(); }

private:
    std::unique_ptr<platform::Backend> backend_;
};

} // namespace testsupport
