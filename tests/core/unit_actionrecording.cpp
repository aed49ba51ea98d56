// Turning streams of raw input events into pages: typing runs, chords,
// clicks, drags, modifiers in odd orders, repeats, the stop chord and the
// rhythm a replay keeps.

#include "core/actionrecording.h"

#include <QtTest>

using platform::RawInputEvent;
using Type = RawInputEvent::Type;

namespace {

// A stream written as "TIME EVENT" items separated by ';':
//   d65:a  key 65 down typing "a" (no ":" types nothing)   u65  key 65 up
//   L10,20 left button down at (10, 20)   l10,20 left up   R / r the right button
//   L? a button where the system does not say where the pointer is
std::vector<RawInputEvent> stream(const QString &script) {
    std::vector<RawInputEvent> events;
    for (const QString &item : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        // Only leading blanks go: a typed space ends an item ("d32: ").
        const QString trimmed = item.mid(item.indexOf(QRegularExpression(QStringLiteral("\\S"))));
        const int blank = trimmed.indexOf(QLatin1Char(' '));
        RawInputEvent e;
        e.timeMs = trimmed.left(blank).toLongLong();
        const QString what = trimmed.mid(blank + 1);
        const QChar c = what.at(0);
        const QString rest = what.mid(1);
        if (c == QLatin1Char('d') || c == QLatin1Char('u')) {
            e.type = c == QLatin1Char('d') ? Type::KeyDown : Type::KeyUp;
            const int colon = rest.indexOf(QLatin1Char(':'));
            e.vk = rest.left(colon).toInt();
            if (colon >= 0)
                e.text = rest.mid(colon + 1).toStdU16String();
        } else {
            e.type = c.isUpper() ? Type::ButtonDown : Type::ButtonUp;
            e.button = c.toLower() == QLatin1Char('l') ? platform::MouseButton::Left
                                                       : platform::MouseButton::Right;
            const QStringList xy = rest.split(QLatin1Char(','));
            e.pos = {xy.value(0).toInt(), xy.value(1).toInt()};
            e.hasPos = rest != QLatin1String("?");
        }
        events.push_back(e);
    }
    return events;
}

// One text per page: "command elements / condition elements".
QStringList pageTexts(const actionrecording::RecordedPages &pages) {
    QStringList out;
    for (int i = 0; i < pages.commands.size(); ++i)
        out << pages.commands.at(i).join(QLatin1Char('|')) + QStringLiteral(" / ") +
                   pages.conditions.value(i).join(QLatin1Char('|'));
    return out;
}

QString wait(const char *seconds) {
    return QStringLiteral(" / 終わるまで待つ|") + QLatin1String(seconds);
}

} // namespace

