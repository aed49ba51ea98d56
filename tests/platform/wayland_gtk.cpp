// The Wayland backend into a GTK 3 window of the test's own
// (support/waylandgtktarget.h, GDK_BACKEND=wayland) on the headless sway of
// ./test.sh: what GDK delivered, and what the compositor itself says is
// held (a wl_keyboard and a wl_pointer of the window's own on GDK's seat).

#include "platform/backend.h"
#include "platform/wayland/waylandbackend.h"
#include "platform/wayland/waylandinput.h"
#include "platform/wayland/waylandkeymap.h"
#include "support/waylandgtktarget.h"
#include "support/waylandtarget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <memory>
#include <string>

namespace {

constexpr int kTimeoutMs = 30000;

// GDK's modifier bits (GdkModifierType) the chords use.
constexpr int kShift = 1 << 0;
constexpr int kControl = 1 << 2;
constexpr int kAlt = 1 << 3;

class GtkTarget : public testsupport::ReportingProcess {
public:
    bool start(QString &error) {
        return ReportingProcess::start(
            QString::fromLatin1(testsupport::kWaylandGtkPython),
            testsupport::waylandGtkArguments(QStringLiteral("events")),
            testsupport::waylandGtkEnvironment(),
            QStringLiteral("the GTK window never got the keyboard focus and its tile"), error);
    }
    // The window ends when its standard input closes.
    ~GtkTarget() {
        process_.closeWriteChannel();
        process_.waitForFinished(5000);
    }
    // The compositor's view, as the window's own wl_keyboard and wl_pointer
    // heard it: "wl held KEYS BUTTONS".
    QString held() {
        const int from = static_cast<int>(lines().size());
        process_.write("held\n");
        return waitFor([](const QString &l) { return l.startsWith(QLatin1String("wl held ")); },
                       kTimeoutMs, from);
    }
};

QString selectTarget() {
    return QStringLiteral("[app_id=\"%1\"]").arg(QLatin1String(testsupport::kWaylandGtkAppId));
}

} // namespace

class WaylandGtkTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void keyChords_data();
    void keyChords();
    void typesEveryCharacterExactly();
    void slowTypingArrivesAsTyped_data();
    void slowTypingArrivesAsTyped();
    void clicksLandOnExactPositions_data();
    void clicksLandOnExactPositions();
    void smoothMoveArrives();
    void nothingHeldAfterReleaseAllOrFocusLeaving();

private:
    // What the compositor holds for the window once it has handled all we
    // sent (the window may still be reading it: compare with QTRY_COMPARE).
    QString heldNow() {
        if (platform::wayland::WaylandInput *input = platform::wayland::waylandInput(*backend_))
            input->sync();
        return target_->held();
    }

    std::unique_ptr<platform::Backend> backend_;
    platform::InputLayer *layer_ = nullptr;
    std::unique_ptr<GtkTarget> target_;
};

void WaylandGtkTest::initTestCase() {
    QVERIFY2(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
             "WAYLAND_DISPLAY is not set: run through ./test.sh (scripts/sway.sh)");
    // Fails, never skips, without GTK for Python (scripts/install-deps.sh).
    QProcess probe;
    probe.start(
        QString::fromLatin1(testsupport::kWaylandGtkPython),
        {QStringLiteral("-c"), QStringLiteral("import gi; gi.require_version('Gtk', '3.0'); "
                                              "from gi.repository import Gtk")});
    QVERIFY2(probe.waitForFinished(kTimeoutMs) && probe.exitCode() == 0,
             "python3-gi and gir1.2-gtk-3.0 are needed: scripts/install-deps.sh");
    std::string error;
    backend_ = platform::createBackend("wayland", error);
    QVERIFY2(error.empty(), error.c_str());
    layer_ = backend_->synthesis();
    QVERIFY(layer_);
}

void WaylandGtkTest::init() {
    QVERIFY(testsupport::swaymsg(
        {QStringLiteral("focus"), QStringLiteral("output"), QStringLiteral("HEADLESS-1")}));
    target_ = std::make_unique<GtkTarget>();
    QString error;
    QVERIFY2(target_->start(error), qPrintable(error));
}

void WaylandGtkTest::cleanup() {
    if (layer_)
        layer_->releaseAll();
    // Whatever a case did, the compositor has nothing of ours held at its end.
    if (target_ && !QTest::currentTestFailed())
        QTRY_COMPARE(heldNow(), QStringLiteral("wl held 0 0"));
    target_.reset();
}

void WaylandGtkTest::cleanupTestCase() {
    backend_.reset();
}

