// What the X11 layer sends arrives in a real Qt window: keys, key
// combinations, text of any script, clicks at a position set through the
// layer; and "is down" follows what the layer holds.

#include "platform/inputlayer.h"
#include "platform/x11/x11input.h"
#include "support/useractions.h"
#include "support/xserver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

using platform::MouseButton;

namespace {

// Records the key and mouse events it receives.
class Recorder : public QWidget {
public:
    struct Key {
        QEvent::Type type;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        bool autoRepeat;
        quint32 scanCode;
    };
    struct Click {
        Qt::MouseButton button;
        QPoint global;
    };
    QList<Key> keys;
    QList<Click> clicks;

    int presses(int key) const {
        int n = 0;
        for (const Key &k : keys)
            n += k.type == QEvent::KeyPress && k.key == key;
        return n;
    }
    int releases(int key) const {
        int n = 0;
        for (const Key &k : keys)
            n += k.type == QEvent::KeyRelease && k.key == key;
        return n;
    }

protected:
    void keyPressEvent(QKeyEvent *e) override {
        keys.append({e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(),
                     e->nativeScanCode()});
    }
    void keyReleaseEvent(QKeyEvent *e) override {
        keys.append({e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(),
                     e->nativeScanCode()});
    }
    void mousePressEvent(QMouseEvent *e) override {
        clicks.append({e->button(), e->globalPosition().toPoint()});
    }
};

// Types a string as the run does, one code unit down and up at a time from a
// worker thread, while this (GUI) thread goes on taking the events.
// `announced`, if not null, is told to the layer as the text ahead first.
void typeFromThread(platform::InputLayer &layer, const QString &text,
                    const QString *announced = nullptr) {
    std::atomic<bool> done{false};
    const QString ahead = announced ? *announced : QString();
    std::thread worker([&layer, &done, text, ahead] {
        if (!ahead.isEmpty())
            layer.textAhead(reinterpret_cast<const char16_t *>(ahead.utf16()),
                            static_cast<std::size_t>(ahead.size()));
        for (QChar c : text) {
            layer.unicodeDown(c.unicode());
            layer.unicodeUp(c.unicode());
        }
        done = true;
    });
    while (!done)
        QTest::qWait(5);
    worker.join();
}

} // namespace

class X11SynthesisTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void letter();
    void combination();
    void namedKeys_data();
    void namedKeys();
    void heldKeyDoesNotRepeat();
    void sharedKeyStaysDown_data();
    void sharedKeyStaysDown();
    void isDownFollowsKeys_data();
    void isDownFollowsKeys();
    void isDownFollowsButtons();
    void unknownCodesAreIgnored();
    void mixedText();
    void capitalsCarryShiftWithoutItsKey();
    void japaneseText();
    void textReachesABusyClient();
    void bindingsOutliveAnotherClientsMapChange();
    void textReachesAStalledTkWindow();
    void announcedText_data();
    void announcedText();
    void surrogatePairFromTwoThreads();
    void lineBreaksFromTwoThreads();
    void textWithCapsLockOn();
    void concurrentCallers();
    void followsLayoutChange();
    void clicksAtPositionSet();
    void pointerStaysOnTheScreen_data();
    void pointerStaysOnTheScreen();
    void secondInstanceRestoresTheUsersRepeat();
    void releaseAllLetsGo();

private:
    std::unique_ptr<platform::InputLayer> layer_;
    std::unique_ptr<Recorder> recorder_;
};

void X11SynthesisTest::initTestCase() {
    std::string error;
    layer_ = platform::x11::X11Input::create(error);
    QVERIFY2(layer_, error.c_str());
    recorder_ = std::make_unique<Recorder>();
    recorder_->setFocusPolicy(Qt::StrongFocus);
    recorder_->setGeometry(100, 100, 300, 200);
    QVERIFY(testsupport::activate(*recorder_));
}

