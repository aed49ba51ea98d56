#include "kdebackend.h"

#include "kdeinput.h"
#include "kdescreen.h"
#include "kdewindows.h"
#include "platform/backend.h"
#include "platform/wayland/waylandrunkeys.h"

#include <QLoggingCategory>
#include <QString>

#include <algorithm>

namespace platform::kde {
namespace {

Q_LOGGING_CATEGORY(lcKdeBackend, "tarnwick.platform")

class KdeBackend final : public Backend {
public:
    KdeBackend(std::unique_ptr<KdeInput> input, std::unique_ptr<KdeWindows> windows,
               std::unique_ptr<KdeScreen> screen)
        : input_(std::move(input)), windows_(std::move(windows)), screen_(std::move(screen)),
          runKeys_(RunKeyWay::Unheard, wayland::createDesktopRunKeys()) {
        // A terminal pastes with other keys than the rest.
        if (windows_) {
            KdeWindows *w = windows_.get();
            input_->setFocusedProgram([w] { return w->activeProgram(); });
        }
    }
    ~KdeBackend() override {
        // The synthesis asks the windows until then.
        input_->setFocusedProgram(nullptr);
    }

    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "kde";
        c.synthesis = true;
        c.runKeys = runKeys_.way();
        c.windowAccess = windows_ != nullptr;
        c.windowGeometry = windows_ != nullptr;
        c.screenReading = screen_ != nullptr;
        return c;
    }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    RunKeys *runKeys() override { return &runKeys_; }
    WindowAccess *windowAccess() override { return windows_.get(); }
    ScreenReader *screenReader() override { return screen_.get(); }
    std::unique_ptr<InputRecorder> createRecorder() override { return nullptr; }
    KdeInput &input() { return *input_; }

private:
    std::unique_ptr<KdeInput> input_;
    std::unique_ptr<KdeWindows> windows_; // null where KWin's scripting did not answer
    std::unique_ptr<KdeScreen> screen_;   // null where KWin takes no screenshots for us
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
    // Optional: without it the backend still types and clicks.
    std::string why;
    std::unique_ptr<KdeWindows> windows = KdeWindows::create(why);
    if (!windows)
        qCInfo(lcKdeBackend).noquote() << "No window access:" << QString::fromStdString(why);
    KdeInput *layout = input.get();
    std::unique_ptr<KdeScreen> screen =
        KdeScreen::create([layout] { return layout->layout(); }, why);
    if (!screen)
        qCInfo(lcKdeBackend).noquote() << "No screen reading:" << QString::fromStdString(why);
    return std::make_unique<KdeBackend>(std::move(input), std::move(windows), std::move(screen));
}

KdeInput *kdeInput(Backend &backend) {
    auto *kde = dynamic_cast<KdeBackend *>(&backend);
    return kde ? &kde->input() : nullptr;
}

} // namespace platform::kde
