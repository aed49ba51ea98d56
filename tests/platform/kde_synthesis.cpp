// The KDE backend against a real KWin: the headless one ./test.sh starts
// (scripts/kwin.sh), a Qt and a GTK window of the test's own on it, which
// report what KWin delivered; the clipboard checked through a second client
// of the test's, as another program of the user's would see it.

#include "platform/backend.h"
#include "platform/kde/kdebackend.h"
#include "platform/kde/kdeinput.h"
#include "support/kwinsession.h"
#include "support/waylandgtktarget.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr int kTimeoutMs = 30000;
constexpr char kProbeArg[] = "--probe-backend";

using platform::kde::ClipboardContent;

// Keys pressed and not released, buttons down and not up, as the window saw.
int stillHeld(const QStringList &lines) {
    QMap<QString, int> held;
    for (const QString &l : lines) {
        const QStringList p = l.split(QLatin1Char(' '));
        if (p.size() < 2)
            continue;
        const bool button = p.at(0) == QLatin1String("down") || p.at(0) == QLatin1String("up");
        const int step = (p.at(0) == QLatin1String("press") || p.at(0) == QLatin1String("down")) ? 1
                         : (p.at(0) == QLatin1String("release") || p.at(0) == QLatin1String("up"))
                             ? -1
                             : 0;
        held[(button ? QStringLiteral("b") : QStringLiteral("k")) + p.at(1)] += step;
    }
    int n = 0;
    for (int v : held)
        n += v != 0 ? 1 : 0;
    return n;
}

void type(platform::InputLayer &layer, const QString &text) {
    layer.textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                    static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        layer.unicodeDown(c.unicode());
        layer.unicodeUp(c.unicode());
    }
}

// What the user's clipboard holds before each typing: text and a type of
// the program's own, which a paste must hand back byte for byte.
ClipboardContent usersClipboard() {
    ClipboardContent c;
    c.empty = false;
    c.types = {{"text/plain;charset=utf-8", "the user's own words"},
               {"application/x-tarnwick-test", std::string("\x01\x00\xff bytes", 9)}};
    return c;
}

class GtkEntry : public testsupport::ReportingProcess {
public:
    bool start(QString &error) {
        process_.setProcessEnvironment(testsupport::waylandGtkEnvironment());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QString::fromLatin1(testsupport::kWaylandGtkPython),
                       testsupport::waylandGtkArguments(QStringLiteral("entry")));
        if (!process_.waitForStarted(kTimeoutMs)) {
            error = process_.errorString();
            return false;
        }
        process_.write("clear\n");
        if (!waitForLine(QStringLiteral("ready"))) {
            error = QStringLiteral("the GTK entry never got the keyboard focus");
            return false;
        }
        return true;
    }
    ~GtkEntry() {
        process_.closeWriteChannel();
        process_.waitForFinished(5000);
    }
    QString text(int units) {
        const QString n = QStringLiteral("n %1").arg(units);
        waitForLine(n);
        const int from = static_cast<int>(lines().size());
        process_.write("dump\n");
        return testsupport::textOfLine(
            waitFor([](const QString &l) { return l.startsWith(QLatin1String("text")); },
                    kTimeoutMs, from));
    }
};

} // namespace

class KdeSynthesisTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void keyChords_data();
    void keyChords();
    void clicksLandOnExactPositions_data();
    void clicksLandOnExactPositions();
    void typesExactlyAndPutsTheClipboardBack_data();
    void typesExactlyAndPutsTheClipboardBack();
    void releaseAllLeavesNothingHeld();
    void windowsAreListedAndActivated();
    void screenShowsTheWindow_data();
    void screenShowsTheWindow();
    void unauthorisedCopySaysWhatItLacks();

private:
    std::unique_ptr<platform::Backend> backend_;
    platform::InputLayer *layer_ = nullptr;
    platform::kde::KdeInput *kde_ = nullptr;
    // Another program of the user's, which owns the clipboard before a run.
    std::unique_ptr<platform::kde::KdeInput> user_;
};

void KdeSynthesisTest::initTestCase() {
    QString why;
    QVERIFY2(testsupport::useKwinSession(why), qPrintable(why));
    std::string error;
    // KWin offers no virtual keyboard: the Wayland platform gets the KDE backend.
    backend_ = platform::createBackend("wayland", error);
    QVERIFY2(error.empty(), error.c_str());
    QCOMPARE(QString::fromStdString(backend_->capabilities().name), QStringLiteral("kde"));
    QVERIFY(backend_->capabilities().synthesis);
    layer_ = backend_->synthesis();
    kde_ = platform::kde::kdeInput(*backend_);
    QVERIFY(layer_ && kde_);
    const platform::Rect box = kde_->layout();
    QCOMPARE(box.width, 1280);
    QCOMPARE(box.height, 800);
    user_ = platform::kde::KdeInput::create(error);
    QVERIFY2(user_, error.c_str());
}

