#include "kdebackend.h"

#include "kdeinput.h"
#include "platform/backend.h"
#include "platform/wayland/waylandrunkeys.h"

#include <algorithm>

namespace platform::kde {
namespace {

class KdeBackend final : public Backend {
public:
    explicit KdeBackend(std::unique_ptr<KdeInput> input)
        : input_(std::move(input)), runKeys_(RunKeyWay::Unheard, wayland::createDesktopRunKeys()) {}

    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "kde";
        c.synthesis = true;
        c.runKeys = runKeys_.way();
        return c;
    }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    RunKeys *runKeys() override { return &runKeys_; }
    std::unique_ptr<InputRecorder> createRecorder() override { return nullptr; }
    KdeInput &input() { return *input_; }

private:
    std::unique_ptr<KdeInput> input_;
    DesktopRunKeys runKeys_;
};

} // namespace

bool isKwin(const std::vector<std::string> &globals) {
    return std::any_of(globals.begin(), globals.end(), [](const std::string &g) {
        return g == kFakeInputGlobal || g.rfind("org_kde_kwin_", 0) == 0 ||
               g.rfind("org_kde_plasma_", 0) == 0;
    });
}

std::unique_ptr<Backend> createBackend(std::string &error) {
    std::unique_ptr<KdeInput> input = KdeInput::create(error);
    if (!input)
        return nullptr;
    return std::make_unique<KdeBackend>(std::move(input));
}

KdeInput *kdeInput(Backend &backend) {
    auto *kde = dynamic_cast<KdeBackend *>(&backend);
    return kde ? &kde->input() : nullptr;
}

} // namespace platform::kde