void X11SynthesisTest::cleanupTestCase() {
    if (layer_)
        layer_->releaseAll();
    recorder_.reset();
    layer_.reset();
}

void X11SynthesisTest::init() {
    if (recorder_ && !recorder_->isActiveWindow())
        QVERIFY(testsupport::activate(*recorder_));
    QTest::qWait(20);
    recorder_->keys.clear();
    recorder_->clicks.clear();
}

void X11SynthesisTest::letter() {
    layer_->keyDown('A');
    layer_->keyUp('A');
    QTRY_COMPARE(recorder_->releases(Qt::Key_A), 1);
    QCOMPARE(recorder_->presses(Qt::Key_A), 1);
    QCOMPARE(recorder_->keys.first().text, QStringLiteral("a"));
    QCOMPARE(recorder_->keys.first().modifiers, Qt::NoModifier);
}

void X11SynthesisTest::combination() {
    // As the run's Key action sends it: generic modifiers, then the key.
    for (int vk : {0x11, 0x10, int('A')})
        layer_->keyDown(vk);
    for (int vk : {int('A'), 0x10, 0x11})
        layer_->keyUp(vk);
    QTRY_COMPARE(recorder_->releases(Qt::Key_Control), 1);
    QCOMPARE(recorder_->presses(Qt::Key_A), 1);
    for (const Recorder::Key &k : recorder_->keys)
        if (k.type == QEvent::KeyPress && k.key == Qt::Key_A)
            QCOMPARE(k.modifiers, Qt::ControlModifier | Qt::ShiftModifier);
    // The modifiers went down before the letter and up after it.
    QCOMPARE(recorder_->keys.first().key, int(Qt::Key_Control));
    QCOMPARE(recorder_->keys.last().key, int(Qt::Key_Control));
}

void X11SynthesisTest::namedKeys_data() {
    QTest::addColumn<int>("vk");
    QTest::addColumn<int>("qtKey");
    QTest::newRow("Enter") << 0x0D << int(Qt::Key_Return);
    QTest::newRow("F5") << 0x74 << int(Qt::Key_F5);
    QTest::newRow("Esc") << 0x1B << int(Qt::Key_Escape);
    QTest::newRow("Home") << 0x24 << int(Qt::Key_Home);
    QTest::newRow("Numpad +") << 0x6B << int(Qt::Key_Plus);
    QTest::newRow("OEM /") << 0xBF << int(Qt::Key_Slash);
}

void X11SynthesisTest::namedKeys() {
    QFETCH(int, vk);
    QFETCH(int, qtKey);
    layer_->keyDown(vk);
    layer_->keyUp(vk);
    QTRY_COMPARE(recorder_->releases(qtKey), 1);
    QCOMPARE(recorder_->presses(qtKey), 1);
}

void X11SynthesisTest::heldKeyDoesNotRepeat() {
    // The core keyboard repeats keys too, with the controls it copied from
    // the device whose events it last took; `xset r on` (or another XTest
    // client before us) leaves it on while the XTEST device is what types.
    testsupport::XServer server;
    QVERIFY(server.ok());
    server.setKeyboardsRepeat(true);
    // Well past the server's repeat delay (660 ms by default).
    layer_->keyDown('B');
    QTest::qWait(1200);
    QVERIFY(layer_->isDown('B'));
    // Only the XTest device stopped repeating, and only while a key is held;
    // the user's keyboards repeat as they did.
    std::map<std::string, bool> repeat = server.keyboardsRepeat();
    QVERIFY(!repeat.empty());
    for (const auto &keyboard : repeat)
        QVERIFY2(keyboard.second == (keyboard.first.find("XTEST") == std::string::npos),
                 keyboard.first.c_str());
    layer_->keyUp('B');
    QTRY_COMPARE(recorder_->releases(Qt::Key_B), 1);
    QCOMPARE(recorder_->presses(Qt::Key_B), 1);
    repeat = server.keyboardsRepeat();
    for (const auto &keyboard : repeat)
        QVERIFY2(keyboard.second, keyboard.first.c_str());
}