void KdeSynthesisTest::cleanup() {
    layer_->releaseAll();
}

void KdeSynthesisTest::cleanupTestCase() {
    user_.reset();
    backend_.reset();
}

void KdeSynthesisTest::keyChords_data() {
    QTest::addColumn<QList<int>>("vks"); // pressed in order, released in reverse
    QTest::addColumn<QString>("press");  // the window's line for the last key
    const int shift = int(Qt::ShiftModifier), ctrl = int(Qt::ControlModifier),
              alt = int(Qt::AltModifier);
    QTest::newRow("a") << QList<int>{0x41} << QStringLiteral("press %1 0 0061").arg(Qt::Key_A);
    QTest::newRow("Shift+a") << QList<int>{0x10, 0x41}
                             << QStringLiteral("press %1 %2 0041").arg(Qt::Key_A).arg(shift);
    QTest::newRow("Ctrl+Alt+s") << QList<int>{0x11, 0x12, 0x53}
                                << QStringLiteral("press %1 %2 ").arg(Qt::Key_S).arg(ctrl | alt);
    QTest::newRow("F5") << QList<int>{0x74} << QStringLiteral("press %1 0 -").arg(Qt::Key_F5);
    QTest::newRow("Return") << QList<int>{0x0D}
                            << QStringLiteral("press %1 0 000d").arg(Qt::Key_Return);
    QTest::newRow("digit 7") << QList<int>{0x37}
                             << QStringLiteral("press %1 0 0037").arg(Qt::Key_7);
}

void KdeSynthesisTest::keyChords() {
    QFETCH(QList<int>, vks);
    QFETCH(QString, press);
    testsupport::KwinTarget target;
    QString why;
    QVERIFY2(target.start(testsupport::kKwinKeysArg, why), qPrintable(why));
    for (int vk : vks)
        layer_->keyDown(vk);
    for (auto it = vks.rbegin(); it != vks.rend(); ++it)
        layer_->keyUp(*it);
    QVERIFY2(!target.waitFor([&](const QString &l) { return l.startsWith(press); }).isEmpty(),
             qPrintable(target.dump()));
    QTRY_COMPARE_WITH_TIMEOUT(stillHeld(target.lines()), 0, kTimeoutMs);
    for (int vk : vks)
        QVERIFY(!layer_->isDown(vk));
}

void KdeSynthesisTest::clicksLandOnExactPositions_data() {
    QTest::addColumn<bool>("left");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("left near the origin") << true << 3 << 5;
    QTest::newRow("left in the middle") << true << 641 << 399;
    QTest::newRow("right at the far corner") << false << 1279 << 799;
}

void KdeSynthesisTest::clicksLandOnExactPositions() {
    QFETCH(bool, left);
    QFETCH(int, x);
    QFETCH(int, y);
    testsupport::KwinTarget target;
    QString why;
    QVERIFY2(target.start(testsupport::kKwinKeysArg, why), qPrintable(why));
    QVERIFY(testsupport::fillsTile(*layer_, target, 0, 1280, 800));
    layer_->setCursorPos(x, y);
    QCOMPARE(layer_->cursorPos().x, x);
    const auto button = left ? platform::MouseButton::Left : platform::MouseButton::Right;
    layer_->mouseDown(button);
    QVERIFY(layer_->isDown(left ? platform::kVkLButton : platform::kVkRButton));
    layer_->mouseUp(button);
    const int qtButton = int(left ? Qt::LeftButton : Qt::RightButton);
    QVERIFY2(!target
                  .waitFor([&](const QString &l) {
                      return l == QStringLiteral("up %1 %2 %3").arg(qtButton).arg(x).arg(y);
                  })
                  .isEmpty(),
             qPrintable(target.dump()));
    QVERIFY(target.lines().contains(QStringLiteral("down %1 %2 %3").arg(qtButton).arg(x).arg(y)));
}

