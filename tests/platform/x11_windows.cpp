// The X11 window access against top-level windows of the test's own. CTest
// runs this file twice: with no window manager (x11_windows: the tree, raise
// and focus directly) and under openbox (x11_windows_openbox, with
// TARNWICK_TEST_WM=openbox: the manager's lists and activation requests).

#include "platform/windowaccess.h"
#include "platform/x11/x11windows.h"
#include "support/xtoplevels.h"

#include <QTest>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

int indexOf(const std::vector<platform::WindowInfo> &list, std::uint64_t id) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id)
            return static_cast<int>(i);
    return -1;
}

} // namespace

class X11WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void listsTitleProgramAndPid_data();
    void listsTitleProgramAndPid();
    void clientAreaFollowsAMove_data();
    void clientAreaFollowsAMove();
    void activatesTheRightOneOfTwoAlike();
    void activationRaisesToTheTop();
    void windowAtAPointIsTheClient_data();
    void windowAtAPointIsTheClient();
    void aGoneWindowIsNoWindow();
    void windowsClosingWhileReadAreSkipped();
    void activationRestoresAnIconifiedWindow();
    void activationSwitchesDesktops();

private:
    std::uint64_t waitListed(std::uint32_t id);

    bool underWm_ = false;
    long wmPid_ = 0;
    std::unique_ptr<testsupport::XTopLevels> x_;
    std::unique_ptr<platform::WindowAccess> access_;
};

void X11WindowsTest::initTestCase() {
    const char *wm = std::getenv("TARNWICK_TEST_WM");
    underWm_ = wm && std::string(wm) == "openbox";
    x_ = std::make_unique<testsupport::XTopLevels>();
    QVERIFY2(x_->ok(), "no X display");
    QVERIFY2(!x_->managed(), "a window manager already runs on the test display");
    if (underWm_) {
        std::string error;
        wmPid_ = testsupport::startOpenbox(error);
        QVERIFY2(wmPid_, error.c_str());
    }
    std::string error;
    access_ = platform::x11::createWindowAccess(error);
    QVERIFY2(access_, error.c_str());
}

void X11WindowsTest::cleanupTestCase() {
    access_.reset();
    if (x_)
        x_->closeAll();
    testsupport::stopProcess(wmPid_);
    x_.reset();
}

void X11WindowsTest::cleanup() {
    x_->closeAll();
}

// The window manager takes a moment to list a new window, and gives it the
// focus as it maps it: a test starts once that is over.
std::uint64_t X11WindowsTest::waitListed(std::uint32_t id) {
    if (!QTest::qWaitFor([&] { return indexOf(access_->windows(), id) >= 0 && x_->viewable(id); }))
        return 0;
    // Usually at once; where it does not, the window was mapped all the same.
    if (underWm_)
        (void)QTest::qWaitFor([&] { return access_->activeWindow() == id; }, 300);
    return id;
}

void X11WindowsTest::listsTitleProgramAndPid_data() {
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QByteArray>("program");
    QTest::newRow("ascii") << QByteArray("Tarnwick probe - Report") << true
                           << QByteArray("ProbeWriter");
    QTest::newRow("japanese") << QByteArray("報告書 - 確認用ウィンドウ") << true
                              << QByteArray("ProbeWriter");
    QTest::newRow("beyond the BMP")
        << QByteArray("Probe \xF0\x9F\x93\x9D notes") << true << QByteArray("Notes");
    QTest::newRow("latin-1 WM_NAME only")
        << QByteArray("Caf\xE9 probe") << false << QByteArray("OldClient");
}