// A key two callers hold stays down until both let go (the second press
// comes up and goes down again, so it is seen); a character typed on
// a held key's keycode goes through another keycode and leaves it held; a
// key pressed while another thread's character is down on it waits for the
// character. The A events the window got: "+1" a press through the first
// keycode seen, "-2" a release through the second, and so on.
void X11SynthesisTest::sharedKeyStaysDown_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("held by two callers") << "keys" << QStringList{"+1", "-1", "+1", "-1"};
    QTest::newRow("typed while held") << "type" << QStringList{"+1", "+2", "-2", "-1"};
    QTest::newRow("pressed while a character is down")
        << "press" << QStringList{"+1", "-1", "+1", "-1"};
}

void X11SynthesisTest::sharedKeyStaysDown() {
    QFETCH(QString, scenario);
    QFETCH(QStringList, events);
    if (scenario == QLatin1String("keys")) {
        layer_->keyDown('A');
        layer_->keyDown('A');
        layer_->keyUp('A');
        QTest::qWait(100);
        QVERIFY(layer_->isDown('A'));
        layer_->keyUp('A');
    } else if (scenario == QLatin1String("type")) {
        layer_->keyDown('A');
        typeFromThread(*layer_, QStringLiteral("a"));
        QTRY_COMPARE(recorder_->presses(Qt::Key_A), 2);
        QVERIFY(layer_->isDown('A'));
        layer_->keyUp('A');
    } else {
        std::atomic<bool> pressed{false};
        std::thread typist([this, &pressed] {
            layer_->unicodeDown(u'a');
            pressed = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            layer_->unicodeUp(u'a');
        });
        while (!pressed)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        layer_->keyDown('A'); // waits for the character to come up
        typist.join();
        QTest::qWait(50);
        QVERIFY(layer_->isDown('A'));
        layer_->keyUp('A');
    }
    QTRY_COMPARE(recorder_->releases(Qt::Key_A),
                 events.count(QStringLiteral("-1")) + events.count(QStringLiteral("-2")));
    QTest::qWait(50);
    QList<quint32> codes;
    QStringList seen;
    for (const Recorder::Key &k : recorder_->keys) {
        // A release and a press of one keycode at once read to Qt as a
        // repeat, but they are both there.
        if (k.key != Qt::Key_A)
            continue;
        if (!codes.contains(k.scanCode))
            codes.append(k.scanCode);
        seen << QStringLiteral("%1%2")
                    .arg(k.type == QEvent::KeyPress ? '+' : '-')
                    .arg(codes.indexOf(k.scanCode) + 1);
    }
    QCOMPARE(seen, events);
    QVERIFY(!layer_->isDown('A'));
}

void X11SynthesisTest::isDownFollowsKeys_data() {
    QTest::addColumn<int>("pressed");
    QTest::addColumn<QList<int>>("down");
    QTest::addColumn<QList<int>>("up");
    QTest::newRow("Ctrl") << 0x11 << QList<int>{0x11, 0xA2} << QList<int>{0xA3, 0x10, 0x12};
    QTest::newRow("right Shift") << 0xA1 << QList<int>{0x10, 0xA1} << QList<int>{0xA0, 0x11};
    QTest::newRow("Alt") << 0x12 << QList<int>{0x12, 0xA4} << QList<int>{0xA5, 0x10};
    QTest::newRow("letter") << int('S') << QList<int>{'S'} << QList<int>{'A', 0x10};
    QTest::newRow("F24") << 0x87 << QList<int>{0x87} << QList<int>{0x86};
}