void KdeSynthesisTest::typesExactlyAndPutsTheClipboardBack_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("pastes"); // the US layout lacks some of it
    const QList<std::tuple<const char *, QString, bool>> texts = {
        {"ASCII", QStringLiteral("Hello, World! 0-9 ~`{}|\\\"'<>?"), false},
        {"accents", QStringLiteral("café naïve Ærøskøbing"), true},
        {"Japanese", QStringLiteral("日本語のテキストです"), true},
        {"emoji", QStringLiteral("ok 👍😀 done"), true},
        {"mixed", QStringLiteral("a日b😀c é"), true},
    };
    // A long burst, every printable character many times, Shift on and off.
    QString burst;
    for (int i = 0; i < 300; ++i)
        burst += QChar(char16_t(0x21 + (i * 7) % 94));
    QTest::newRow("qt: a burst of 300") << QStringLiteral("qt") << burst << false;
    for (const char *window : {"qt", "gtk"})
        for (const auto &t : texts)
            QTest::addRow("%s: %s", window, std::get<0>(t))
                << QString::fromLatin1(window) << std::get<1>(t) << std::get<2>(t);
}

void KdeSynthesisTest::typesExactlyAndPutsTheClipboardBack() {
    QFETCH(QString, window);
    QFETCH(QString, text);
    QFETCH(bool, pastes);
    const ClipboardContent before = usersClipboard();
    QVERIFY(user_->writeClipboard(before));
    const std::uint64_t pastesBefore = kde_->pastes();
    QString why;
    QString got;
    if (window == QLatin1String("qt")) {
        testsupport::KwinTarget edit;
        QVERIFY2(edit.start(testsupport::kKwinEditArg, why), qPrintable(why));
        type(*layer_, text);
        got = edit.waitForText(text);
    } else {
        GtkEntry entry;
        QVERIFY2(entry.start(why), qPrintable(why));
        type(*layer_, text);
        got = entry.text(int(text.size()));
    }
    QCOMPARE(got, text);
    QCOMPARE(kde_->pastes() > pastesBefore, pastes);
    QCOMPARE(QString::fromStdString(kde_->lastPasteFault()), QString());
    ClipboardContent after;
    QVERIFY(user_->readClipboard(after));
    QCOMPARE(after.empty, false);
    QCOMPARE(after.types.size(), before.types.size());
    for (std::size_t i = 0; i < before.types.size(); ++i) {
        QCOMPARE(after.types[i].first, before.types[i].first);
        QCOMPARE(after.types[i].second, before.types[i].second);
    }
}

void KdeSynthesisTest::releaseAllLeavesNothingHeld() {
    testsupport::KwinTarget target;
    QString why;
    QVERIFY2(target.start(testsupport::kKwinKeysArg, why), qPrintable(why));
    QVERIFY(testsupport::fillsTile(*layer_, target, 0, 1280, 800));
    layer_->setCursorPos(100, 100);
    layer_->keyDown(0x10);
    layer_->keyDown(0x46);
    layer_->unicodeDown(u'Q');
    layer_->mouseDown(platform::MouseButton::Left);
    QVERIFY(!target.waitFor([](const QString &l) { return l.startsWith(QLatin1String("down 1")); })
                 .isEmpty());
    QVERIFY(stillHeld(target.lines()) > 0);
    layer_->releaseAll();
    QTRY_COMPARE_WITH_TIMEOUT(stillHeld(target.lines()), 0, kTimeoutMs);
    QVERIFY(!layer_->isDown(0x10));
    QVERIFY(!layer_->isDown(platform::kVkLButton));
}

