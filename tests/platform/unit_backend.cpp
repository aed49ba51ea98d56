// The choice of backend by the display system's name, the backend that can do
// nothing, and installing one for the process.

#include "platform/backend.h"
#include "support/recordinginput.h"

#include <QtTest>

namespace {

bool nothingAtAll(const platform::Capabilities &c) {
    return !c.synthesis && !c.keyEvents && !c.swallowKeys && !c.globalShortcuts && !c.recording &&
           !c.windowAccess && !c.windowGeometry && !c.screenReading;
}

} // namespace

class BackendTest : public QObject {
    Q_OBJECT
private slots:
    void namesWithoutABackendGetOneThatCanDoNothing_data();
    void namesWithoutABackendGetOneThatCanDoNothing();
    void systemBackendOfThisBuild();
    void registeredBackendIsChosen();
    void failingFactoryFallsBackWithItsMessage();
    void recordingWithoutABackendSaysWhy();
    void installingSetsTheSynthesisToo();
};

void BackendTest::namesWithoutABackendGetOneThatCanDoNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("offscreen") << "offscreen";
    QTest::newRow("minimal") << "minimal";
    QTest::newRow("wayland") << "wayland";
    QTest::newRow("empty") << "";
#if defined(_WIN32)
    QTest::newRow("xcb on Windows") << "xcb";
#else
    QTest::newRow("windows on Linux") << "windows";
#endif
}

void BackendTest::namesWithoutABackendGetOneThatCanDoNothing() {
    QFETCH(QString, name);
    std::string error;
    std::unique_ptr<platform::Backend> b = platform::createBackend(name.toStdString(), error);
    QVERIFY(b);
    const platform::Capabilities c = b->capabilities();
    QCOMPARE(QString::fromStdString(c.name), QStringLiteral("none"));
    QVERIFY(nothingAtAll(c));
    QVERIFY(!b->synthesis() && !b->keyEvents() && !b->shortcuts());
    QVERIFY(!b->windowAccess() && !b->screenReader() && !b->createRecorder());
    QVERIFY(!b->runKeys());
    QCOMPARE(c.runKeys, platform::RunKeyWay::Unheard);
    // The user learns which system lacks what, and which have a backend.
    QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("\"%1\"").arg(name)),
             error.c_str());
#if defined(_WIN32)
    const char *const ours = "\"windows\"";
#else
    const char *const ours = "\"xcb\"";
#endif
    if (name != QStringLiteral("wayland")) // has one of its own, which fails here
        QVERIFY2(error.find(ours) != std::string::npos, error.c_str());
}

void BackendTest::systemBackendOfThisBuild() {
#if defined(_WIN32)
    std::string error;
    std::unique_ptr<platform::Backend> b = platform::createBackend("windows", error);
    QVERIFY2(error.empty(), error.c_str());
    QCOMPARE(QString::fromStdString(b->capabilities().name), QStringLiteral("win32"));
    QVERIFY(b->synthesis() && b->keyEvents() && b->shortcuts());
#else
    // "xcb" is in the table: without a display the X11 backend itself
    // fails and says so, rather than the name being unknown.
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":9873");
    std::string error;
    std::unique_ptr<platform::Backend> b = platform::createBackend("xcb", error);
    qputenv("DISPLAY", display);
    QCOMPARE(QString::fromStdString(b->capabilities().name), QStringLiteral("none"));
    QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("\":9873\"")), error.c_str());
#endif
}

void BackendTest::registeredBackendIsChosen() {
    int made = 0;
    platform::BackendFactory previous =
        platform::registerBackend("offscreen", [&made](std::string &) {
            ++made;
            return platform::createNullBackend();
        });
    QVERIFY(!previous); // offscreen has none of its own
    std::string error = "stale";
    std::unique_ptr<platform::Backend> b = platform::createBackend("offscreen", error);
    QCOMPARE(made, 1);
    QVERIFY2(error.empty(), error.c_str());

    // An empty factory takes the name out again.
    platform::BackendFactory mine = platform::registerBackend("offscreen", nullptr);
    QVERIFY(mine);
    b = platform::createBackend("offscreen", error);
    QCOMPARE(made, 1);
    QVERIFY(!error.empty());
}

void BackendTest::failingFactoryFallsBackWithItsMessage() {
    platform::registerBackend("test-failing", [](std::string &error) {
        error = "no such device";
        return std::unique_ptr<platform::Backend>();
    });
    platform::registerBackend("test-silent",
                              [](std::string &) { return std::unique_ptr<platform::Backend>(); });
    std::string error;
    std::unique_ptr<platform::Backend> b = platform::createBackend("test-failing", error);
    QVERIFY(b);
    QVERIFY(nothingAtAll(b->capabilities()));
    QCOMPARE(QString::fromStdString(error), QStringLiteral("no such device"));
    // A factory that fails without a word still leaves the user a message.
    b = platform::createBackend("test-silent", error);
    QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("test-silent")), error.c_str());
    platform::registerBackend("test-failing", nullptr);
    platform::registerBackend("test-silent", nullptr);
}

void BackendTest::recordingWithoutABackendSaysWhy() {
    QCOMPARE(QString::fromStdString(platform::backend().capabilities().name),
             QStringLiteral("none"));
    std::unique_ptr<platform::InputRecorder> recorder = platform::createRecorder();
    QVERIFY(recorder);
    std::string error;
    QVERIFY(!recorder->start(nullptr, error));
    QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("\"none\"")), error.c_str());
    // Not only the desktops of old: Wayland's input devices record too.
    QVERIFY2(error.find("Wayland") != std::string::npos, error.c_str());
}

void BackendTest::installingSetsTheSynthesisToo() {
    testsupport::RecordingInput recording; // installs itself as the backend
    QCOMPARE(&platform::backend(), static_cast<platform::Backend *>(&recording));
    platform::input().keyDown(0x41);
    QVERIFY(recording.isDown(0x41));

    std::unique_ptr<platform::Backend> none = platform::createNullBackend();
    platform::Backend *previous = platform::setBackend(none.get());
    QCOMPARE(previous, static_cast<platform::Backend *>(&recording));
    platform::input().keyUp(0x41); // goes nowhere
    QVERIFY(recording.isDown(0x41));
    QCOMPARE(platform::setBackend(previous), none.get());
    platform::input().keyUp(0x41);
    QVERIFY(!recording.isDown(0x41));
}

QTEST_GUILESS_MAIN(BackendTest)
#include "unit_backend.moc"
