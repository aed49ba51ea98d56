#include "runkeybindings.h"

namespace platform {

DesktopRunKeys::DesktopRunKeys(RunKeyWay heard, std::unique_ptr<RunKeys> desktop)
    : heard_(heard), desktop_(std::move(desktop)) {}

RunKeyWay DesktopRunKeys::way() const {
    if (heard_ != RunKeyWay::Unheard)
        return heard_;
    return desktop_ ? RunKeyWay::Bound : RunKeyWay::Unheard;
}

RunKeyAnswer DesktopRunKeys::ask(const RunKeyRequest &request) {
    if (heard_ != RunKeyWay::Unheard || !desktop_)
        return RunKeyAnswer{heard_, {}, {}};
    return desktop_->ask(request);
}

RunKeyAnswer DesktopRunKeys::bind(int id, const RunKeyRequest &request) {
    if (desktop_)
        return desktop_->bind(id, request);
    return RunKeyAnswer{heard_, {}, {}};
}

void DesktopRunKeys::unbind(int id) {
    if (desktop_)
        desktop_->unbind(id);
}

} // namespace platform
