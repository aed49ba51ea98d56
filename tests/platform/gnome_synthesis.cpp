// The GNOME backend on the headless GNOME Shell of ./test.sh
// (scripts/gnome.sh), into GTK 3 windows of the test's own on its Wayland
// display: text typed or pasted arrives exactly and in order, the clipboard
// is as it was afterwards, clicks land where they were sent, chords arrive
// with their modifiers, and our shell extension lists and activates windows.

#include "platform/backend.h"
#include "platform/gnome/gnomebackend.h"
#include "platform/gnome/mutterremote.h"
#include "support/gnomesession.h"

#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kTimeoutMs = 30000;
constexpr char kClipboardType[] = "text/plain;charset=utf-8";
constexpr char kHoldArg[] = "--hold";

// GDK's Control bit (GdkModifierType).
constexpr int kControl = 1 << 2;

} // namespace

class GnomeSynthesisTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void typesTextExactlyAndKeepsTheClipboard_data();
    void typesTextExactlyAndKeepsTheClipboard();
    void clicksLandWhereSent_data();
    void clicksLandWhereSent();
    void chordArrivesWithItsModifier();
    void extensionActivatesTheWindowAsked();
    void runKeysReachTheRunOnlyWhileBound();
    void screenShowsTheWindowsColour();
    void nothingHeldAfterSigterm();

private:
    platform::WindowInfo targetWindow();

    std::unique_ptr<platform::Backend> backend_;
    platform::InputLayer *layer_ = nullptr;
    // The test's own session: it puts the user's clipboard content there and
    // reads it back.
    std::unique_ptr<platform::gnome::MutterRemote> user_;
};

void GnomeSynthesisTest::initTestCase() {
    QString why;
    QVERIFY2(testsupport::useGnomeSession(why), qPrintable(why));
    std::string error;
    QVERIFY2(platform::gnome::isGnomeWayland(), "the environment does not say GNOME on Wayland");
    QVERIFY2(platform::gnome::MutterRemote::available(error), error.c_str());
    backend_ = platform::createBackend("wayland", error);
    QVERIFY2(error.empty(), error.c_str());
    QCOMPARE(QString::fromStdString(backend_->capabilities().name), QStringLiteral("gnome"));
    QVERIFY2(backend_->windowAccess(), platform::gnome::windowsNote().c_str());
    layer_ = backend_->synthesis();
    user_ = std::make_unique<platform::gnome::MutterRemote>();
    QVERIFY2(user_->open(error), error.c_str());
}

void GnomeSynthesisTest::cleanup() {
    if (layer_)
        layer_->releaseAll();
}

void GnomeSynthesisTest::cleanupTestCase() {
    user_.reset();
    backend_.reset();
}

// The GTK window with the focus (one closed just before may still be listed).
platform::WindowInfo GnomeSynthesisTest::targetWindow() {
    platform::WindowAccess *windows = backend_->windowAccess();
    platform::WindowInfo w;
    if (!windows->info(windows->activeWindow(), w) || w.title != u"tarnwick gtk target")
        return {};
    return w;
}

void GnomeSynthesisTest::typesTextExactlyAndKeepsTheClipboard_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QStringLiteral("Hello, World! 1+2=3 {x} ~_|");
    QTest::newRow("japanese") << QStringLiteral("日本語のテキスト、かなカナ");
    QTest::newRow("emoji") << QStringLiteral("😀👍🎉");
    QTest::newRow("accents") << QStringLiteral("éàüßñ çÉ Ø");
    // Typed and pasted runs one after another, in order.
    QTest::newRow("mixed") << QStringLiteral("ab日本cd😀e\u00e9f語");
}

void GnomeSynthesisTest::typesTextExactlyAndKeepsTheClipboard() {
    QFETCH(QString, text);
    const std::string before = "the user's own " + std::string(QTest::currentDataTag());
    QVERIFY(user_->offerSelection({{kClipboardType, before}}));

    testsupport::GnomeGtkTarget entry;
    QString error;
    QVERIFY2(entry.start(QStringLiteral("entry"), error), qPrintable(error));
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    layer_->textAhead(units, static_cast<std::size_t>(text.size()));
    for (int i = 0; i < text.size(); ++i) {
        layer_->unicodeDown(units[i]);
        layer_->unicodeUp(units[i]);
    }
    QCOMPARE(entry.text(text.size()), text);

    // The clipboard holds what the user had, served now by the backend.
    // Where nothing was pasted, the user's program still holds it.
    const auto asBefore = [&] {
        return user_->ownsSelection() || user_->readSelection()[kClipboardType] == before;
    };
    QTRY_VERIFY_WITH_TIMEOUT(asBefore(), 20000);
}