void WaylandGtkTest::keyChords_data() {
    QTest::addColumn<QList<int>>("vks");
    QTest::addColumn<int>("keyval"); // GDK's, as the chord makes it
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("typedBefore"); // different kanji typed first
    QTest::newRow("ctrl+shift+a") << QList<int>{0x11, 0x10, 'A'} << 0x41 << (kControl | kShift)
                                  << 0;
    // The kanji leave the block's last group chosen; a shortcut is pressed
    // in the first all the same.
    QTest::newRow("ctrl+s after kanji from the last group")
        << QList<int>{0x11, 'S'} << 0x73 << kControl << int(platform::wayland::blockSize() - 5);
    QTest::newRow("right ctrl+s") << QList<int>{0xA3, 'S'} << 0x73 << kControl << 0;
    QTest::newRow("alt+f5") << QList<int>{0x12, 0x74} << 0xFFC2 << kAlt << 0;
    QTest::newRow("shift+1") << QList<int>{0xA1, '1'} << 0x21 << kShift << 0;
    QTest::newRow("enter") << QList<int>{0x0D} << 0xFF0D << 0 << 0;
    QTest::newRow("left arrow") << QList<int>{0x25} << 0xFF51 << 0 << 0;
    QTest::newRow("keypad 7") << QList<int>{0x67} << 0xFFB7 << 0 << 0;
    QTest::newRow("oem minus") << QList<int>{0xBD} << 0x2D << 0 << 0;
}

void WaylandGtkTest::keyChords() {
    QFETCH(QList<int>, vks);
    QFETCH(int, keyval);
    QFETCH(int, state);
    QFETCH(int, typedBefore);
    QString kanji;
    for (int i = 0; i < typedBefore; ++i)
        kanji += QChar(char16_t(0x6000 + i));
    layer_->textAhead(reinterpret_cast<const char16_t *>(kanji.utf16()),
                      static_cast<std::size_t>(kanji.size()));
    for (QChar c : kanji) {
        layer_->unicodeDown(c.unicode());
        layer_->unicodeUp(c.unicode());
    }
    QTRY_COMPARE_WITH_TIMEOUT(testsupport::typedText(target_->lines(), 5), kanji, kTimeoutMs);
    for (int vk : vks)
        layer_->keyDown(vk);
    for (auto it = vks.crbegin(); it != vks.crend(); ++it)
        layer_->keyUp(*it);
    const QString press = QStringLiteral("press %1 ").arg(keyval);
    const QString line = target_->waitFor([&](const QString &l) { return l.startsWith(press); });
    QVERIFY2(!line.isEmpty(), qPrintable(target_->dump()));
    const int got = line.split(QLatin1Char(' ')).at(2).toInt();
    QCOMPARE(got & (kShift | kControl | kAlt), state);
    // The chord's modifiers came in the first group, the keyboard's own
    // layout, whichever the text before left chosen (GDK wraps a key's
    // group itself, so the compositor's view tells).
    QString modifiers;
    for (const QString &l : target_->lines())
        if (l.startsWith(QLatin1String("wl modifiers ")))
            modifiers = l;
    QVERIFY2(modifiers.endsWith(QLatin1String(" 0")), qPrintable(modifiers));
    QVERIFY2(target_->waitForLine(QStringLiteral("release %1 %2").arg(keyval).arg(got)),
             qPrintable(target_->dump()));
}

void WaylandGtkTest::typesEveryCharacterExactly() {
    QString text;
    for (char32_t cp = 0x4E00; cp < 0x4E00 + 1000; ++cp) // 1,000 different kanji
        text += QChar(char16_t(cp));
    for (char32_t cp = 0x1F600; cp < 0x1F650; ++cp) // emoji, beyond the BMP
        text += QString::fromUcs4(&cp, 1);
    for (char c = 0x20; c < 0x7F; ++c)
        text += QLatin1Char(c);
    text += QStringLiteral("日本語のテキスト 😀 mixed, again: 一丁七");
    auto *wl = static_cast<platform::wayland::WaylandInput *>(layer_);
    const std::uint64_t uploadsBefore = wl->keymapUploads();
    layer_->textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                      static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        layer_->unicodeDown(c.unicode());
        layer_->unicodeUp(c.unicode());
    }
    QTRY_COMPARE_WITH_TIMEOUT(testsupport::typedText(target_->lines(), 5).size(), text.size(),
                              kTimeoutMs);
    QCOMPARE(testsupport::typedText(target_->lines(), 5), text);
    // Four groups a keymap: 1,000 kanji and the rest need only a few.
    const std::uint64_t uploads = wl->keymapUploads() - uploadsBefore;
    QVERIFY2(uploads >= 1 && uploads <= 6, QByteArray::number(qulonglong(uploads)));
}

void WaylandGtkTest::slowTypingArrivesAsTyped_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pauseMs"); // after each character, as a text step's duration makes
    QTest::newRow("kanji, a pause after each") << QStringLiteral("語本日") << 50;
    QTest::newRow("ASCII and emoji, a short pause") << QStringLiteral("a😀b") << 2;
    QTest::newRow("longer than the key repeat delay") << QStringLiteral("xy") << 800;
}

void WaylandGtkTest::slowTypingArrivesAsTyped() {
    QFETCH(QString, text);
    QFETCH(int, pauseMs);
    // Text announced ahead but typed slowly: each character reaches the
    // window down and up before the next is typed, never held (which would
    // also let the window repeat it).
    layer_->textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                      static_cast<std::size_t>(text.size()));
    QString arrived;
    for (int i = 0; i < text.size(); ++i) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
        const QString ch = text.mid(i, pair ? 2 : 1);
        for (QChar c : ch)
            layer_->unicodeDown(c.unicode());
        for (QChar c : ch)
            layer_->unicodeUp(c.unicode());
        i += pair ? 1 : 0;
        QTest::qWait(pauseMs);
        QTRY_COMPARE_WITH_TIMEOUT(testsupport::typedText(target_->lines(), 5), arrived + ch,
                                  kTimeoutMs);
        QTRY_COMPARE(heldNow(), QStringLiteral("wl held 0 0"));
        arrived += ch;
    }
}

