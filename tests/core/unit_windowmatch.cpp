// Which window a window page means: the title compared by its mode, the
// program without regard to case, the topmost of several, and the three
// elements of a record the choice is stored in.

#include "core/windowmatch.h"

#include <QTest>

using windowmatch::Candidate;
using windowmatch::Choice;
using windowmatch::Mode;
using Windows = QList<Candidate>;

Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(Choice)
Q_DECLARE_METATYPE(Windows)

namespace {

Candidate window(quint64 id, const char *title, const char *program) {
    return Candidate{id, QString::fromUtf8(title), QString::fromUtf8(program)};
}

Choice choice(const char *title, Mode mode = Mode::Contains, const char *program = "") {
    return Choice{QString::fromUtf8(title), mode, QString::fromUtf8(program)};
}

// Topmost first: two editors with similar titles above a terminal.
const Windows kDesktop{
    window(11, "メモ - エディター", "gedit"),
    window(12, "メモ帳 - エディター", "gedit"),
    window(13, "user@host: ~", "XTerm"),
    window(14, "無題 - メモ帳", "notepad.exe"),
};

} // namespace

class WindowMatchTest : public QObject {
    Q_OBJECT

private slots:
    void oneWindow_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("program");
        QTest::addColumn<Choice>("wanted");
        QTest::addColumn<bool>("matches");
        const QString t = QStringLiteral("無題 - メモ帳");
        const QString p = QStringLiteral("notepad.exe");
        QTest::newRow("contains") << t << p << choice("メモ帳") << true;
        QTest::newRow("contains, not there") << t << p << choice("ワード") << false;
        QTest::newRow("contains is case-sensitive")
            << "Untitled" << p << choice("untitled") << false;
        QTest::newRow("empty pattern contains every title") << t << p << choice("") << true;
        QTest::newRow("exact") << t << p << choice("無題 - メモ帳", Mode::Exact) << true;
        QTest::newRow("exact, part only") << t << p << choice("メモ帳", Mode::Exact) << false;
        QTest::newRow("exact, empty pattern") << t << p << choice("", Mode::Exact) << false;
        QTest::newRow("expression anywhere")
            << t << p << choice("メ.帳", Mode::RegularExpression) << true;
        QTest::newRow("expression anchored")
            << t << p << choice("^メモ帳", Mode::RegularExpression) << false;
        QTest::newRow("expression ignoring case")
            << "Untitled - Notepad" << p << choice("(?i)notepad$", Mode::RegularExpression) << true;
        QTest::newRow("expression that does not compile")
            << "(" << p << choice("(", Mode::RegularExpression) << false;
        QTest::newRow("program, other case")
            << t << p << choice("メモ帳", Mode::Contains, "NotePad.EXE") << true;
        QTest::newRow("program without .exe")
            << t << p << choice("メモ帳", Mode::Contains, "notepad") << true;
        QTest::newRow("program, other program")
            << t << p << choice("メモ帳", Mode::Contains, "wordpad.exe") << false;
        QTest::newRow("program is the whole name")
            << t << p << choice("", Mode::Contains, "note") << false;
        QTest::newRow("X11 class") << "xterm"
                                   << "XTerm" << choice("", Mode::Contains, "xterm") << true;
        QTest::newRow("program given, window has none")
            << t << "" << choice("メモ帳", Mode::Contains, "notepad") << false;
    }
    void oneWindow() {
        QFETCH(QString, title);
        QFETCH(QString, program);
        QFETCH(Choice, wanted);
        QFETCH(bool, matches);
        const windowmatch::Matcher matcher(wanted);
        QCOMPARE(matcher.matches(Candidate{1, title, program}), matches);
        QCOMPARE(windowmatch::count(wanted, {Candidate{1, title, program}}), matches ? 1 : 0);
    }

    // The topmost matching window is the one meant.
    void topmostOfSeveral_data() {
        QTest::addColumn<Choice>("wanted");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("count");
        QTest::newRow("both editors, the upper") << choice("エディター") << 0 << 2;
        QTest::newRow("the lower by its longer title") << choice("メモ帳 - ") << 1 << 1;
        QTest::newRow("exact tells them apart")
            << choice("メモ帳 - エディター", Mode::Exact) << 1 << 1;
        QTest::newRow("by program only") << choice("", Mode::Contains, "xterm") << 2 << 1;
        QTest::newRow("title and program together")
            << choice("メモ帳", Mode::Contains, "notepad.exe") << 3 << 1;
        QTest::newRow("every window") << choice("") << 0 << 4;
        QTest::newRow("none") << choice("ブラウザー") << -1 << 0;
        QTest::newRow("expression over both editors")
            << choice("^メモ.* - エディター$", Mode::RegularExpression) << 0 << 2;
    }
    void topmostOfSeveral() {
        QFETCH(Choice, wanted);
        QFETCH(int, index);
        QFETCH(int, count);
        QCOMPARE(windowmatch::best(wanted, kDesktop), index);
        QCOMPARE(windowmatch::count(wanted, kDesktop), count);
        QCOMPARE(windowmatch::best(wanted, {}), -1);
    }

    // An expression that hits the engine's limits on a title cannot say
    // whether that title matches: reported, never taken for "no match".
    void tooCostly_data() {
        QTest::addColumn<Windows>("windows");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("bestTooCostly");
        QTest::addColumn<bool>("countTooCostly");
        const QByteArray costly = QByteArray(30, 'a') + '!';
        const Windows alone{window(1, costly.constData(), "")};
        QTest::newRow("the only window") << alone << -1 << true << true;
        QTest::newRow("below a match")
            << Windows{window(1, "aaaa", ""), window(2, costly.constData(), "")} << 0 << false
            << true;
        QTest::newRow("above a match")
            << Windows{window(1, costly.constData(), ""), window(2, "aaaa", "")} << -1 << true
            << true;
        QTest::newRow("titles it decides on")
            << Windows{window(1, "xyz", ""), window(2, "aaaa", "")} << 1 << false << false;
    }
    void tooCostly() {
        QFETCH(Windows, windows);
        const Choice wanted = choice("^(a+)+$|^a{30}!$", Mode::RegularExpression);
        bool tooCostly = false;
        QTEST(windowmatch::best(wanted, windows, &tooCostly), "index");
        QTEST(tooCostly, "bestTooCostly");
        tooCostly = false;
        windowmatch::count(wanted, windows, &tooCostly);
        QTEST(tooCostly, "countTooCostly");
    }

    // Elements 1 to 3 of a record: written and read back alike, the other
    // elements left as they are.
    void record_data() {
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<Choice>("read");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("fresh window page")
            << QStringList{"ウィンドウ切替", "", "含む", "", "5"} << choice("")
            << QStringList{"ウィンドウ切替", "メモ", "正規表現", "gedit", "5"};
        QTest::newRow("exact") << QStringList{"ウィンドウ", "a", "一致", "b", "アクティブ"}
                               << choice("a", Mode::Exact, "b")
                               << QStringList{"ウィンドウ", "メモ", "正規表現", "gedit",
                                              "アクティブ"};
        QTest::newRow("unknown mode reads as contains")
            << QStringList{"ウィンドウ", "a", "部分", "", "ある"} << choice("a")
            << QStringList{"ウィンドウ", "メモ", "正規表現", "gedit", "ある"};
        QTest::newRow("short record padded")
            << QStringList{"ウィンドウ切替"} << choice("")
            << QStringList{"ウィンドウ切替", "メモ", "正規表現", "gedit"};
    }
    void record() {
        QFETCH(QStringList, record);
        QFETCH(Choice, read);
        QFETCH(QStringList, written);
        const Choice got = windowmatch::fromRecord(record);
        QCOMPARE(got.title, read.title);
        QCOMPARE(got.mode, read.mode);
        QCOMPARE(got.program, read.program);
        windowmatch::toRecord(record, choice("メモ", Mode::RegularExpression, "gedit"));
        QCOMPARE(record, written);
    }

    void modes_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        QTest::newRow("contains") << Mode::Contains << "含む" << 0;
        QTest::newRow("exact") << Mode::Exact << "一致" << 1;
        QTest::newRow("expression") << Mode::RegularExpression << "正規表現" << 2;
    }
    void modes() {
        QFETCH(Mode, mode);
        QFETCH(QString, stored);
        QFETCH(int, index);
        QCOMPARE(windowmatch::storedMode(mode), stored);
        QCOMPARE(windowmatch::modeFromStored(stored), mode);
        QCOMPARE(windowmatch::modeIndex(mode), index);
        QCOMPARE(windowmatch::modeAt(index), mode);
    }

    void describe_data() {
        QTest::addColumn<Choice>("wanted");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("text");
        QTest::newRow("ja title") << choice("メモ帳") << true << "「メモ帳」";
        QTest::newRow("en title and program") << choice("Untitled", Mode::Exact, "notepad.exe")
                                              << false << "\"Untitled\" (notepad.exe)";
    }
    void describe() {
        QFETCH(Choice, wanted);
        QFETCH(bool, japanese);
        QFETCH(QString, text);
        QCOMPARE(windowmatch::describe(wanted, japanese), text);
    }
};

QTEST_APPLESS_MAIN(WindowMatchTest)
#include "unit_windowmatch.moc"