void X11SynthesisTest::isDownFollowsKeys() {
    QFETCH(int, pressed);
    QFETCH(QList<int>, down);
    QFETCH(QList<int>, up);
    layer_->keyDown(pressed);
    for (int vk : down)
        QVERIFY2(layer_->isDown(vk), qPrintable(QString::number(vk)));
    for (int vk : up)
        QVERIFY2(!layer_->isDown(vk), qPrintable(QString::number(vk)));
    layer_->keyUp(pressed);
    for (int vk : down)
        QVERIFY2(!layer_->isDown(vk), qPrintable(QString::number(vk)));
}

void X11SynthesisTest::isDownFollowsButtons() {
    const QPoint inside = recorder_->mapToGlobal(QPoint(150, 100));
    layer_->setCursorPos(inside.x(), inside.y());
    QVERIFY(!layer_->isDown(platform::kVkLButton));
    layer_->mouseDown(MouseButton::Left);
    QVERIFY(layer_->isDown(platform::kVkLButton));
    QVERIFY(!layer_->isDown(platform::kVkRButton));
    layer_->mouseUp(MouseButton::Left);
    QVERIFY(!layer_->isDown(platform::kVkLButton));
    layer_->mouseDown(MouseButton::Right);
    QVERIFY(layer_->isDown(platform::kVkRButton));
    layer_->mouseUp(MouseButton::Right);
    QVERIFY(!layer_->isDown(platform::kVkRButton));
}

void X11SynthesisTest::unknownCodesAreIgnored() {
    for (int vk : {0, 0x07, 0xE7, 0xFF, 5000}) {
        layer_->keyDown(vk);
        QVERIFY(!layer_->isDown(vk));
        layer_->keyUp(vk);
    }
    layer_->keyDown('C'); // still working afterwards
    layer_->keyUp('C');
    QTRY_COMPARE(recorder_->releases(Qt::Key_C), 1);
    QCOMPARE(recorder_->keys.size(), 2);
}

void X11SynthesisTest::mixedText() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    // Keys of the map with and without Shift, characters bound for the
    // moment, a surrogate pair, a Latin-1 letter the US map lacks, and CR LF
    // as one line break.
    const QString text = QStringLiteral("Aa1!あいう😀é\r\n");
    typeFromThread(*layer_, text);
    QTRY_COMPARE(edit.toPlainText(), QStringLiteral("Aa1!あいう😀é\n"));
    typeFromThread(*layer_, QStringLiteral("z\n"));
    QTRY_COMPARE(edit.toPlainText(), QStringLiteral("Aa1!あいう😀é\nz\n"));
}

void X11SynthesisTest::capitalsCarryShiftWithoutItsKey() {
    // Shift is latched for the one key press that needs it: the window gets
    // no Shift key events, and the letter after a capital is small again.
    typeFromThread(*layer_, QStringLiteral("AbC"));
    QTRY_COMPARE(recorder_->presses(Qt::Key_C), 1);
    QStringList texts;
    QList<bool> shifted;
    for (const Recorder::Key &k : recorder_->keys)
        if (k.type == QEvent::KeyPress) {
            texts << k.text;
            shifted << k.modifiers.testFlag(Qt::ShiftModifier);
        }
    QCOMPARE(texts, QStringList({"A", "b", "C"}));
    QCOMPARE(shifted, QList<bool>({true, false, true}));
    QCOMPARE(recorder_->presses(Qt::Key_Shift), 0);
}

void X11SynthesisTest::japaneseText() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    // 300 characters, most of them different, so that the spare keycodes
    // are all used and rebound while typing runs at full speed.
    QString text;
    for (int i = 0; i < 300; ++i) {
        if (i % 3 == 0)
            text += QChar(0x3041 + (i * 5) % 86); // hiragana
        else if (i % 3 == 1)
            text += QChar(0x30A1 + (i * 7) % 90); // katakana
        else
            text += QChar(0x4E00 + i * 13); // kanji
    }
    typeFromThread(*layer_, text);
    QTRY_COMPARE_WITH_TIMEOUT(edit.toPlainText().size(), text.size(), 20000);
    QCOMPARE(edit.toPlainText(), text);
}

