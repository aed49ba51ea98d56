// The Wayland backend against a real compositor: the headless sway that
// ./test.sh starts (scripts/sway.sh), and a Qt window of the test's own on
// it (support/waylandtarget.h), which reports what the compositor delivered.

#include "platform/backend.h"
#include "platform/wayland/waylandbackend.h"
#include "platform/wayland/waylandinput.h"
#include "support/waylandtarget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kTimeoutMs = 30000;

// The target window as a child process.
class WaylandTarget : public testsupport::ReportingProcess {
public:
    bool start(QString &error) {
        return ReportingProcess::start(QCoreApplication::applicationFilePath(),
                                       {QString::fromLatin1(testsupport::kWaylandTargetArg)},
                                       testsupport::waylandTargetEnvironment(),
                                       QStringLiteral("the window never got the keyboard focus"),
                                       error);
    }
};

// Keys pressed and not released, buttons down and not up, as the window saw.
int stillHeld(const QStringList &lines) {
    QMap<QString, int> held;
    for (const QString &l : lines) {
        const QStringList p = l.split(QLatin1Char(' '));
        if (p.size() < 2)
            continue;
        const QString key = (p.at(0) == QLatin1String("down") || p.at(0) == QLatin1String("up"))
                                ? QStringLiteral("button ") + p.at(1)
                                : QStringLiteral("key ") + p.at(1);
        if (p.at(0) == QLatin1String("press") || p.at(0) == QLatin1String("down"))
            ++held[key];
        else if (p.at(0) == QLatin1String("release") || p.at(0) == QLatin1String("up"))
            --held[key];
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

} // namespace

class WaylandSynthesisTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void keyChords_data();
    void keyChords();
    void typesEveryCharacterExactly();
    void clicksLandOnExactPositions_data();
    void clicksLandOnExactPositions();
    void smoothMoveArrives();
    void releaseAllLeavesNothingHeld();
    void screenShowsTheWindow_data();
    void screenShowsTheWindow();
    void screenTellsWhereItChanged();

private:
    std::unique_ptr<platform::Backend> backend_;
    platform::InputLayer *layer_ = nullptr;
    std::unique_ptr<WaylandTarget> target_;
};

void WaylandSynthesisTest::initTestCase() {
    // Fails, never skips, without the compositor: ./test.sh starts it.
    QVERIFY2(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
             "WAYLAND_DISPLAY is not set: run through ./test.sh (scripts/sway.sh)");
    std::string error;
    backend_ = platform::createBackend("wayland", error);
    QVERIFY2(error.empty(), error.c_str());
    QCOMPARE(QString::fromStdString(backend_->capabilities().name), QStringLiteral("wayland"));
    layer_ = backend_->synthesis();
    QVERIFY(layer_);
    // The user's keys are heard only through readable input devices; where
    // there are none (no /dev/input here) the backend says why instead.
    const platform::Capabilities caps = backend_->capabilities();
    QCOMPARE(caps.keyEvents, platform::wayland::inputDevicesNote().empty());
    QCOMPARE(caps.recording, caps.keyEvents);
    QCOMPARE(backend_->keyEvents() != nullptr, caps.keyEvents);
    QCOMPARE(backend_->createRecorder() != nullptr, caps.keyEvents);
    // A run's keys: the input devices where they are read, else sway
    // (SWAYSOCK) binds them.
    QCOMPARE(caps.runKeys,
             caps.keyEvents ? platform::RunKeyWay::Devices : platform::RunKeyWay::Bound);
    QVERIFY(backend_->runKeys());
    // The two outputs of scripts/sway.sh: 1024x768, and 1280x960 at scale 2
    // (640x480) right of it.
    QVERIFY(platform::wayland::waylandInput(*backend_));
    const auto box = platform::wayland::waylandInput(*backend_)->layout();
    QCOMPARE(box.x, 0);
    QCOMPARE(box.y, 0);
    QCOMPARE(box.width, 1024 + 640);
    QCOMPARE(box.height, 768);
}

void WaylandSynthesisTest::init() {
    // New windows open on the focused output; the clicks test moves its
    // window (and the focus) to the other one.
    QVERIFY(testsupport::swaymsg(
        {QStringLiteral("focus"), QStringLiteral("output"), QStringLiteral("HEADLESS-1")}));
    target_ = std::make_unique<WaylandTarget>();
    QString error;
    QVERIFY2(target_->start(error), qPrintable(error));
}

void WaylandSynthesisTest::cleanup() {
    if (layer_)
        layer_->releaseAll();
    target_.reset();
}

void WaylandSynthesisTest::cleanupTestCase() {
    backend_.reset();
}