void WaylandGtkTest::clicksLandOnExactPositions_data() {
    testsupport::addClickRows();
}

void WaylandGtkTest::clicksLandOnExactPositions() {
    QFETCH(QString, output);
    QFETCH(int, originX);
    QFETCH(bool, left);
    QFETCH(int, x);
    QFETCH(int, y);
    QVERIFY(
        testsupport::swaymsg({selectTarget(), QStringLiteral("move"), QStringLiteral("container"),
                              QStringLiteral("to"), QStringLiteral("output"), output}));
    const bool first = output == QLatin1String("HEADLESS-1");
    QVERIFY2(
        testsupport::fillsTile(*layer_, *target_, originX, first ? 1024 : 640, first ? 768 : 480),
        qPrintable(target_->dump()));
    layer_->setCursorPos(originX + x, y);
    const platform::MouseButton button =
        left ? platform::MouseButton::Left : platform::MouseButton::Right;
    layer_->mouseDown(button);
    layer_->mouseUp(button);
    const int gdkButton = left ? 1 : 3;
    QVERIFY2(target_->waitForLine(QStringLiteral("down %1 %2 %3").arg(gdkButton).arg(x).arg(y)),
             qPrintable(target_->dump()));
    QVERIFY(target_->waitForLine(QStringLiteral("up %1 %2 %3").arg(gdkButton).arg(x).arg(y)));
}

void WaylandGtkTest::smoothMoveArrives() {
    QVERIFY(testsupport::fillsTile(*layer_, *target_, 0, 1024, 768));
    layer_->setCursorPos(100, 100);
    const platform::Point from = layer_->cursorPos();
    for (int i = 1; i <= 50; ++i)
        layer_->setCursorPos(from.x + (600 - from.x) * i / 50, from.y + (400 - from.y) * i / 50);
    // GDK passes on the last motion of a frame; the compositor sends each.
    QVERIFY2(target_->waitForLine(QStringLiteral("move 600 400")), qPrintable(target_->dump()));
    QVERIFY2(target_->waitForLine(QStringLiteral("wl motion 600 400")),
             qPrintable(target_->dump()));
    int moves = 0, lastX = 0, lastY = 0;
    for (const QString &l : target_->lines()) {
        if (!l.startsWith(QLatin1String("wl motion ")))
            continue;
        const QStringList p = l.split(QLatin1Char(' '));
        const int mx = p.at(2).toInt(), my = p.at(3).toInt();
        QVERIFY2(mx >= lastX && my >= lastY, qPrintable(l)); // never backwards
        lastX = mx;
        lastY = my;
        ++moves;
    }
    QVERIFY2(moves >= 10, QByteArray::number(moves));
}

void WaylandGtkTest::nothingHeldAfterReleaseAllOrFocusLeaving() {
    QVERIFY(testsupport::fillsTile(*layer_, *target_, 0, 1024, 768));
    layer_->setCursorPos(300, 300);
    layer_->keyDown(0x11);
    layer_->keyDown(0x10);
    layer_->keyDown('K');
    layer_->textAhead(u"語", 1);
    layer_->unicodeDown(u'語');
    layer_->mouseDown(platform::MouseButton::Left);
    QVERIFY2(target_->waitForLine(QStringLiteral("down 1 300 300")), qPrintable(target_->dump()));
    // The compositor holds four keys and the button for the window.
    QTRY_COMPARE(heldNow(), QStringLiteral("wl held 4 1"));
    layer_->releaseAll();
    QTRY_COMPARE(heldNow(), QStringLiteral("wl held 0 0"));
    // The focus leaves and comes back: the keys the compositor says are down
    // when it gives the window the keyboard again are none.
    target_->clear();
    QVERIFY(testsupport::swaymsg(
        {QStringLiteral("focus"), QStringLiteral("output"), QStringLiteral("HEADLESS-2")}));
    QVERIFY2(target_->waitForLine(QStringLiteral("wl leave")), qPrintable(target_->dump()));
    QVERIFY(testsupport::swaymsg(
        {QStringLiteral("focus"), QStringLiteral("output"), QStringLiteral("HEADLESS-1")}));
    QVERIFY2(target_->waitForLine(QStringLiteral("wl enter 0")), qPrintable(target_->dump()));
    // And a plain key afterwards comes without modifiers.
    layer_->keyDown('Q');
    layer_->keyUp('Q');
    QVERIFY2(target_->waitForLine(QStringLiteral("press %1 0 0071 0").arg(0x71)),
             qPrintable(target_->dump()));
}

QTEST_GUILESS_MAIN(WaylandGtkTest)

#include "wayland_gtk.moc"