void X11SynthesisTest::announcedText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("announced");
    QString kanji;
    for (int i = 0; i < 600; ++i)
        kanji += QChar(0x4E00 + i * 17);
    QTest::newRow("600 different kanji, many blocks") << kanji << kanji;
    // Letters of both cases the map lacks go one at a time between blocks,
    // and must come out in the right case whatever the blocks bound.
    QString mixed;
    for (int i = 0; i < 120; ++i)
        mixed += QString(QChar(0x4E00 + i * 5)) + (i % 2 ? QChar(0xE9) : QChar(0xC9)) +
                 QChar(0x3041 + i % 80) + QChar('a' + i % 26);
    QTest::newRow("kanji among cased letters") << mixed << mixed;
    // Typing that leaves the announced text must still type what it is told.
    QTest::newRow("typed text differs from the announcement")
        << kanji.mid(300, 100) + kanji.left(50) << kanji.left(200);
    QString pairs;
    for (int i = 0; i < 100; ++i)
        pairs += QString::fromUcs4(std::u32string(1, U'\U00020000' + char32_t(i * 3)).c_str()) +
                 QChar(0x4E00 + i) + QStringLiteral("\r\n");
    QString expected = pairs;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTest::newRow("surrogate pairs and CR LF") << pairs << pairs;
}

void X11SynthesisTest::announcedText() {
    QFETCH(QString, text);
    QFETCH(QString, announced);
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    typeFromThread(*layer_, text, &announced);
    QString expected = text;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTRY_COMPARE_WITH_TIMEOUT(edit.toPlainText().size(), expected.size(), 20000);
    QCOMPARE(edit.toPlainText(), expected);
}

void X11SynthesisTest::textReachesABusyClient() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    // Far more different characters than there are spare keycodes, while the
    // window's thread stalls now and then for longer than any fixed pause: a
    // keycode rebound before the window read its key would type the wrong
    // character, or none.
    QString text;
    for (int i = 0; i < 150; ++i)
        text += QChar(0x4E00 + i * 11);
    std::atomic<bool> done{false};
    std::thread worker([this, &done, text] {
        for (QChar c : text) {
            layer_->unicodeDown(c.unicode());
            layer_->unicodeUp(c.unicode());
        }
        done = true;
    });
    for (int stall = 0; stall < 3 && !done; ++stall) {
        QTest::qWait(40);
        QThread::msleep(600);
    }
    while (!done)
        QTest::qWait(5);
    worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(edit.toPlainText().size(), text.size(), 20000);
    QCOMPARE(edit.toPlainText(), text);
}

void X11SynthesisTest::bindingsOutliveAnotherClientsMapChange() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    testsupport::XServer other;
    QVERIFY(other.ok());
    const int f12 = other.keycodeFor("F12");
    QVERIFY(f12 > 0);
    // 30 kanji, then the same backwards: the first block binds them all, on
    // both levels of the spare keycodes, and the rest only reuses them.
    // Another client changes the map in between, while the window has read
    // none of it: our layer reads the map again and must still know every
    // binding it made, or it would bind them again in another order before
    // the window read the keys sent through them.
    QString text;
    for (int i = 0; i < 30; ++i)
        text += QChar(0x4E00 + i * 7);
    for (int i = 29; i >= 0; --i)
        text += QChar(0x4E00 + i * 7);
    std::atomic<bool> done{false};
    std::thread worker([this, &done, &other, f12, text] {
        layer_->textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
        for (int i = 0; i < text.size(); ++i) {
            if (i == 30)
                other.rewriteKeyRow(f12);
            layer_->unicodeDown(text[i].unicode());
            layer_->unicodeUp(text[i].unicode());
        }
        done = true;
    });
    QThread::msleep(800);
    while (!done)
        QTest::qWait(5);
    worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(edit.toPlainText().size(), text.size(), 20000);
    QCOMPARE(edit.toPlainText(), text);
}