void WaylandSynthesisTest::keyChords_data() {
    QTest::addColumn<QList<int>>("vks");
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("ctrl+shift+a") << QList<int>{0x11, 0x10, 'A'} << int(Qt::Key_A)
                                  << int(Qt::ControlModifier | Qt::ShiftModifier);
    QTest::newRow("right ctrl+s") << QList<int>{0xA3, 'S'} << int(Qt::Key_S)
                                  << int(Qt::ControlModifier);
    QTest::newRow("alt+f5") << QList<int>{0x12, 0x74} << int(Qt::Key_F5) << int(Qt::AltModifier);
    QTest::newRow("shift+1") << QList<int>{0xA1, '1'} << int(Qt::Key_Exclam)
                             << int(Qt::ShiftModifier);
    QTest::newRow("enter") << QList<int>{0x0D} << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("left arrow") << QList<int>{0x25} << int(Qt::Key_Left) << int(Qt::KeypadModifier);
    QTest::newRow("keypad 7") << QList<int>{0x67} << int(Qt::Key_7) << int(Qt::KeypadModifier);
    QTest::newRow("oem minus") << QList<int>{0xBD} << int(Qt::Key_Minus) << int(Qt::NoModifier);
}

void WaylandSynthesisTest::keyChords() {
    QFETCH(QList<int>, vks);
    QFETCH(int, qtKey);
    QFETCH(int, modifiers);
    for (int vk : vks)
        layer_->keyDown(vk);
    QVERIFY(layer_->isDown(vks.last()));
    for (auto it = vks.crbegin(); it != vks.crend(); ++it)
        layer_->keyUp(*it);
    QVERIFY(!layer_->isDown(vks.last()));
    const QString press = QStringLiteral("press %1 ").arg(qtKey);
    const QString line = target_->waitFor([&](const QString &l) { return l.startsWith(press); });
    QVERIFY2(!line.isEmpty(), qPrintable(target_->lines().join(QLatin1Char('\n'))));
    // Qt on Wayland marks the arrows and the keypad as keypad keys; that mark
    // is not what the row is about.
    const int got = line.split(QLatin1Char(' ')).at(2).toInt();
    QCOMPARE(got & ~int(Qt::KeypadModifier), modifiers & ~int(Qt::KeypadModifier));
    QTRY_COMPARE_WITH_TIMEOUT(stillHeld(target_->lines()), 0, kTimeoutMs);
}

void WaylandSynthesisTest::typesEveryCharacterExactly() {
    QString text;
    for (char32_t cp = 0x4E00; cp < 0x4E00 + 1000; ++cp) // 1,000 different kanji
        text += QChar(char16_t(cp));
    for (char32_t cp = 0x1F600; cp < 0x1F650; ++cp) // emoji, beyond the BMP
        text += QString::fromUcs4(&cp, 1);
    for (char c = 0x20; c < 0x7F; ++c)
        text += QLatin1Char(c);
    text += QStringLiteral("日本語のテキスト 😀 mixed, again: 一丁七");
    auto *wl = platform::wayland::waylandInput(*backend_);
    const std::uint64_t uploadsBefore = wl->keymapUploads();
    type(*layer_, text);
    QTRY_COMPARE_WITH_TIMEOUT(testsupport::typedText(target_->lines()).size(), text.size(),
                              kTimeoutMs);
    QCOMPARE(testsupport::typedText(target_->lines()), text);
    // A block at a time: far fewer keymaps than characters.
    const std::uint64_t uploads = wl->keymapUploads() - uploadsBefore;
    QVERIFY2(uploads >= 1 && uploads < 40, QByteArray::number(qulonglong(uploads)));
    QTRY_COMPARE_WITH_TIMEOUT(stillHeld(target_->lines()), 0, kTimeoutMs);
}

void WaylandSynthesisTest::clicksLandOnExactPositions_data() {
    testsupport::addClickRows();
}