void X11WindowsTest::listsTitleProgramAndPid() {
    QFETCH(QByteArray, title);
    QFETCH(bool, utf8);
    QFETCH(QByteArray, program);
    // A neighbour with a title that only differs at the end.
    const std::uint32_t other =
        x_->open(title.toStdString() + " (2)", "Other", 40, 40, 300, 200, utf8);
    const std::uint32_t id =
        x_->open(title.toStdString(), program.toStdString(), 80, 80, 300, 200, utf8);
    QVERIFY(waitListed(id));
    QVERIFY(waitListed(other));

    const std::vector<platform::WindowInfo> list = access_->windows();
    const platform::WindowInfo &w = list[static_cast<size_t>(indexOf(list, id))];
    const std::u16string expected = utf8 ? QString::fromUtf8(title).toStdU16String()
                                         : QString::fromLatin1(title).toStdU16String();
    QCOMPARE(QString::fromStdU16String(w.title), QString::fromStdU16String(expected));
    QCOMPARE(QString::fromStdU16String(w.program), QString::fromLatin1(program));
    QCOMPARE(w.pid, static_cast<std::int64_t>(QCoreApplication::applicationPid()));
    const platform::WindowInfo &o = list[static_cast<size_t>(indexOf(list, other))];
    QCOMPARE(QString::fromStdU16String(o.title),
             QString::fromStdU16String(expected) + QStringLiteral(" (2)"));
    QCOMPARE(QString::fromStdU16String(o.program), QStringLiteral("Other"));

    platform::WindowInfo single;
    QVERIFY(access_->info(id, single));
    QCOMPARE(QString::fromStdU16String(single.title), QString::fromStdU16String(w.title));
}

void X11WindowsTest::clientAreaFollowsAMove_data() {
    QTest::addColumn<QPoint>("to");
    QTest::newRow("right and down") << QPoint(400, 300);
    QTest::newRow("near the origin") << QPoint(30, 30);
    QTest::newRow("far corner") << QPoint(900, 700);
}

void X11WindowsTest::clientAreaFollowsAMove() {
    QFETCH(QPoint, to);
    const std::uint32_t id = x_->open("Tarnwick probe - mover", "Mover", 200, 150, 320, 240);
    QVERIFY(waitListed(id));
    platform::WindowInfo info;
    QTRY_VERIFY(access_->info(id, info) && info.client.x == 200 && info.client.y == 150);
    QCOMPARE(info.client.width, 320);
    QCOMPARE(info.client.height, 240);

    x_->move(id, to.x(), to.y());
    QTRY_VERIFY(access_->info(id, info) && info.client.x == to.x() && info.client.y == to.y());
    QCOMPARE(info.client.width, 320);
    QCOMPARE(info.client.height, 240);
}

void X11WindowsTest::activatesTheRightOneOfTwoAlike() {
    const std::uint32_t a = x_->open("Tarnwick probe - Invoice 1", "Probe", 100, 100, 300, 200);
    const std::uint32_t b = x_->open("Tarnwick probe - Invoice 12", "Probe", 500, 100, 300, 200);
    QVERIFY(waitListed(a) && waitListed(b));
    for (std::uint32_t target : {a, b, a}) {
        QVERIFY(access_->activate(target));
        QCOMPARE(access_->activeWindow(), static_cast<std::uint64_t>(target));
        // The server agrees: the keyboard goes there.
        QCOMPARE(x_->focus(), target);
    }
}

void X11WindowsTest::activationRaisesToTheTop() {
    const std::uint32_t a = x_->open("Tarnwick probe - lower", "Probe", 100, 100, 300, 200);
    const std::uint32_t b = x_->open("Tarnwick probe - upper", "Probe", 150, 150, 300, 200);
    QVERIFY(waitListed(a) && waitListed(b));
    QVERIFY(access_->activate(b));
    QTRY_VERIFY(indexOf(access_->windows(), b) < indexOf(access_->windows(), a));
    QVERIFY(access_->activate(a));
    QTRY_VERIFY(indexOf(access_->windows(), a) < indexOf(access_->windows(), b));
    QCOMPARE(indexOf(access_->windows(), a), 0);
}

void X11WindowsTest::windowAtAPointIsTheClient_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("expected"); // 0: a, 1: b, -1: none
    QTest::newRow("only a") << QPoint(110, 110) << 0;
    QTest::newRow("only b") << QPoint(580, 480) << 1;
    QTest::newRow("overlap, b on top") << QPoint(350, 300) << 1;
    QTest::newRow("bare root") << QPoint(1250, 1000) << -1;
}