void X11SynthesisTest::textReachesAStalledTkWindow() {
    const QString wish = QStandardPaths::findExecutable(QStringLiteral("wish"));
    if (wish.isEmpty())
        QSKIP("wish (Tk) is not installed");
    // Tk answers no ping. Its text widget stalls once, after 100
    // characters, for far longer than the pause a client that cannot be
    // asked is given; the keys after it must still be read with their own
    // bindings.
    QTemporaryFile script;
    QVERIFY(script.open());
    script.write("fconfigure stdout -encoding utf-8\n"
                 "text .t; pack .t; focus -force .t; update\n"
                 "set stalled 0\n"
                 "bind .t <KeyPress> {if {!$stalled && [.t count -chars 1.0 end] > 100} {\n"
                 "  set stalled 1; after 700}}\n"
                 "fileevent stdin readable {if {[gets stdin line] < 0} exit\n"
                 "  puts [.t get 1.0 end-1c]; flush stdout}\n"
                 "puts ready; flush stdout\n");
    script.close();
    // Tk takes the focus at the server's time, which Qt's own request for
    // it would lose against: given back whichever way the test ends.
    const auto refocus = qScopeGuard([this] { testsupport::XServer().focus(recorder_->winId()); });
    QProcess tk;
    tk.start(wish, {script.fileName()});
    QVERIFY(tk.waitForReadyRead(10000));
    QCOMPARE(tk.readLine().trimmed(), QByteArray("ready"));
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QChar(0x4E00 + i * 13);
    typeFromThread(*layer_, text, &text);
    QString got;
    for (int tries = 0; tries < 100 && got.size() < text.size(); ++tries) {
        tk.write("dump\n");
        while (!tk.canReadLine())
            QVERIFY(tk.waitForReadyRead(5000));
        got = QString::fromUtf8(tk.readLine()).trimmed();
        if (got.size() < text.size())
            QThread::msleep(100);
    }
    tk.closeWriteChannel();
    if (!tk.waitForFinished(3000))
        tk.kill();
    QCOMPARE(got, text);
}

void X11SynthesisTest::surrogatePairFromTwoThreads() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    // Each thread's halves belong together, whatever the other thread sends
    // in between.
    const QString a = QString(20, QChar(u'x'));
    const QString b = QStringLiteral("😀").repeated(20);
    std::atomic<int> done{0};
    std::thread first([&] {
        for (QChar c : a) {
            layer_->unicodeDown(c.unicode());
            layer_->unicodeUp(c.unicode());
        }
        ++done;
    });
    std::thread second([&] {
        for (QChar c : b) {
            layer_->unicodeDown(c.unicode());
            layer_->unicodeUp(c.unicode());
        }
        ++done;
    });
    while (done < 2)
        QTest::qWait(5);
    first.join();
    second.join();
    QTRY_COMPARE(edit.toPlainText().size(), a.size() + b.size());
    const QString got = edit.toPlainText();
    QCOMPARE(got.count(QStringLiteral("😀")), 20);
    QCOMPARE(got.count(QChar(u'x')), 20);
}

void X11SynthesisTest::lineBreaksFromTwoThreads() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    // Two threads take turns code unit by code unit, each after announcing
    // its own text: a pair's halves and a CR LF of one thread must come out
    // whole whatever the other sends in between (a CR of one must not
    // swallow the other's LF, a CR of one must not drop the other's pair).
    const QString texts[2] = {QStringLiteral("😀\r\n").repeated(10),
                              QStringLiteral("\r\n😁").repeated(10)};
    std::mutex mutex;
    std::condition_variable turnChanged;
    int turn = 0;
    bool finished[2] = {false, false};
    auto typist = [&](int me) {
        const QString &text = texts[me];
        layer_->textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
        for (QChar c : text) {
            std::unique_lock<std::mutex> lock(mutex);
            turnChanged.wait(lock, [&] { return turn == me || finished[1 - me]; });
            layer_->unicodeDown(c.unicode());
            layer_->unicodeUp(c.unicode());
            turn = 1 - me;
            turnChanged.notify_all();
        }
        std::lock_guard<std::mutex> lock(mutex);
        finished[me] = true;
        turnChanged.notify_all();
    };
    std::thread first(typist, 0);
    std::thread second(typist, 1);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (finished[0] && finished[1])
                break;
        }
        QTest::qWait(5);
    }
    first.join();
    second.join();
    QTRY_COMPARE(edit.toPlainText().size(), 20 * 2 + 20);
    const QString got = edit.toPlainText();
    QCOMPARE(got.count(QChar(u'\n')), 20);
    QCOMPARE(got.count(QStringLiteral("😀")), 10);
    QCOMPARE(got.count(QStringLiteral("😁")), 10);
}

