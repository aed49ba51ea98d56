// A backend's run keys (platform/runkeybindings.h, DesktopRunKeys): how the program
// hears the keys comes first, since that hears any keys; the desktop's
// binder binds whether or not the program hears them; neither: nothing hears
// the keys.

#include "platform/runkeybindings.h"

#include <QtTest>

#include <memory>
#include <vector>

using namespace platform;

Q_DECLARE_METATYPE(platform::RunKeyWay)

namespace {

// A desktop binder that answers `way` and logs what it is asked.
class FakeDesktop final : public RunKeys {
public:
    FakeDesktop(RunKeyWay way, std::vector<std::string> &log) : way_(way), log_(log) {}
    RunKeyAnswer ask(const RunKeyRequest &) override {
        log_.push_back("ask");
        return {way_, "desk", "Ctrl+x"};
    }
    RunKeyAnswer bind(int id, const RunKeyRequest &) override {
        log_.push_back("bind " + std::to_string(id));
        return {way_, "desk", "Ctrl+x"};
    }
    void unbind(int id) override { log_.push_back("unbind " + std::to_string(id)); }

private:
    RunKeyWay way_;
    std::vector<std::string> &log_;
};

constexpr int kNoDesktop = -1;

} // namespace

class RunKeyBindingsTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<RunKeyWay>("heard");
        QTest::addColumn<int>("desktop"); // the binder's answer (a RunKeyWay), or kNoDesktop
        QTest::addColumn<RunKeyWay>("way");
        QTest::addColumn<RunKeyWay>("asked");
        QTest::addColumn<RunKeyWay>("bound");
        QTest::addColumn<QStringList>("log"); // what the binder was asked, in order

        const int bound = int(RunKeyWay::Bound);
        const int taken = int(RunKeyWay::Taken);
        QTest::newRow("nothing") << RunKeyWay::Unheard << kNoDesktop << RunKeyWay::Unheard
                                 << RunKeyWay::Unheard << RunKeyWay::Unheard << QStringList{};
        QTest::newRow("the devices") << RunKeyWay::Devices << kNoDesktop << RunKeyWay::Devices
                                     << RunKeyWay::Devices << RunKeyWay::Devices << QStringList{};
        QTest::newRow("heard") << RunKeyWay::Heard << kNoDesktop << RunKeyWay::Heard
                               << RunKeyWay::Heard << RunKeyWay::Heard << QStringList{};
        // X11 under XWayland: keys meant for Wayland windows reach no X client.
        QTest::newRow("heard, and the desktop binds")
            << RunKeyWay::Heard << bound << RunKeyWay::Heard << RunKeyWay::Heard << RunKeyWay::Bound
            << QStringList{"bind 7", "unbind 7"};
        QTest::newRow("the desktop binds")
            << RunKeyWay::Unheard << bound << RunKeyWay::Bound << RunKeyWay::Bound
            << RunKeyWay::Bound << QStringList{"ask", "bind 7", "unbind 7"};
        QTest::newRow("the user's binding of the keys stays")
            << RunKeyWay::Unheard << taken << RunKeyWay::Bound << RunKeyWay::Taken
            << RunKeyWay::Taken << QStringList{"ask", "bind 7", "unbind 7"};
        // The devices hear them; the desktop still binds them, and is not
        // asked where the devices answer.
        QTest::newRow("the devices and the desktop")
            << RunKeyWay::Devices << bound << RunKeyWay::Devices << RunKeyWay::Devices
            << RunKeyWay::Bound << QStringList{"bind 7", "unbind 7"};
    }
    void answers() {
        QFETCH(RunKeyWay, heard);
        QFETCH(int, desktop);
        QFETCH(RunKeyWay, way);
        QFETCH(RunKeyWay, asked);
        QFETCH(RunKeyWay, bound);
        QFETCH(QStringList, log);
        std::vector<std::string> calls;
        DesktopRunKeys keys(heard, desktop == kNoDesktop
                                       ? nullptr
                                       : std::make_unique<FakeDesktop>(RunKeyWay(desktop), calls));
        QCOMPARE(keys.way(), way);
        RunKeyRequest request;
        request.chord = Chord{kModControl, 'X'};
        request.command = {"tarnwick", "--stop"};
        QCOMPARE(keys.ask(request).way, asked);
        QCOMPARE(keys.bind(7, request).way, bound);
        keys.unbind(7);
        QStringList seen;
        for (const std::string &call : calls)
            seen << QString::fromStdString(call);
        QCOMPARE(seen, log);
    }
};

QTEST_MAIN(RunKeyBindingsTest)
#include "unit_runkeybindings.moc"