void WaylandSynthesisTest::clicksLandOnExactPositions() {
    QFETCH(QString, output);
    QFETCH(int, originX);
    QFETCH(bool, left);
    QFETCH(int, x);
    QFETCH(int, y);
    const QString select =
        QStringLiteral("[app_id=\"%1\"]").arg(QLatin1String(testsupport::kWaylandTargetAppId));
    QVERIFY(testsupport::swaymsg({select, QStringLiteral("move"), QStringLiteral("container"),
                                  QStringLiteral("to"), QStringLiteral("output"), output}));
    const int width = output == QLatin1String("HEADLESS-1") ? 1024 : 640;
    const int height = output == QLatin1String("HEADLESS-1") ? 768 : 480;
    QVERIFY2(testsupport::fillsTile(*layer_, *target_, originX, width, height),
             qPrintable(target_->lines().join(QLatin1Char('\n'))));
    target_->clear();
    const platform::MouseButton button =
        left ? platform::MouseButton::Left : platform::MouseButton::Right;
    layer_->setCursorPos(originX + x, y);
    QCOMPARE(layer_->cursorPos().x, originX + x);
    QCOMPARE(layer_->cursorPos().y, y);
    layer_->mouseDown(button);
    QVERIFY(layer_->isDown(left ? platform::kVkLButton : platform::kVkRButton));
    layer_->mouseUp(button);
    const int qtButton = int(left ? Qt::LeftButton : Qt::RightButton);
    QVERIFY2(target_->waitForLine(QStringLiteral("down %1 %2 %3").arg(qtButton).arg(x).arg(y)),
             qPrintable(target_->lines().join(QLatin1Char('\n'))));
    QVERIFY(target_->waitForLine(QStringLiteral("up %1 %2 %3").arg(qtButton).arg(x).arg(y)));
}

void WaylandSynthesisTest::smoothMoveArrives() {
    QVERIFY(testsupport::fillsTile(*layer_, *target_, 0, 1024, 768));
    // As the smooth move step does: from where the layer says the pointer
    // is, in small steps, to the end.
    layer_->setCursorPos(100, 100);
    const platform::Point from = layer_->cursorPos();
    for (int i = 1; i <= 50; ++i)
        layer_->setCursorPos(from.x + (600 - from.x) * i / 50, from.y + (400 - from.y) * i / 50);
    QVERIFY2(target_->waitForLine(QStringLiteral("move 600 400")),
             qPrintable(target_->lines().join(QLatin1Char('\n'))));
    int moves = 0;
    int lastX = 0;
    for (const QString &l : target_->lines()) {
        if (!l.startsWith(QLatin1String("move ")))
            continue;
        const int x = l.split(QLatin1Char(' ')).at(1).toInt();
        QVERIFY2(x >= lastX, qPrintable(l)); // never backwards
        lastX = x;
        ++moves;
    }
    QVERIFY2(moves >= 10, QByteArray::number(moves));
}

void WaylandSynthesisTest::releaseAllLeavesNothingHeld() {
    QVERIFY(testsupport::fillsTile(*layer_, *target_, 0, 1024, 768));
    layer_->setCursorPos(300, 300);
    layer_->keyDown(0x11);
    layer_->keyDown(0x10);
    layer_->keyDown('K');
    layer_->textAhead(u"語", 1);
    layer_->unicodeDown(u'語');
    layer_->mouseDown(platform::MouseButton::Left);
    QVERIFY2(
        !target_->waitFor([](const QString &l) { return l.startsWith(QLatin1String("down 1")); })
             .isEmpty(),
        qPrintable(target_->lines().join(QLatin1Char('\n'))));
    layer_->releaseAll();
    for (int vk : {0x10, 0x11, int('K'), platform::kVkLButton})
        QVERIFY(!layer_->isDown(vk));
    QTRY_COMPARE_WITH_TIMEOUT(stillHeld(target_->lines()), 0, kTimeoutMs);
    // The compositor's view agrees: a plain key afterwards has no modifiers.
    layer_->keyDown('Q');
    layer_->keyUp('Q');
    QVERIFY2(target_->waitForLine(QStringLiteral("press %1 0 0071").arg(int(Qt::Key_Q))),
             qPrintable(target_->lines().join(QLatin1Char('\n'))));
    QTRY_COMPARE_WITH_TIMEOUT(stillHeld(target_->lines()), 0, kTimeoutMs);
}

void WaylandSynthesisTest::screenShowsTheWindow_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("x"); // in the layout
    QTest::addColumn<int>("y");
    QTest::newRow("first output") << "HEADLESS-1" << 500 << 300;
    QTest::newRow("scale 2") << "HEADLESS-2" << 1024 + 300 << 200;
}