void X11SynthesisTest::textWithCapsLockOn() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    layer_->keyDown(0x14);
    layer_->keyUp(0x14);
    QTest::qWait(100);
    // Text is typed as it is, whatever the lock state (as on Windows).
    typeFromThread(*layer_, QStringLiteral("aB1é"));
    layer_->keyDown(0x14);
    layer_->keyUp(0x14);
    QTRY_COMPARE(edit.toPlainText(), QStringLiteral("aB1é"));
}

void X11SynthesisTest::concurrentCallers() {
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    // The run's workers call the layer at once: typing, moving the pointer
    // and asking for keys must not disturb one another.
    const QString text = QStringLiteral("concurrent テキスト 42");
    std::atomic<bool> stop{false};
    std::atomic<int> misplaced{0};
    std::thread mover([&] {
        const QPoint p = edit.mapToGlobal(QPoint(10, 10));
        while (!stop) {
            layer_->setCursorPos(p.x(), p.y());
            const platform::Point got = layer_->cursorPos();
            misplaced += got.x != p.x() || got.y != p.y();
        }
    });
    std::thread asker([&] {
        while (!stop)
            layer_->isDown(0x10);
    });
    typeFromThread(*layer_, text);
    stop = true;
    mover.join();
    asker.join();
    QTRY_COMPARE(edit.toPlainText(), text);
    QCOMPARE(misplaced.load(), 0);
}

void X11SynthesisTest::followsLayoutChange() {
    if (QStandardPaths::findExecutable(QStringLiteral("setxkbmap")).isEmpty())
        QSKIP("setxkbmap is not installed");
    QPlainTextEdit edit;
    edit.setGeometry(450, 100, 500, 300);
    QVERIFY(testsupport::activate(edit));
    typeFromThread(*layer_, QStringLiteral("é")); // bound for a moment under the US map
    layer_->keyDown('Y');
    // Let the client read both under the US map before it changes; otherwise
    // the switch can overtake them in the client's own queue.
    QTRY_COMPARE(edit.toPlainText(), QStringLiteral("éy"));
    // The German map swaps Y and Z. Text and keys must follow the map in
    // force now, not the one the layer read at start, a binding the new map
    // wiped out must be made again, and a key held across the switch must be
    // released where it was pressed.
    struct UsLayoutAfterwards {
        ~UsLayoutAfterwards() { QProcess::execute(QStringLiteral("setxkbmap"), {"us"}); }
    } restore;
    QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("de")}), 0);
    QTest::qWait(100);
    layer_->keyUp('Y');
    QVERIFY(!layer_->isDown('Z')); // the US Y key is the German Z
    typeFromThread(*layer_, QStringLiteral("yzé"));
    layer_->keyDown('Y');
    layer_->keyUp('Y');
    QTRY_COMPARE(edit.toPlainText(), QStringLiteral("éyyzéy"));
}

