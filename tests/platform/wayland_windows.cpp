// The Wayland backend's window access (foreign toplevels) against the
// headless sway that ./test.sh starts (scripts/sway.sh), with Qt windows of
// the test's own (support/waylandtarget.h) that report when the compositor
// gives them the keyboard and takes it away.

#include "platform/backend.h"
#include "platform/wayland/waylandwindows.h"
#include "support/waylandtarget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kTimeoutMs = testsupport::TitledTarget::kTimeoutMs;
// One title outside ASCII, which must come through the UTF-8 of the wire.
const QString kOlder = QStringLiteral("tarnwick older ✓ é");
const QString kNewer = QStringLiteral("tarnwick newer");

QString textOf(const std::u16string &s) {
    return QString::fromStdU16String(s);
}

// The test's own windows as listed, in the list's order.
std::vector<platform::WindowInfo> ours(platform::WindowAccess &access) {
    std::vector<platform::WindowInfo> out;
    for (const platform::WindowInfo &w : access.windows()) {
        if (textOf(w.program) == QLatin1String(testsupport::kWaylandTargetAppId))
            out.push_back(w);
    }
    return out;
}

std::uint64_t idOf(platform::WindowAccess &access, const QString &title) {
    for (const platform::WindowInfo &w : ours(access)) {
        if (textOf(w.title) == title)
            return w.id;
    }
    return 0;
}

} // namespace

class WaylandWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void backendOffersTheWindows();
    void listsTheWindowsActiveFirst();
    void activationMovesTheKeyboard_data();
    void activationMovesTheKeyboard();
    void closedWindowLeavesTheList();
    void callersOnSeveralThreads();

private:
    std::unique_ptr<platform::wayland::WaylandWindows> windows_;
    testsupport::TitledTarget older_;
    testsupport::TitledTarget newer_;
};

void WaylandWindowsTest::initTestCase() {
    // Fails, never skips, without the compositor: ./test.sh starts it.
    QVERIFY2(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
             "WAYLAND_DISPLAY is not set: run through ./test.sh (scripts/sway.sh)");
}

void WaylandWindowsTest::init() {
    std::string error;
    windows_ = platform::wayland::WaylandWindows::create(error);
    QVERIFY2(windows_, error.c_str());
    QString why;
    QVERIFY2(older_.start(kOlder, why), qPrintable(why));
    QVERIFY2(newer_.start(kNewer, why), qPrintable(why));
}

void WaylandWindowsTest::cleanup() {
    older_.close();
    newer_.close();
    windows_.reset();
}

// sway offers foreign toplevels: the backend has window access, and says it
// cannot tell where windows are.
void WaylandWindowsTest::backendOffersTheWindows() {
    std::string error;
    const std::unique_ptr<platform::Backend> backend = platform::createBackend("wayland", error);
    QVERIFY2(error.empty(), error.c_str());
    const platform::Capabilities c = backend->capabilities();
    QVERIFY(c.windowAccess);
    QVERIFY(!c.windowGeometry);
    platform::WindowAccess *access = backend->windowAccess();
    QVERIFY(access);
    QTRY_VERIFY_WITH_TIMEOUT(idOf(*access, kOlder) != 0 && idOf(*access, kNewer) != 0, kTimeoutMs);
}

// Both windows with their titles and app id; the active one (the newer,
// which sway focused when it opened) first; no positions.
void WaylandWindowsTest::listsTheWindowsActiveFirst() {
    QTRY_COMPARE_WITH_TIMEOUT(int(ours(*windows_).size()), 2, kTimeoutMs);
    std::vector<platform::WindowInfo> list = ours(*windows_);
    QCOMPARE(textOf(list.at(0).title), kNewer);
    QCOMPARE(textOf(list.at(1).title), kOlder);
    QVERIFY(list.at(0).id != 0 && list.at(1).id != 0 && list.at(0).id != list.at(1).id);
    QCOMPARE(windows_->activeWindow(), list.at(0).id);
    for (const platform::WindowInfo &w : list) {
        platform::WindowInfo fresh;
        QVERIFY(windows_->info(w.id, fresh));
        QCOMPARE(fresh.id, w.id);
        QCOMPARE(textOf(fresh.title), textOf(w.title));
        QCOMPARE(textOf(fresh.program), QString::fromLatin1(testsupport::kWaylandTargetAppId));
        QCOMPARE(fresh.client.width, 0);
        QCOMPARE(fresh.client.height, 0);
    }
    QCOMPARE(windows_->windowAt(10, 10), std::uint64_t(0));

    // The older one activated: now it leads, the newer follows.
    QVERIFY(windows_->activate(list.at(1).id));
    list = ours(*windows_);
    QCOMPARE(textOf(list.at(0).title), kOlder);
    QCOMPARE(textOf(list.at(1).title), kNewer);
}