class ActionRecordingTest : public QObject {
    Q_OBJECT

private slots:
    void pages_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("typing then Enter")
            << "0 d65:a; 50 u65; 100 d66:b; 180 u66; 500 d13; 560 u13"
            << QStringList{"入力|ab|0.18" + wait("0.32"), "キー|13,0|0.06" + wait("0")};
        QTest::newRow("left click")
            << "0 L100,200; 120 l101,200"
            << QStringList{"マウスポインター|100|200" + wait("0"), "クリック|左|0.12" + wait("0")};
        QTest::newRow("right click, then a drag is left out")
            << "0 R5,5; 30 r5,5; 100 L0,0; 200 l50,0"
            << QStringList{"マウスポインター|5|5" + wait("0"), "クリック|右|0.03" + wait("0")};
        QTest::newRow("shifted letter, Shift released first")
            << "0 d160; 10 d65:A; 20 u160; 40 u65; 100 d66:b; 120 u66"
            << QStringList{"入力|Ab|0.11" + wait("0")};
        QTest::newRow("Ctrl+A, Ctrl released before A")
            << "0 d162; 50 d65; 100 u162; 130 u65" << QStringList{"キー|65,2|0.08" + wait("0")};
        QTest::newRow("right Ctrl, left Alt and T")
            << "0 d163; 5 d164; 10 d84; 60 u84; 70 u164; 80 u163"
            << QStringList{"キー|84,3|0.05" + wait("0")};
        QTest::newRow("Shift+Tab")
            << "0 d161; 10 d9; 40 u9; 50 u161" << QStringList{"キー|9,4|0.03" + wait("0")};
        QTest::newRow("Win with a letter is a chord")
            << "0 d91; 10 d69:e; 30 u69; 40 u91" << QStringList{"キー|69,8|0.02" + wait("0")};
        QTest::newRow("a lone Ctrl is a key, a lone Shift nothing")
            << "0 d160; 30 u160; 100 d162; 160 u162" << QStringList{"キー|162,0|0.06" + wait("0")};
        QTest::newRow("a modifier used by a click is not a key")
            << "0 d162; 10 L1,1; 20 l1,1; 30 u162"
            << QStringList{"マウスポインター|1|1" + wait("0"), "クリック|左|0.01" + wait("0")};
        QTest::newRow("typing interrupted by a click")
            << "0 d65:a; 30 u65; 100 L7,8; 150 l7,8; 300 d66:b; 340 u66"
            << QStringList{"入力|a|0.03" + wait("0.07"), "マウスポインター|7|8" + wait("0"),
                           "クリック|左|0.05" + wait("0.15"), "入力|b|0.04" + wait("0")};
        QTest::newRow("letter held across a click")
            << "0 d65:a; 50 L3,4; 90 l3,4; 120 u65; 300 d66:b; 350 u66"
            << QStringList{"入力|a|0.01" + wait("0.04"), "マウスポインター|3|4" + wait("0"),
                           "クリック|左|0.04" + wait("0.21"), "入力|b|0.05" + wait("0")};
        QTest::newRow("Enter held across a click ends at the click")
            << "0 d13; 50 L3,4; 100 l3,4; 150 u13"
            << QStringList{"キー|13,0|0.05" + wait("0"), "マウスポインター|3|4" + wait("0"),
                           "クリック|左|0.05" + wait("0")};
        QTest::newRow("a repeating key becomes a press per repeat")
            << "0 d37; 500 d37; 530 d37; 545 u37"
            << QStringList{"キー|37,0|0.5" + wait("0"), "キー|37,0|0.03" + wait("0"),
                           "キー|37,0|0.02" + wait("0")};
        QTest::newRow("a repeating letter types on")
            << "0 d65:a; 500 d65:a; 530 d65:a; 540 u65" << QStringList{"入力|aaa|0.54" + wait("0")};
        QTest::newRow("a repeating modifier stays one press")
            << "0 d162; 500 d162; 530 d162; 600 d67; 620 u67; 630 u162"
            << QStringList{"キー|67,2|0.02" + wait("0")};
        QTest::newRow("space types, Tab is a key")
            << "0 d32: ; 20 u32; 40 d9; 60 u9"
            << QStringList{"入力| |0.02" + wait("0.02"), "キー|9,0|0.02" + wait("0")};
        QTest::newRow("releases of keys pressed before the recording are ignored")
            << "0 u65; 10 u162; 20 l5,5; 40 d66:b; 60 u66"
            << QStringList{"入力|b|0.02" + wait("0")};
        QTest::newRow("pauses to the millisecond, lengths to 0.01 s")
            << "0 d13; 34 u13; 347 d9; 360 u9"
            << QStringList{"キー|13,0|0.03" + wait("0.317"), "キー|9,0|0.01" + wait("0")};
        QTest::newRow("a click with no known place clicks where the pointer is")
            << "0 L?; 80 l?; 200 R?; 230 r?"
            << QStringList{"クリック|左|0.08" + wait("0.12"), "クリック|右|0.03" + wait("0")};
        QTest::newRow("typing around a click with no known place")
            << "0 d65:a; 30 u65; 100 L?; 150 l?; 300 d66:b; 340 u66"
            << QStringList{"入力|a|0.03" + wait("0.07"), "クリック|左|0.05" + wait("0.15"),
                           "入力|b|0.04" + wait("0")};
        QTest::newRow("nothing") << "" << QStringList{};
    }
    void pages() {
        QFETCH(QString, script);
        QFETCH(QStringList, expected);
        QCOMPARE(pageTexts(actionrecording::pagesFor(stream(script))), expected);
    }

    // A click the recording knows the window of is placed in that window,
    // and the window is brought up first whenever the clicks move to another.
    void clicksInWindows() {
        platform::WindowInfo editor;
        editor.id = 11;
        editor.title = u"メモ - a.txt";
        editor.program = u"gedit";
        editor.client = {100, 50, 400, 300};
        platform::WindowInfo calc;
        calc.id = 22;
        calc.title = u"Calc";
        calc.client = {-300, 200, 200, 200};
        std::vector<RawInputEvent> events =
            stream("0 L110,60; 10 l110,60; 100 L130,90; 110 l130,90; 200 R-290,210; "
                   "210 r-290,210; 300 L5,5; 310 l5,5; 400 L101,51; 410 l101,51");
        const platform::WindowInfo by[] = {editor, editor, calc, {}, editor};
        int click = 0;
        for (RawInputEvent &e : events) {
            if (e.type == Type::ButtonDown)
                e.window = by[click++];
        }
        const QString click1 = QStringLiteral("クリック|左|0.01") + wait("0.09");
        QCOMPARE(pageTexts(actionrecording::pagesFor(events)),
                 QStringList({"ウィンドウ切替|メモ - a.txt|含む|gedit|5" + wait("0"),
                              "ウィンドウ座標|メモ - a.txt|含む|gedit|10|10" + wait("0"), click1,
                              "ウィンドウ座標|メモ - a.txt|含む|gedit|30|40" + wait("0"), click1,
                              "ウィンドウ切替|Calc|含む||5" + wait("0"),
                              "ウィンドウ座標|Calc|含む||10|10" + wait("0"),
                              "クリック|右|0.01" + wait("0.09"),
                              // Nothing known under it: the screen position.
                              "マウスポインター|5|5" + wait("0"), click1,
                              "ウィンドウ切替|メモ - a.txt|含む|gedit|5" + wait("0"),
                              "ウィンドウ座標|メモ - a.txt|含む|gedit|1|1" + wait("0"),
                              "クリック|左|0.01" + wait("0")}));
    }

    void stopChord_data() {
        QTest::addColumn<QString>("stopCommand");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("stopsAt"); // index of the event that stops, -1: none
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("Ctrl+Alt+S ends it, the chord is not recorded")
            << "83,3"
            << "0 d65:a; 40 u65; 100 d162; 120 d164; 130 d83; 150 u83; 160 d66:b" << 4
            << QStringList{"入力|a|0.04" + wait("0")};
        QTest::newRow("the chord pressed in the other order")
            << "83,3"
            << "0 d165; 10 d163; 20 d83" << 2 << QStringList{};
        QTest::newRow("with Shift also held it is an ordinary chord")
            << "83,3"
            << "0 d162; 1 d164; 2 d160; 10 d83; 40 u83; 50 u160; 51 u164; 52 u162" << -1
            << QStringList{"キー|83,7|0.03" + wait("0")};
        QTest::newRow("a key held when the recording stops is released then")
            << "83,3"
            << "0 d13; 100 d162; 110 d164; 120 d83" << 3
            << QStringList{"キー|13,0|0.12" + wait("0")};
        QTest::newRow("a lone modifier stop command")
            << "162,0"
            << "0 d65:a; 30 u65; 100 d162" << 2 << QStringList{"入力|a|0.03" + wait("0")};
        QTest::newRow("no stop command") << "なし"
                                         << "0 d162; 1 d164; 2 d83; 30 u83; 31 u164; 32 u162" << -1
                                         << QStringList{"キー|83,3|0.03" + wait("0")};
    }
    void stopChord() {
        QFETCH(QString, stopCommand);
        QFETCH(QString, script);
        QFETCH(int, stopsAt);
        QFETCH(QStringList, expected);
        actionrecording::ActionRecording recording(stopCommand);
        int stoppedAt = -1;
        const std::vector<RawInputEvent> events = stream(script);
        for (size_t i = 0; i < events.size(); ++i)
            if (recording.add(events[i]))
                stoppedAt = static_cast<int>(i);
        QCOMPARE(stoppedAt, stopsAt);
        QCOMPARE(recording.stopped(), stopsAt >= 0);
        QCOMPARE(pageTexts(recording.pages()), expected);
        QVERIFY(!recording.pages().skippedProtectedInput);
    }

    // The recording starts at a moment on the events' own clock: what
    // happened before it only says which keys are held then, whenever it
    // arrives; input kept back counts only after the start.
    void startBoundary_data() {
        QTest::addColumn<qint64>("start");   // -1: after the events added before it
        QTest::addColumn<QString>("before"); // added before startAt
        QTest::addColumn<QString>("after");  // added after it
        QTest::addColumn<int>("stopsAt");    // index in `after`, -1: none
        QTest::addColumn<QList<qint64>>("withheld");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("skipped");

        QTest::newRow("stop chord with its modifiers down before the start")
            << qint64(1000) << "100 d162; 200 d164"
            << "1500 d83:s; 1600 u83" << 0 << QList<qint64>{} << QStringList{} << false;
        QTest::newRow("events that happened before the start but arrive after it")
            << qint64(1000) << ""
            << "900 d65:a; 950 u65; 1200 d66:b; 1250 u66" << -1 << QList<qint64>{}
            << QStringList{"入力|b|0.05" + wait("0")} << false;
        QTest::newRow("Ctrl held across the start makes a chord, not a key of its own")
            << qint64(1000) << "500 d162"
            << "1200 d67; 1250 u67; 1300 u162" << -1 << QList<qint64>{}
            << QStringList{"キー|67,2|0.05" + wait("0")} << false;
        QTest::newRow("a key whose press was before the start")
            << qint64(1000) << "800 d13"
            << "1100 u13; 1200 d9; 1250 u9" << -1 << QList<qint64>{}
            << QStringList{"キー|9,0|0.05" + wait("0")} << false;
        QTest::newRow("start unknown: after what had arrived")
            << qint64(-1) << "100 d65:a; 150 u65"
            << "300 d66:b; 350 u66" << -1 << QList<qint64>{}
            << QStringList{"入力|b|0.05" + wait("0")} << false;
        QTest::newRow("input kept back during the delay is not reported")
            << qint64(1000) << ""
            << "1200 d9; 1250 u9" << -1 << QList<qint64>{400}
            << QStringList{"キー|9,0|0.05" + wait("0")} << false;
        QTest::newRow("input kept back while recording is reported")
            << qint64(1000) << ""
            << "1200 d9; 1250 u9" << -1 << QList<qint64>{400, 1300}
            << QStringList{"キー|9,0|0.05" + wait("0")} << true;
    }
    void startBoundary() {
        QFETCH(qint64, start);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, stopsAt);
        QFETCH(QList<qint64>, withheld);
        QFETCH(QStringList, expected);
        QFETCH(bool, skipped);
        actionrecording::ActionRecording recording(QStringLiteral("83,3"));
        for (const RawInputEvent &e : stream(before))
            QVERIFY(!recording.add(e));
        recording.startAt(start);
        int stoppedAt = -1;
        const std::vector<RawInputEvent> events = stream(after);
        for (size_t i = 0; i < events.size(); ++i)
            if (recording.add(events[i]) && stoppedAt < 0)
                stoppedAt = static_cast<int>(i);
        for (qint64 t : withheld)
            recording.addWithheld(t);
        QCOMPARE(stoppedAt, stopsAt);
        const actionrecording::RecordedPages pages = recording.pages();
        QCOMPARE(pageTexts(pages), expected);
        QCOMPARE(pages.skippedProtectedInput, skipped);
    }

    // A replay starts each page when the pages before it have taken their
    // lengths and pauses; lengths rounded to 0.01 s must not shift the starts.
    void replayKeepsTheRhythm() {
        QString script;
        std::vector<qint64> starts;
        qint64 t = 1000;
        for (int i = 0; i < 60; ++i) {
            starts.push_back(t);
            const int hold = 3 + (i * 7) % 40; // 3..42 ms, rounding both ways
            if (i % 2)
                script += QStringLiteral("%1 L%3,0; %2 l%3,0;").arg(t).arg(t + hold).arg(i);
            else
                script += QStringLiteral("%1 d13; %2 u13;").arg(t).arg(t + hold);
            t += 1004 + (i * 13) % 97;
        }
        const auto pages = actionrecording::pagesFor(stream(script));
        qint64 replayAt = starts.front();
        int action = 0;
        for (int i = 0; i < pages.commands.size(); ++i) {
            const QStringList &command = pages.commands.at(i);
            if (command.at(0) == QStringLiteral("マウスポインター"))
                continue; // its click follows at once
            QVERIFY2(qAbs(replayAt - starts[size_t(action)]) <= 1,
                     qPrintable(QStringLiteral("action %1 starts %2 ms off")
                                    .arg(action)
                                    .arg(replayAt - starts[size_t(action)])));
            replayAt += qRound(command.at(2).toDouble() * 1000) +
                        qRound(pages.conditions.at(i).at(1).toDouble() * 1000);
            ++action;
        }
        QCOMPARE(action, 60);
    }
};

QTEST_APPLESS_MAIN(ActionRecordingTest)
#include "unit_actionrecording.moc"