void X11SynthesisTest::clicksAtPositionSet() {
    const QPoint target = recorder_->mapToGlobal(QPoint(37, 53));
    layer_->setCursorPos(target.x(), target.y());
    const platform::Point p = layer_->cursorPos();
    QCOMPARE(QPoint(p.x, p.y), target);
    layer_->mouseDown(MouseButton::Left);
    layer_->mouseUp(MouseButton::Left);
    const QPoint second = recorder_->mapToGlobal(QPoint(211, 170));
    layer_->setCursorPos(second.x(), second.y());
    layer_->mouseDown(MouseButton::Right);
    layer_->mouseUp(MouseButton::Right);
    QTRY_COMPARE(recorder_->clicks.size(), 2);
    QCOMPARE(recorder_->clicks[0].button, Qt::LeftButton);
    QCOMPARE(recorder_->clicks[0].global, target);
    QCOMPARE(recorder_->clicks[1].button, Qt::RightButton);
    QCOMPARE(recorder_->clicks[1].global, second);
}

void X11SynthesisTest::pointerStaysOnTheScreen_data() {
    // Far positions wrap round in the 16-bit coordinates of the protocol.
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    const int right = screen.width() - 1, bottom = screen.height() - 1;
    QTest::addColumn<QPoint>("asked");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("far right") << QPoint(40000, 100) << QPoint(right, 100);
    QTest::newRow("far below") << QPoint(120, 70000) << QPoint(120, bottom);
    QTest::newRow("left of the screen") << QPoint(-40000, 50) << QPoint(0, 50);
    QTest::newRow("above and right") << QPoint(screen.width(), -1) << QPoint(right, 0);
    QTest::newRow("inside") << QPoint(321, 123) << QPoint(321, 123);
}

void X11SynthesisTest::pointerStaysOnTheScreen() {
    QFETCH(QPoint, asked);
    QFETCH(QPoint, expected);
    layer_->setCursorPos(asked.x(), asked.y());
    const platform::Point p = layer_->cursorPos();
    QCOMPARE(QPoint(p.x, p.y), expected);
}

void X11SynthesisTest::secondInstanceRestoresTheUsersRepeat() {
    testsupport::XServer server;
    QVERIFY(server.ok());
    for (bool users : {true, false}) {
        server.setKeyboardsRepeat(users);
        std::string error;
        std::unique_ptr<platform::InputLayer> second = platform::x11::X11Input::create(error);
        QVERIFY2(second, error.c_str());
        // isDown's round trip has each layer's requests at the server before we look.
        layer_->keyDown(0x10);
        QVERIFY(layer_->isDown(0x10));
        QVERIFY(!server.xtestRepeats());
        // The second instance finds repeat off: the first one's doing, not the user's.
        second->keyDown(0x11);
        QVERIFY(second->isDown(0x11));
        layer_->keyUp(0x10);
        second->keyUp(0x11);
        QVERIFY(!layer_->isDown(0x10) && !second->isDown(0x11));
        QCOMPARE(server.xtestRepeats(), users);
        // Ending while holding a key restores it too.
        second->keyDown('Q');
        second.reset();
        QCOMPARE(server.xtestRepeats(), users);
    }
    server.setKeyboardsRepeat(true);
}

void X11SynthesisTest::releaseAllLetsGo() {
    const QPoint inside = recorder_->mapToGlobal(QPoint(150, 100));
    layer_->setCursorPos(inside.x(), inside.y());
    layer_->keyDown(0x11);
    layer_->keyDown('D');
    layer_->mouseDown(MouseButton::Left);
    layer_->unicodeDown(u'ぬ');
    QVERIFY(layer_->isDown(0x11) && layer_->isDown('D') && layer_->isDown(platform::kVkLButton));
    layer_->releaseAll();
    QVERIFY(!layer_->isDown(0x11));
    QVERIFY(!layer_->isDown('D'));
    QVERIFY(!layer_->isDown(platform::kVkLButton));
    layer_->releaseAll(); // harmless a second time
    QTRY_COMPARE(recorder_->releases(Qt::Key_D), 1);
}

QTEST_MAIN(X11SynthesisTest)
#include "x11_synthesis.moc"