void GnomeSynthesisTest::clicksLandWhereSent_data() {
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::newRow("near the corner") << 30 << 40;
    QTest::newRow("middle") << 100 << 75;
    QTest::newRow("far side") << 170 << 110;
}

void GnomeSynthesisTest::clicksLandWhereSent() {
    QFETCH(int, dx);
    QFETCH(int, dy);
    testsupport::GnomeGtkTarget events;
    QString error;
    QVERIFY2(events.start(QStringLiteral("events"), error), qPrintable(error));
    const platform::WindowInfo w = targetWindow();
    QVERIFY2(w.id, "the extension does not list the GTK window");
    // A reference click at the frame's corner plus 10, then the row's: the
    // window reports both in its own coordinates, which must differ by
    // exactly what the positions sent did.
    const auto clickAt = [&](int x, int y) -> QPoint {
        events.clear();
        layer_->setCursorPos(x, y);
        // The pointer over the window first, or the shell may take the press.
        events.waitFor([](const QString &l) { return l.startsWith(QLatin1String("move ")); }, 5000);
        layer_->mouseDown(platform::MouseButton::Left);
        layer_->mouseUp(platform::MouseButton::Left);
        const QString line =
            events.waitFor([](const QString &l) { return l.startsWith(QLatin1String("down 1 ")); });
        const QStringList parts = line.split(QLatin1Char(' '));
        return parts.size() == 4 ? QPoint(parts[2].toInt(), parts[3].toInt()) : QPoint(-1, -1);
    };
    const QPoint reference = clickAt(w.client.x + 10, w.client.y + 10);
    QVERIFY2(reference.x() >= 0, qPrintable(events.dump()));
    const QPoint landed = clickAt(w.client.x + dx, w.client.y + dy);
    QVERIFY2(landed.x() >= 0, qPrintable(events.dump()));
    QCOMPARE(landed - reference, QPoint(dx - 10, dy - 10));
    QVERIFY(!layer_->isDown(platform::kVkLButton));
}

void GnomeSynthesisTest::chordArrivesWithItsModifier() {
    testsupport::GnomeGtkTarget events;
    QString error;
    QVERIFY2(events.start(QStringLiteral("events"), error), qPrintable(error));
    events.clear();
    layer_->keyDown(0x11); // Ctrl
    layer_->keyDown('A');
    QVERIFY(layer_->isDown('A'));
    layer_->keyUp('A');
    layer_->keyUp(0x11);
    const QString press =
        events.waitFor([](const QString &l) { return l.startsWith(QLatin1String("press 97 ")); });
    QVERIFY2(!press.isEmpty(), qPrintable(events.dump()));
    QVERIFY(press.split(QLatin1Char(' ')).at(2).toInt() & kControl);
    QVERIFY(!layer_->isDown('A'));
}

void GnomeSynthesisTest::extensionActivatesTheWindowAsked() {
    testsupport::GnomeGtkTarget first;
    QString error;
    QVERIFY2(first.start(QStringLiteral("events"), error), qPrintable(error));
    const platform::WindowInfo w = targetWindow();
    QVERIFY(w.id);
    QCOMPARE(backend_->windowAccess()->activeWindow(), w.id);
    testsupport::GnomeGtkTarget second;
    QVERIFY2(second.start(QStringLiteral("entry"), error), qPrintable(error));
    QVERIFY(backend_->windowAccess()->activeWindow() != w.id);
    QVERIFY(backend_->windowAccess()->activate(w.id));
    QCOMPARE(backend_->windowAccess()->activeWindow(), w.id);
    QCOMPARE(backend_->windowAccess()->windowAt(w.client.x + 5, w.client.y + 5), w.id);
}

void GnomeSynthesisTest::runKeysReachTheRunOnlyWhileBound() {
    platform::RunKeys *keys = backend_->runKeys();
    QVERIFY(keys);
    int pressed = 0;
    platform::RunKeyRequest request;
    request.chord.modifiers = platform::kModControl | platform::kModAlt;
    request.chord.vk = 'S';
    request.callback = [&pressed] { ++pressed; };
    const platform::RunKeyAnswer answer = keys->bind(1, request);
    QCOMPARE(int(answer.way), int(platform::RunKeyWay::Bound));
    QCOMPARE(QString::fromStdString(answer.keys), QStringLiteral("<Control><Alt>s"));
    const auto press = [this] {
        layer_->keyDown(0x11);
        layer_->keyDown(0x12);
        layer_->keyDown('S');
        layer_->keyUp('S');
        layer_->keyUp(0x12);
        layer_->keyUp(0x11);
    };
    press();
    QTRY_COMPARE_WITH_TIMEOUT(pressed, 1, 5000);
    keys->unbind(1);
    press();
    QTest::qWait(500);
    QCOMPARE(pressed, 1);
}

