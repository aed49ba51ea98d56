#pragma once

// The real input layer of the system the tests run on (X11 under Xvfb),
// installed as the process-wide layer for as long as this object holds it.

#include "platform/inputlayer.h"

#include <memory>
#include <string>

namespace testsupport {

class SystemInput {
public:
    ~SystemInput() { reset(); }

    // Creates and installs the layer; on failure `error` says why.
    bool install(std::string &error) {
        layer_ = platform::createSystemInput(error);
        if (layer_)
            platform::setInput(layer_.get());
        return layer_ != nullptr;
    }
    // Releases whatever the layer still holds and uninstalls it.
    void reset() {
        if (!layer_)
            return;
        layer_->releaseAll();
        platform::setInput(nullptr);
        layer_.reset();
    }
    platform::InputLayer *operator->() const { return layer_.get(); }
    explicit operator bool() const { return layer_ != nullptr; }

private:
    std::unique_ptr<platform::InputLayer> layer_;
};

} // namespace testsupport
