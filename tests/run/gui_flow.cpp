// Runs that jump: Go to page counts and loops within loops, the waits with a
// time limit on a scripted desktop (what comes, what does not), the Image
// Jump that finds nothing, called projects, the counts of each pass, what is
// refused before anything is pressed, and a loop that never waits ended by
// the stop keys.

#include "core/pagekinds.h"
#include "core/projectfile.h"
#include "run/runharness.h"
#include "support/screenpattern.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace runtest;
using testsupport::FakeWindow;

namespace {

const QStringList kNone{QStringLiteral("なし")};

// A page whose command leaves its number behind: "setCursorPos n n".
QStringList mark(int n) {
    return {QStringLiteral("マウスポインター"), QString::number(n), QString::number(n)};
}

QStringList goTo(const QString &target, const QString &count = QStringLiteral("毎回")) {
    return {pagekinds::name::goToPage(), target, count};
}

QStringList call(const QString &path) {
    return {pagekinds::name::callProject(), path};
}

// Waits at most a tenth of a second for a window titled "Target".
QStringList windowBranch(const QString &otherwise, const QString &then) {
    return {pagekinds::name::windowBranch(),
            QStringLiteral("Target"),
            QStringLiteral("含む"),
            QString(),
            pagekinds::windowExists,
            QStringLiteral("0.1"),
            otherwise,
            then};
}

// The numbers the pages left behind, in order.
QList<int> trace(const Harness &h) {
    QList<int> marks;
    for (const testsupport::InputEvent &e : h.sentEvents("setCursorPos"))
        marks.append(e.a);
    return marks;
}

std::vector<FakeWindow> targetWindow(bool open) {
    std::vector<FakeWindow> windows;
    if (open) {
        FakeWindow w;
        w.info.id = 5;
        w.info.title = u"Target";
        windows.push_back(w);
    }
    return windows;
}

} // namespace

class FlowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void pagesPlayed_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("window"); // "Target" is open
        QTest::addColumn<int>("passes");
        QTest::addColumn<QList<int>>("marks");

        const QStringList ab{"a", "b", "", "", ""};
        QTest::newRow("twice back, then on")
            << Pages{mark(1), mark(2), goTo("a", "2"), mark(4)} << Pages{kNow, kNow, kNow, kNow}
            << ab << false << 1 << QList<int>{1, 2, 1, 2, 1, 2, 4};
        QTest::newRow("a count of 0 never jumps")
            << Pages{mark(1), goTo("a", "0"), mark(3)} << Pages{kNow, kNow, kNow} << ab << false
            << 1 << QList<int>{1, 3};
        QTest::newRow("forward over a page")
            << Pages{goTo("c", "1"), mark(2), mark(3)} << Pages{kNow, kNow, kNow}
            << QStringList{"", "", "c"} << false << 1 << QList<int>{3};
        QTest::newRow("a loop within a loop repeats whole")
            << Pages{mark(1), mark(2), goTo("inner", "1"), goTo("outer", "1"), mark(5)}
            << Pages{kNow, kNow, kNow, kNow, kNow} << QStringList{"outer", "inner"} << false << 1
            << QList<int>{1, 2, 2, 1, 2, 2, 5};
        QTest::newRow("the counts start anew each pass")
            << Pages{mark(1), goTo("a", "1")} << Pages{kNow, kNow} << ab << false << 2
            << QList<int>{1, 1, 1, 1};
        QTest::newRow("the window comes: on to the named page")
            << Pages{mark(1), mark(2), mark(3)} << Pages{windowBranch("", "end"), kNow, kNow}
            << QStringList{"", "", "end"} << true << 1 << QList<int>{1, 3};
        QTest::newRow("the window comes, no page named: the next")
            << Pages{mark(1), mark(2), mark(3)} << Pages{windowBranch("end", ""), kNow, kNow}
            << QStringList{"", "", "end"} << true << 1 << QList<int>{1, 2, 3};
        QTest::newRow("the window does not come: the other page")
            << Pages{mark(1), mark(2), mark(3)} << Pages{windowBranch("end", ""), kNow, kNow}
            << QStringList{"", "", "end"} << false << 1 << QList<int>{1, 3};
        QTest::newRow("the window does not come, no page named: the next")
            << Pages{mark(1), mark(2)} << Pages{windowBranch("", "b"), kNow} << QStringList{"", "b"}
            << false << 1 << QList<int>{1, 2};
        QTest::newRow("retry until the window comes, at most three times")
            << Pages{mark(1), goTo("try", "2"), mark(3)}
            << Pages{windowBranch("", "done"), kNow, kNow} << QStringList{"try", "", "done"}
            << false << 1 << QList<int>{1, 1, 1, 3};
        QTest::newRow("the branch wins over the Go to page")
            << Pages{mark(1), goTo("a"), mark(3)} << Pages{kNow, windowBranch("", "c"), kNow}
            << QStringList{"a", "", "c"} << true << 1 << QList<int>{1, 3};
    }

    void pagesPlayed() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        QFETCH(QStringList, names);
        QFETCH(bool, window);
        QFETCH(int, passes);
        QFETCH(QList<int>, marks);
        Harness h;
        h.rec.setWindows(targetWindow(window), window ? 5 : 0);
        h.names = names;
        h.begin(commands, conditions, passes);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        QCOMPARE(trace(h), marks);
    }

    // A picture that is not there: the run goes on at the named page at once,
    // without the page's condition (which here would wait for ever); found,
    // the pointer goes there and the run goes on at the page named for it.
    void imageJumpBranch_data() {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QList<int>>("marks");
        QTest::newRow("not found") << false << QList<int>{3, 4};
        QTest::newRow("found") << true << QList<int>{-1, 4};
    }

    void imageJumpBranch() {
        QFETCH(bool, shown);
        QFETCH(QList<int>, marks);
        const QImage needle = testsupport::screenpattern::picture();
        QImage screen(300, 200, QImage::Format_RGB32);
        screen.fill(Qt::white);
        if (shown) {
            QPainter painter(&screen);
            painter.drawImage(50, 40, needle);
        }
        Harness h;
        h.rec.offerScreen(true);
        h.rec.screen().show(screen);
        QStringList jump =
            pagekinds::find(pagekinds::Side::Command, pagekinds::name::imageJumpBranch())
                ->fresh(QTime());
        jump[11] = testsupport::screenpattern::pngBase64(needle);
        jump[14] = QStringLiteral("0.2");
        jump[15] = QStringLiteral("miss");
        jump[16] = QStringLiteral("hit");
        // Waits for a window that never opens: only a skipped condition passes.
        const QStringList never{pagekinds::name::windowState(), QStringLiteral("Never"),
                                QStringLiteral("含む"), QString(), pagekinds::windowExists};
        h.names = {"", "", "miss", "hit"};
        h.begin({jump, mark(2), mark(3), mark(4)}, {shown ? kNow : never, kNow, kNow, kNow});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        QList<int> seen = trace(h);
        if (shown) {
            QCOMPARE(seen.size(), 2);
            QCOMPARE(seen.first(), 110); // the picture's centre
            seen[0] = -1;
        }
        QCOMPARE(seen, marks);
    }

    // A called project plays in place, its own loop with it, as often as it
    // is called; its own calls are found from its folder.
    void calledProjects() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("parts")));
        QCOMPARE(projectfile::save(dir.filePath("parts/loop.cmdat"),
                                   {mark(7), goTo("s", "1"), call("leaf.cmdat")},
                                   {kNow, kNow, kNow}, {"s"}),
                 projectfile::SaveStatus::Ok);
        QCOMPARE(projectfile::save(dir.filePath("parts/leaf.cmdat"), {mark(9)}, {kNow}),
                 projectfile::SaveStatus::Ok);
        Harness h;
        h.projectPath = dir.filePath("main.cmdat");
        h.begin(
            {mark(1), call("parts/loop.cmdat"), call(dir.filePath("parts/loop.cmdat")), mark(3)},
            {kNow, kNow, kNow, kNow});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        QCOMPARE(trace(h), (QList<int>{1, 7, 7, 9, 7, 7, 9, 3}));
    }

    // Refused before anything is pressed, naming the page (and the file).
    void refused_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("english");

        QTest::newRow("no target")
            << Pages{goTo("")} << QStringList() << "Page 1: no page to go to";
        QTest::newRow("no such page")
            << Pages{kNone, goTo("x")} << QStringList() << "Page 2: no page has the name \"x\"";
        QTest::newRow("one name twice")
            << Pages{kNone, kNone} << QStringList{"x", "x"} << "Page 2: another page has";
        QTest::newRow("a bad count")
            << Pages{goTo("x", "-2")} << QStringList{"x"} << "Page 1: the count \"-2\"";
        QTest::newRow("a missing project")
            << Pages{kNone, call("gone.cmdat")} << QStringList()
            << "Page 2: the called project cannot be played: %1/gone.cmdat (there is no such file";
        QTest::newRow("a project calling itself")
            << Pages{call("main.cmdat")} << QStringList()
            << "Page 1: the call comes back round to itself: %1/main.cmdat";
        QTest::newRow("an unknown kind in the called one")
            << Pages{call("odd.cmdat")} << QStringList()
            << "Page 1: the called project cannot be played: %1/odd.cmdat (Page 2: the "
               "command \"未来\"";
        QTest::newRow("a picture that is no PNG in the called one")
            << Pages{call("badimage.cmdat")} << QStringList()
            << "%1/badimage.cmdat: page 1: the image";
    }

    void refused() {
        QFETCH(Pages, commands);
        QFETCH(QStringList, names);
        QFETCH(QString, english);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile odd(dir.filePath("odd.cmdat"));
        QVERIFY(odd.open(QIODevice::WriteOnly));
        odd.write(
            R"({"list_command": [["なし"], ["未来"]], "list_condition": [["即時"], ["即時"]]})");
        odd.close();
        QStringList image =
            pagekinds::find(pagekinds::Side::Condition, pagekinds::name::image())->fresh(QTime());
        image[11] = QStringLiteral("bm90IGEgcGljdHVyZQ==");
        QCOMPARE(projectfile::save(dir.filePath("badimage.cmdat"), {kNone}, {image}),
                 projectfile::SaveStatus::Ok);

        Run run;
        run.setFlow(names, dir.filePath("main.cmdat"));
        Pages conditions;
        for (int i = 0; i < commands.size(); ++i)
            conditions.append(kNow);
        runsteps::Refusal refusal;
        QVERIFY(!run.prepare({}, commands, conditions, QStringLiteral("test"), &refusal));
        const QString text = runsteps::refusalText(refusal, false);
        const QString wanted =
            english.contains(QLatin1String("%1")) ? english.arg(dir.path()) : english;
        QVERIFY2(text.contains(wanted), qPrintable(text));
        QVERIFY(!runsteps::refusalText(refusal, true).isEmpty());
    }

    // A loop of pages that never wait: the stop keys end it, and the window
    // still handles its events while it goes.
    void endlessLoopStops_data() { addKeyModes(); }

    void endlessLoopStops() {
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.names = {"top"};
        h.begin({mark(1), goTo("top")}, {kNow, kNow}, 1, 0, QStringLiteral("81,2"));
        QTRY_VERIFY_WITH_TIMEOUT(trace(h).size() > 1000, 10000);
        bool timerFired = false;
        QTimer::singleShot(0, [&timerFired] { timerFired = true; });
        QTRY_VERIFY_WITH_TIMEOUT(timerFired, 10000);
        h.key(17, true);
        h.key(81, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        h.key(81, false);
        h.key(17, false);
        QVERIFY(h.run->stopping());
    }
};

QTEST_MAIN(FlowTest)
#include "gui_flow.moc"