void KdeSynthesisTest::windowsAreListedAndActivated() {
    platform::WindowAccess *windows = backend_->windowAccess();
    QVERIFY(windows);
    QVERIFY(backend_->capabilities().windowGeometry);
    testsupport::KwinTarget older, newer;
    QString why;
    QVERIFY2(older.start(testsupport::kKwinTitledArg, why, QStringLiteral("kde older")),
             qPrintable(why));
    QVERIFY2(newer.start(testsupport::kKwinTitledArg, why, QStringLiteral("kde newer 日本")),
             qPrintable(why));
    const auto find = [&](const QString &title) {
        for (const platform::WindowInfo &w : windows->windows())
            if (QString::fromStdU16String(w.title) == title)
                return w;
        return platform::WindowInfo{};
    };
    const platform::WindowInfo o = find(QStringLiteral("kde older"));
    const platform::WindowInfo n = find(QStringLiteral("kde newer 日本"));
    QVERIFY(o.id && n.id && o.id != n.id);
    QCOMPARE(QString::fromStdU16String(n.program),
             QString::fromLatin1(testsupport::kWaylandTargetAppId));
    QCOMPARE(n.pid, newer.pid());
    QCOMPARE(n.client.x, 0);
    QCOMPARE(n.client.y, 0);
    QCOMPARE(n.client.width, 1280);
    QCOMPARE(n.client.height, 800);
    // The newest on top and active.
    QCOMPARE(windows->windows().front().id, n.id);
    QCOMPARE(windows->activeWindow(), n.id);
    QCOMPARE(windows->windowAt(640, 400), n.id);
    older.clear();
    QVERIFY(windows->activate(o.id));
    QCOMPARE(windows->activeWindow(), o.id);
    QVERIFY(older.waitForLine(QStringLiteral("focus in")));
    // KWin raises it once it is active.
    QTRY_COMPARE_WITH_TIMEOUT(windows->windowAt(640, 400), o.id, kTimeoutMs);
    QCOMPARE(windows->windowAt(5000, 5000), std::uint64_t(0));
    // Ids stay the window's; a closed window has none.
    platform::WindowInfo again;
    QVERIFY(windows->info(n.id, again));
    QCOMPARE(QString::fromStdU16String(again.title), QStringLiteral("kde newer 日本"));
    newer.close();
    QTRY_VERIFY_WITH_TIMEOUT(!windows->info(n.id, again), kTimeoutMs);
    QVERIFY(!windows->activate(n.id));
}

void KdeSynthesisTest::screenShowsTheWindow_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("origin") << 0 << 0;
    QTest::newRow("middle") << 637 << 411;
    QTest::newRow("far corner") << 1279 << 799;
}

void KdeSynthesisTest::screenShowsTheWindow() {
    QFETCH(int, x);
    QFETCH(int, y);
    QVERIFY(backend_->capabilities().screenReading);
    platform::ScreenReader *screen = backend_->screenReader();
    QVERIFY(screen);
    platform::Rect bounds;
    QVERIFY(screen->bounds(bounds));
    QCOMPARE(bounds.width, 1280);
    QCOMPARE(bounds.height, 800);
    testsupport::KwinTarget target;
    QString why;
    QVERIFY2(target.start(testsupport::kKwinKeysArg, why), qPrintable(why));
    using W = testsupport::WaylandTargetWindow;
    platform::Rgb colour;
    QTRY_VERIFY_WITH_TIMEOUT(screen->pixel(x, y, colour) && colour.r == W::kRed &&
                                 colour.g == W::kGreen && colour.b == W::kBlue,
                             kTimeoutMs);
    // A region lying on the screen's edge, in one piece: B, G, R, unused.
    const int left = std::min(x, 1280 - 10), top = std::min(y, 800 - 8);
    platform::ScreenImage image;
    QVERIFY(screen->region(platform::Rect{left, top, 10, 8}, image));
    QCOMPARE(image.width, 10);
    QCOMPARE(image.height, 8);
    QCOMPARE(image.stride, 40);
    QCOMPARE(image.bytes.size(), std::size_t(10 * 8 * 4));
    for (std::size_t i = 0; i < image.bytes.size(); i += 4) {
        QCOMPARE(int(image.bytes[i]), W::kBlue);
        QCOMPARE(int(image.bytes[i + 1]), W::kGreen);
        QCOMPARE(int(image.bytes[i + 2]), W::kRed);
    }
}

void KdeSynthesisTest::unauthorisedCopySaysWhatItLacks() {
    // KWin knows programs by their path: a copy no .desktop file names is
    // not offered fake input, and says how to get it.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("unauthorised"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner));
    QProcess probe;
    probe.start(copy, {QString::fromLatin1(kProbeArg)});
    QVERIFY(probe.waitForFinished(kTimeoutMs));
    const QString said = QString::fromUtf8(probe.readAllStandardOutput());
    QCOMPARE(probe.exitCode(), 1);
    QVERIFY2(said.contains(QStringLiteral("Exec=") + copy), qPrintable(said));
    QVERIFY2(said.contains(QLatin1String("X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input")),
             qPrintable(said));
}

int main(int argc, char **argv) {
    const int target = testsupport::kwinTargetMain(argc, argv);
    if (target >= 0)
        return target;
    if (argc > 1 && std::strcmp(argv[1], kProbeArg) == 0) {
        std::string error;
        const bool made = platform::kde::createBackend(error) != nullptr;
        std::fputs(error.c_str(), stdout);
        return made ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    KdeSynthesisTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "kde_synthesis.moc"