// The GTK window's background, read through the screen cast: the window's
// middle has its theme's colour, and the reader sees it where the extension
// says the window is, and not after it closed.
void GnomeSynthesisTest::screenShowsTheWindowsColour() {
    platform::ScreenReader *screen = backend_->screenReader();
    QVERIFY(screen);
    platform::Rect bounds;
    QVERIFY(screen->bounds(bounds));
    QCOMPARE(bounds.width, 1280);
    QCOMPARE(bounds.height, 800);
    platform::Rgb desktop;
    QVERIFY(screen->pixel(5, bounds.height - 5, desktop));
    platform::WindowInfo w;
    {
        testsupport::GnomeGtkTarget events;
        QString error;
        QVERIFY2(events.start(QStringLiteral("events"), error), qPrintable(error));
        w = targetWindow();
        QVERIFY(w.id);
        const int cx = w.client.x + w.client.width / 2, cy = w.client.y + w.client.height / 2;
        platform::Rgb inside;
        // Adwaita's window background, once the frame with the window arrived.
        QTRY_VERIFY_WITH_TIMEOUT(screen->pixel(cx, cy, inside) && inside.r == 0xf6 &&
                                     inside.g == 0xf5 && inside.b == 0xf4,
                                 5000);
        platform::ScreenImage image;
        QVERIFY(screen->region(platform::Rect{cx - 2, cy - 2, 4, 4}, image));
        QCOMPARE(image.width, 4);
        QCOMPARE(int(image.bytes[std::size_t(image.stride) * 3 + 3 * 4 + 2]), 0xf6);
    }
    platform::Rgb after;
    QTRY_VERIFY_WITH_TIMEOUT(
        screen->pixel(w.client.x + w.client.width / 2, w.client.y + w.client.height / 2, after) &&
            after.r == desktop.r && after.g == desktop.g && after.b == desktop.b,
        5000);
    platform::ScreenImage outside;
    QVERIFY(!screen->region(platform::Rect{bounds.width - 2, 0, 4, 4}, outside));
}

// A program killed by SIGTERM while it holds a key and a button: its bus
// connection goes with it, GNOME closes its session, and lets go of both.
void GnomeSynthesisTest::nothingHeldAfterSigterm() {
    testsupport::GnomeGtkTarget events;
    QString error;
    QVERIFY2(events.start(QStringLiteral("events"), error), qPrintable(error));
    const platform::WindowInfo w = targetWindow();
    QVERIFY(w.id);
    QProcess holder;
    holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    holder.start(QCoreApplication::applicationFilePath(),
                 {QString::fromLatin1(kHoldArg), QString::number(w.client.x + w.client.width / 2),
                  QString::number(w.client.y + w.client.height / 2)});
    QVERIFY(holder.waitForStarted(kTimeoutMs));
    QVERIFY(holder.waitForReadyRead(kTimeoutMs));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("ready"));
    // The key as the compositor tells it, the button as GDK does.
    const auto seen = [&events](const char *prefix) {
        return !events
                    .waitFor(
                        [prefix](const QString &l) { return l.startsWith(QLatin1String(prefix)); },
                        5000)
                    .isEmpty();
    };
    QVERIFY2(seen("down 1 "), qPrintable(events.dump()));
    QTRY_VERIFY_WITH_TIMEOUT(events.held().startsWith(QLatin1String("wl held 1 ")), 20000);
    holder.terminate();
    QVERIFY(holder.waitForFinished(kTimeoutMs));
    QVERIFY2(seen("up 1 "), qPrintable(events.dump()));
    QTRY_VERIFY_WITH_TIMEOUT(events.held().startsWith(QLatin1String("wl held 0 ")), 20000);
}

namespace {

// The holder: the GNOME backend holding Shift and the left button at (x, y)
// until it is killed.
int holdMain(int argc, char **argv) {
    if (argc < 4)
        return 2;
    QString why;
    if (!testsupport::useGnomeSession(why))
        return 2;
    std::string error;
    std::unique_ptr<platform::Backend> backend = platform::createBackend("wayland", error);
    platform::InputLayer *layer = backend->synthesis();
    if (!layer || backend->capabilities().name != "gnome")
        return 2;
    // Twice: a new session's first motion may come before its pointer does.
    layer->setCursorPos(std::atoi(argv[2]) - 1, std::atoi(argv[3]));
    QThread::msleep(200);
    layer->setCursorPos(std::atoi(argv[2]), std::atoi(argv[3]));
    QThread::msleep(200);
    layer->keyDown(0x10);
    layer->mouseDown(platform::MouseButton::Left);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(60);
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], kHoldArg) == 0)
        return holdMain(argc, argv);
    QCoreApplication app(argc, argv);
    GnomeSynthesisTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "gnome_synthesis.moc"