void WaylandSynthesisTest::screenShowsTheWindow() {
    QFETCH(QString, output);
    QFETCH(int, x);
    QFETCH(int, y);
    QVERIFY(backend_->capabilities().screenReading);
    platform::ScreenReader *screen = backend_->screenReader();
    QVERIFY(screen);
    const QString select =
        QStringLiteral("[app_id=\"%1\"]").arg(QLatin1String(testsupport::kWaylandTargetAppId));
    QVERIFY(testsupport::swaymsg({select, QStringLiteral("move"), QStringLiteral("container"),
                                  QStringLiteral("to"), QStringLiteral("output"), output}));
    const int originX = output == QLatin1String("HEADLESS-1") ? 0 : 1024;
    QVERIFY(testsupport::fillsTile(*layer_, *target_, originX,
                                   output == QLatin1String("HEADLESS-1") ? 1024 : 640,
                                   output == QLatin1String("HEADLESS-1") ? 768 : 480));
    using W = testsupport::WaylandTargetWindow;
    platform::Rgb colour;
    QTRY_VERIFY_WITH_TIMEOUT(screen->pixel(x, y, colour) && colour.r == W::kRed &&
                                 colour.g == W::kGreen && colour.b == W::kBlue,
                             kTimeoutMs);
    platform::ScreenImage image;
    QVERIFY(screen->region(platform::Rect{x - 5, y - 4, 10, 8}, image));
    QCOMPARE(image.width, 10);
    QCOMPARE(image.height, 8);
    QCOMPARE(image.bytes.size(), std::size_t(10 * 8 * 4));
    QCOMPARE(int(image.bytes[(7 * 10 + 9) * 4 + 1]), W::kGreen); // the last pixel
    // Across two outputs (a search of the whole layout) each shows its own
    // part: the window on one side of x = 1024, the empty background on the
    // other.
    QVERIFY(screen->region(platform::Rect{1020, 10, 10, 10}, image));
    QCOMPARE(image.width, 10);
    const int windowLeft = originX == 0 ? 1 : 0;
    QCOMPARE(int(image.bytes[1]) == W::kGreen, bool(windowLeft));          // x = 1020
    QCOMPARE(int(image.bytes[9 * 4 + 1]) == W::kGreen, !bool(windowLeft)); // x = 1029
}

// The window moves from output to output: the screen tells where it changed
// (in layout coordinates, the second output's halved), tells nothing of a
// still screen, and cannot tell across a change of the outputs' layout.
void WaylandSynthesisTest::screenTellsWhereItChanged() {
    platform::ScreenReader *screen = backend_->screenReader();
    QVERIFY(screen);
    const QString select =
        QStringLiteral("[app_id=\"%1\"]").arg(QLatin1String(testsupport::kWaylandTargetAppId));
    auto moveTo = [&](const char *output) {
        return testsupport::swaymsg({select, QStringLiteral("move"), QStringLiteral("container"),
                                     QStringLiteral("to"), QStringLiteral("output"),
                                     QString::fromLatin1(output)});
    };
    QVERIFY(moveTo("HEADLESS-1"));
    std::uint64_t token = 0;
    std::vector<platform::Rect> changed;
    QVERIFY(!screen->changesSince(token, changed)); // the first question
    // Each question ends a period, so the answers latch (QTRY asks again).
    bool still = false;
    QTRY_VERIFY_WITH_TIMEOUT(
        still = still || (screen->changesSince(token, changed) && changed.empty()), kTimeoutMs);

    QVERIFY(moveTo("HEADLESS-2"));
    const platform::Rect second{1024, 0, 640, 480};
    bool onSecond = false;
    QElapsedTimer waited;
    waited.start();
    while (!onSecond && waited.elapsed() < kTimeoutMs) {
        QVERIFY(screen->changesSince(token, changed));
        for (const platform::Rect &r : changed) {
            QVERIFY(r.width > 0 && r.height > 0);
            QVERIFY2(
                r.x >= 0 && r.y >= 0 && r.x + r.width <= 1024 + 640 && r.y + r.height <= 768,
                qPrintable(
                    QStringLiteral("%1,%2 %3x%4").arg(r.x).arg(r.y).arg(r.width).arg(r.height)));
            onSecond = onSecond || (r.x >= second.x && r.x + r.width <= second.x + second.width &&
                                    r.y + r.height <= second.height);
        }
        QTest::qWait(20);
    }
    QVERIFY(onSecond);

    // A new layout voids what was told, once.
    const QStringList place = {QStringLiteral("output"), QStringLiteral("HEADLESS-2"),
                               QStringLiteral("position")};
    for (const char *x : {"1100", "1024"}) {
        QVERIFY(testsupport::swaymsg(place + QStringList{QString::fromLatin1(x), "0"}));
        bool voided = false;
        QTRY_VERIFY_WITH_TIMEOUT(voided = voided || !screen->changesSince(token, changed),
                                 kTimeoutMs);
        bool toldAgain = false;
        QTRY_VERIFY_WITH_TIMEOUT(toldAgain = toldAgain || screen->changesSince(token, changed),
                                 kTimeoutMs);
    }
    QTRY_COMPARE_WITH_TIMEOUT(platform::wayland::waylandInput(*backend_)->layout().width,
                              1024 + 640, kTimeoutMs);
}

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], testsupport::kWaylandTargetArg) == 0)
        return testsupport::waylandTargetMain(argc, argv);
    QCoreApplication app(argc, argv);
    WaylandSynthesisTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "wayland_synthesis.moc"