void X11WindowsTest::windowAtAPointIsTheClient() {
    QFETCH(QPoint, point);
    QFETCH(int, expected);
    const std::uint32_t a = x_->open("Tarnwick probe - A", "Probe", 100, 100, 300, 250);
    const std::uint32_t b = x_->open("Tarnwick probe - B", "Probe", 300, 250, 300, 250);
    QVERIFY(waitListed(a) && waitListed(b));
    QVERIFY(access_->activate(b));
    const std::uint64_t want = expected < 0 ? 0 : expected == 0 ? a : b;
    QTRY_COMPARE(access_->windowAt(point.x(), point.y()), want);
    if (underWm_ && expected == 0) {
        // The frame's title bar, above the client area, is the same window.
        QCOMPARE(access_->windowAt(point.x(), 98), want);
    }
}

void X11WindowsTest::aGoneWindowIsNoWindow() {
    const std::uint32_t id = x_->open("Tarnwick probe - going", "Probe", 100, 100, 200, 200);
    QVERIFY(waitListed(id));
    x_->close(id);
    platform::WindowInfo info;
    QTRY_VERIFY(!access_->info(id, info));
    QCOMPARE(indexOf(access_->windows(), id), -1);
    QVERIFY(!access_->activate(id));
    QVERIFY(!access_->activate(0));
    QVERIFY(!access_->info(0, info));
}

void X11WindowsTest::windowsClosingWhileReadAreSkipped() {
    const std::uint32_t steady = x_->open("Tarnwick probe - steady", "Probe", 50, 50, 200, 200);
    QVERIFY(waitListed(steady));
    std::atomic<bool> stop{false};
    std::atomic<int> opened{0};
    // Windows come and go on a connection of their own while we read.
    std::thread churn([&] {
        testsupport::XTopLevels own;
        while (!stop) {
            const std::uint32_t w =
                own.open("Tarnwick probe - fleeting", "Fleeting", 300 + opened % 50, 300, 100, 100);
            ++opened;
            own.close(w);
        }
    });
    int reads = 0;
    bool steadyAlwaysThere = true;
    bool allNamed = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until) {
        const std::vector<platform::WindowInfo> list = access_->windows();
        steadyAlwaysThere = steadyAlwaysThere && indexOf(list, steady) >= 0;
        for (const platform::WindowInfo &w : list) {
            allNamed = allNamed && w.id != 0 && !w.title.empty();
            platform::WindowInfo again;
            access_->info(w.id, again); // may be gone by now: false, no crash
        }
        access_->windowAt(320, 320);
        ++reads;
    }
    stop = true;
    churn.join();
    QVERIFY(reads > 10);
    QVERIFY(opened > 10);
    QVERIFY(steadyAlwaysThere);
    QVERIFY(allNamed);
}

void X11WindowsTest::activationRestoresAnIconifiedWindow() {
    if (!underWm_)
        QSKIP("iconic windows need a window manager");
    const std::uint32_t a = x_->open("Tarnwick probe - minimised", "Probe", 100, 100, 300, 200);
    const std::uint32_t b = x_->open("Tarnwick probe - other", "Probe", 500, 100, 300, 200);
    QVERIFY(waitListed(a) && waitListed(b));
    x_->iconify(a);
    QTRY_VERIFY(access_->activeWindow() != a);
    // Still listed: it is open, only minimised.
    QVERIFY(indexOf(access_->windows(), a) >= 0);
    QVERIFY(access_->activate(a));
    QCOMPARE(x_->focus(), a);
}

void X11WindowsTest::activationSwitchesDesktops() {
    if (!underWm_)
        QSKIP("desktops need a window manager");
    const std::uint32_t a = x_->open("Tarnwick probe - elsewhere", "Probe", 100, 100, 300, 200);
    const std::uint32_t b = x_->open("Tarnwick probe - here", "Probe", 500, 100, 300, 200);
    QVERIFY(waitListed(a) && waitListed(b));
    QCOMPARE(x_->currentDesktop(), 0u);
    x_->toDesktop(a, 1);
    QVERIFY(access_->activate(b));
    QVERIFY(indexOf(access_->windows(), a) >= 0);
    QVERIFY(access_->activate(a));
    QCOMPARE(x_->currentDesktop(), 1u);
    QCOMPARE(x_->focus(), a);
    QVERIFY(access_->activate(b));
    QCOMPARE(x_->currentDesktop(), 0u);
}

QTEST_GUILESS_MAIN(X11WindowsTest)
#include "x11_windows.moc"