void WaylandWindowsTest::activationMovesTheKeyboard_data() {
    QTest::addColumn<QStringList>("order");
    QTest::newRow("the older") << QStringList{kOlder};
    QTest::newRow("older, newer, older") << QStringList{kOlder, kNewer, kOlder};
}

// The compositor moves the keyboard: the window asked for gets it, the other
// loses it, and the list's active window follows.
void WaylandWindowsTest::activationMovesTheKeyboard() {
    QFETCH(QStringList, order);
    QTRY_COMPARE_WITH_TIMEOUT(int(ours(*windows_).size()), 2, kTimeoutMs);
    for (const QString &title : order) {
        const std::uint64_t id = idOf(*windows_, title);
        QVERIFY(id != 0);
        testsupport::TitledTarget &gains = title == kOlder ? older_ : newer_;
        testsupport::TitledTarget &loses = title == kOlder ? newer_ : older_;
        QVERIFY(windows_->activate(id));
        QCOMPARE(windows_->activeWindow(), id);
        QVERIFY(loses.waitForLine(QStringLiteral("focus out")));
        QVERIFY(gains.waitForLine(QStringLiteral("focus in")));
    }
}

// A window that closes leaves the list, its id answers no more, and the
// next window gets an id never used before.
void WaylandWindowsTest::closedWindowLeavesTheList() {
    QTRY_COMPARE_WITH_TIMEOUT(int(ours(*windows_).size()), 2, kTimeoutMs);
    const std::uint64_t newer = idOf(*windows_, kNewer);
    const std::uint64_t older = idOf(*windows_, kOlder);
    newer_.close();
    QTRY_COMPARE_WITH_TIMEOUT(int(ours(*windows_).size()), 1, kTimeoutMs);
    QCOMPARE(textOf(ours(*windows_).at(0).title), kOlder);
    platform::WindowInfo info;
    QVERIFY(!windows_->info(newer, info));
    QVERIFY(!windows_->activate(newer));

    testsupport::TitledTarget again;
    QString why;
    QVERIFY2(again.start(kNewer, why), qPrintable(why));
    QTRY_VERIFY_WITH_TIMEOUT(idOf(*windows_, kNewer) != 0, kTimeoutMs);
    QVERIFY(idOf(*windows_, kNewer) > std::max(newer, older));
}

// The run's threads and the GUI ask at once: every caller gets whole
// answers, and activation still lands.
void WaylandWindowsTest::callersOnSeveralThreads() {
    QTRY_COMPARE_WITH_TIMEOUT(int(ours(*windows_).size()), 2, kTimeoutMs);
    const std::uint64_t older = idOf(*windows_, kOlder);
    const std::uint64_t newer = idOf(*windows_, kNewer);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                if (t == 0 && i % 10 == 0)
                    windows_->activate(i % 20 == 0 ? older : newer);
                const std::vector<platform::WindowInfo> list = ours(*windows_);
                const std::uint64_t active = windows_->activeWindow();
                if (list.size() != 2 || (active != older && active != newer))
                    ++wrong;
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(wrong.load(), 0);
    QVERIFY(windows_->activate(older));
    QCOMPARE(windows_->activeWindow(), older);
}

int main(int argc, char **argv) {
    if (argc > 3 && std::strcmp(argv[1], testsupport::kWaylandTargetArg) == 0 &&
        std::strcmp(argv[2], testsupport::kWaylandTitleArg) == 0)
        return testsupport::titledTargetMain(argc, argv);
    QCoreApplication app(argc, argv);
    WaylandWindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "wayland_windows.moc"
