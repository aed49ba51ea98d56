// Page names and the records that jump to them: what a project is refused
// for, the counts, the jumps the editor asks about before a page goes, the
// called projects found from the calling one's folder, and how names are
// stored beside the pages.

#include "core/pageflow.h"
#include "core/pagekinds.h"
#include "core/projectfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using pageflow::Pages;
using pageflow::Problem;

Q_DECLARE_METATYPE(Problem)
Q_DECLARE_METATYPE(projectfile::LoadStatus)

namespace {

const QStringList kNone{QStringLiteral("なし")};
const QStringList kNow{QStringLiteral("即時")};

QStringList goTo(const QString &target, const QString &count = QStringLiteral("毎回")) {
    return {pagekinds::name::goToPage(), target, count};
}

QStringList keyBranch(const QString &otherwise, const QString &then = {}) {
    return {pagekinds::name::keyBranch(), QStringLiteral("13,0"), QStringLiteral("1"), otherwise,
            then};
}

QStringList call(const QString &path) {
    return {pagekinds::name::callProject(), path};
}

pageflow::Project project(const Pages &commands, const QStringList &names = {},
                          const QString &path = {}) {
    pageflow::Project p;
    p.path = path;
    p.commands = commands;
    for (int i = 0; i < commands.size(); ++i)
        p.conditions.append(kNow);
    p.names = names;
    return p;
}

} // namespace

namespace {

// "/p/..." on the drive a rooted path lands on: "Z:/p/..." on Windows, as is
// elsewhere, so the paths compare as the program makes them.
QString rooted(QString text) {
    QString drive = QFileInfo(QStringLiteral("/")).absoluteFilePath();
    drive.chop(1);
    for (const char *folder : {"/p/", "/x/"})
        text.replace(QLatin1String(folder), drive + QLatin1String(folder));
    return text;
}

} // namespace

class PageFlowTest : public QObject {
    Q_OBJECT

private slots:
    void check_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("toRun");
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("value");

        const QStringList ab{QStringLiteral("a"), QStringLiteral("b"), QString()};
        QTest::newRow("no flow at all") << Pages{kNone, kNone} << Pages{kNow, kNow} << QStringList()
                                        << true << Problem::None << 0 << QString();
        QTest::newRow("a loop back")
            << Pages{kNone, kNone, goTo("a", "3")} << Pages{kNow, kNow, kNow} << ab << true
            << Problem::None << 0 << QString();
        QTest::newRow("two pages with one name")
            << Pages{kNone, kNone, kNone} << Pages{kNow, kNow, kNow} << QStringList{"x", "y", "x"}
            << true << Problem::DuplicateName << 3 << "x";
        QTest::newRow("empty names are no names")
            << Pages{kNone, kNone} << Pages{kNow, kNow} << QStringList{"", ""} << true
            << Problem::None << 0 << QString();
        QTest::newRow("a name no page has") << Pages{kNone, goTo("c")} << Pages{kNow, kNow} << ab
                                            << true << Problem::NoSuchPage << 2 << "c";
        QTest::newRow("names compare exactly") << Pages{kNone, goTo("A")} << Pages{kNow, kNow} << ab
                                               << true << Problem::NoSuchPage << 2 << "A";
        QTest::newRow("no target: refused to run")
            << Pages{goTo("")} << Pages{kNow} << QStringList() << true << Problem::NoSuchPage << 1
            << QString();
        QTest::newRow("no target: kept while edited")
            << Pages{goTo("")} << Pages{kNow} << QStringList() << false << Problem::None << 0
            << QString();
        QTest::newRow("a name no page has, while edited too")
            << Pages{goTo("nowhere")} << Pages{kNow} << QStringList() << false
            << Problem::NoSuchPage << 1 << "nowhere";
        QTest::newRow("a count that is not a number")
            << Pages{goTo("a", "twice")} << Pages{kNow} << QStringList{"a"} << true
            << Problem::BadCount << 1 << "twice";
        QTest::newRow("a negative count")
            << Pages{goTo("a", "-1")} << Pages{kNow} << QStringList{"a"} << true
            << Problem::BadCount << 1 << "-1";
        QTest::newRow("an empty count") << Pages{goTo("a", "")} << Pages{kNow} << QStringList{"a"}
                                        << true << Problem::BadCount << 1 << QString();
        QTest::newRow("a count of 0") << Pages{goTo("a", "0")} << Pages{kNow} << QStringList{"a"}
                                      << true << Problem::None << 0 << QString();
        QTest::newRow("a branch's empty targets go on")
            << Pages{kNone} << Pages{keyBranch("")} << QStringList() << true << Problem::None << 0
            << QString();
        QTest::newRow("a branch to a name no page has")
            << Pages{kNone, kNone} << Pages{kNow, keyBranch("a", "zz")} << ab << true
            << Problem::NoSuchPage << 2 << "zz";
        QTest::newRow("an earlier page first")
            << Pages{goTo("q"), kNone, kNone} << Pages{kNow, kNow, kNow}
            << QStringList{"x", "y", "x"} << true << Problem::NoSuchPage << 1 << "q";
        QStringList imageJump =
            pagekinds::find(pagekinds::Side::Command, pagekinds::name::imageJumpBranch())
                ->fresh(QTime());
        imageJump[15] = QStringLiteral("gone");
        QTest::newRow("the Image Jump branch's target")
            << Pages{imageJump} << Pages{kNow} << QStringList() << false << Problem::NoSuchPage << 1
            << "gone";
    }

    void check() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        QFETCH(QStringList, names);
        QFETCH(bool, toRun);
        QFETCH(Problem, problem);
        QFETCH(int, page);
        QFETCH(QString, value);
        const pageflow::Refusal r = pageflow::check(commands, conditions, names, toRun);
        QCOMPARE(r.problem, problem);
        QCOMPARE(r.page, page);
        QCOMPARE(r.value, value);
    }

    void counts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("every time") << "毎回" << -1;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("three") << "3" << 3;
        QTest::newRow("negative") << "-3" << -2;
        QTest::newRow("plus sign") << "+3" << -2;
        QTest::newRow("decimal") << "1.5" << -2;
        QTest::newRow("words") << "three" << -2;
        QTest::newRow("beyond int") << "99999999999" << -2;
    }

    void counts() {
        QFETCH(QString, text);
        QFETCH(int, count);
        QCOMPARE(pageflow::countOf(text), count);
    }

    // The editor asks before a page the jumps name goes, and the jumps left
    // then name no page.
    void jumpsToAPage() {
        Pages commands{kNone, goTo("a"), kNone, goTo("b")};
        Pages conditions{kNow, keyBranch("b", "a"), keyBranch("", "a"), kNow};
        const QStringList names{"a", "b", "", ""};
        QCOMPARE(pageflow::pagesJumpingTo(commands, conditions, names, 0), (QList<int>{1, 2}));
        QCOMPARE(pageflow::pagesJumpingTo(commands, conditions, names, 1), (QList<int>{1, 3}));
        QCOMPARE(pageflow::pagesJumpingTo(commands, conditions, names, 2), QList<int>());
        pageflow::renameTargets(commands, conditions, QStringLiteral("a"), QString());
        QCOMPARE(commands.at(1), goTo(""));
        QCOMPARE(conditions.at(1), keyBranch("b", ""));
        QCOMPARE(conditions.at(2), keyBranch("", ""));
        QCOMPARE(commands.at(3), goTo("b"));
    }

    void resolveCall_data() {
        QTest::addColumn<QString>("caller");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("path");
        QTest::newRow("beside") << "/p/main.cmdat"
                                << "part.cmdat"
                                << "/p/part.cmdat";
        QTest::newRow("in a folder") << "/p/main.cmdat"
                                     << "sub/part.cmdat"
                                     << "/p/sub/part.cmdat";
        QTest::newRow("up") << "/p/q/main.cmdat"
                            << "../part.cmdat"
                            << "/p/part.cmdat";
        QTest::newRow("absolute") << "/p/main.cmdat"
                                  << "/x/part.cmdat"
                                  << "/x/part.cmdat";
        QTest::newRow("no caller file") << ""
                                        << "part.cmdat" << QDir::currentPath() + "/part.cmdat";
    }

    void resolveCall() {
        QFETCH(QString, caller);
        QFETCH(QString, written);
        QFETCH(QString, path);
        QCOMPARE(pageflow::resolveCall(rooted(caller), rooted(written)), rooted(path));
    }

    // Called projects through a loader over a table of projects in memory.
    void loadCalls_data() {
        QTest::addColumn<QString>("projects"); // "path:call,call;path:..."
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("called");
        QTest::addColumn<int>("loaded");

        QTest::newRow("none") << "/p/top:" << Problem::None << 0 << ""
                              << "" << 0;
        QTest::newRow("one beside") << "/p/top:a;/p/a:" << Problem::None << 0 << ""
                                    << "" << 1;
        QTest::newRow("one twice, read once") << "/p/top:a,a;/p/a:" << Problem::None << 0 << ""
                                              << "" << 1;
        QTest::newRow("a diamond") << "/p/top:a,b;/p/a:c;/p/b:c;/p/c:" << Problem::None << 0 << ""
                                   << "" << 3;
        QTest::newRow("missing") << "/p/top:-,a" << Problem::CallMissing << 2 << ""
                                 << "/p/a" << 0;
        QTest::newRow("itself") << "/p/top:top" << Problem::CallCircle << 1 << ""
                                << "/p/top" << 0;
        QTest::newRow("a circle of two")
            << "/p/top:a;/p/a:-,top" << Problem::CallCircle << 2 << "/p/a"
            << "/p/top" << 1;
        QTest::newRow("a circle below")
            << "/p/top:a;/p/a:b;/p/b:a" << Problem::CallCircle << 1 << "/p/b"
            << "/p/a" << 2;
        QTest::newRow("the called one's own flow")
            << "/p/top:bad;/p/bad:" << Problem::NoSuchPage << 1 << "/p/bad"
            << "" << 0;
        QString deep = QStringLiteral("/p/top:d1");
        for (int i = 1; i <= pageflow::kMaxCallDepth; ++i)
            deep += QStringLiteral(";/p/d%1:d%2").arg(i).arg(i + 1);
        deep += QStringLiteral(";/p/d%1:").arg(pageflow::kMaxCallDepth + 1);
        QTest::newRow("too deep") << deep << Problem::CallTooDeep << 1
                                  << QStringLiteral("/p/d%1").arg(pageflow::kMaxCallDepth)
                                  << QStringLiteral("/p/d%1").arg(pageflow::kMaxCallDepth + 1)
                                  << pageflow::kMaxCallDepth;
    }

    void loadCalls() {
        QFETCH(QString, projects);
        QFETCH(Problem, problem);
        QFETCH(int, page);
        QFETCH(QString, file);
        QFETCH(QString, called);
        QFETCH(int, loaded);
        projects = rooted(projects);
        file = rooted(file);
        called = rooted(called);

        QHash<QString, pageflow::Project> table;
        for (const QString &entry : projects.split(QLatin1Char(';'))) {
            // The path is what comes before the last ':' (a drive has one too).
            const int colon = entry.lastIndexOf(QLatin1Char(':'));
            const QString path = entry.left(colon);
            Pages commands;
            for (const QString &target :
                 entry.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
                commands.append(target == QLatin1String("-") ? kNone : call(target));
            if (commands.isEmpty())
                commands.append(kNone);
            if (path == rooted(QStringLiteral("/p/bad")))
                commands = {goTo("nowhere")};
            table.insert(path, project(commands, {}, path));
        }
        int reads = 0;
        const pageflow::Calls calls = pageflow::loadCalls(
            table.value(rooted(QStringLiteral("/p/top"))), [&](const QString &path) {
                ++reads;
                pageflow::Loaded l;
                l.ok = table.contains(path);
                l.missing = !l.ok;
                l.reason[0] = QStringLiteral("there is no such file");
                if (l.ok)
                    l.project = table.value(path);
                return l;
            });
        QCOMPARE(calls.refusal.problem, problem);
        QCOMPARE(calls.refusal.page, page);
        QCOMPARE(calls.refusal.file, file);
        QCOMPARE(calls.refusal.called, called);
        QCOMPARE(int(calls.byPath.size()), loaded);
        if (problem == Problem::None)
            QCOMPARE(reads, loaded);
    }

    // Names are written only where a page has one, so a project without
    // them is written as before; read back they are the same, and an older
    // reader's lists are untouched.
    void namesStored_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("written");
        QTest::newRow("none") << QStringList() << false;
        QTest::newRow("all empty") << QStringList{"", ""} << false;
        QTest::newRow("one") << QStringList{"", "loop"} << true;
        QTest::newRow("fewer than pages") << QStringList{"start"} << true;
    }

    void namesStored() {
        QFETCH(QStringList, names);
        QFETCH(bool, written);
        const Pages commands{kNone, goTo(names.value(1).isEmpty() ? QString() : names.value(1))};
        const Pages conditions{kNow, kNow};
        const QByteArray data = projectfile::serialize(commands, conditions, names);
        QCOMPARE(data.contains("list_name"), written);
        if (!written)
            QCOMPARE(data, projectfile::serialize(commands, conditions));
        const projectfile::LoadResult back = projectfile::parse(data);
        QCOMPARE(back.status, projectfile::LoadStatus::Ok);
        QCOMPARE(back.commands, commands);
        QStringList expected = names;
        while (expected.size() < commands.size())
            expected.append(QString());
        QCOMPARE(back.names, expected);
    }

    void namesRefused_data() {
        QTest::addColumn<QByteArray>("names");
        QTest::addColumn<projectfile::LoadStatus>("status");
        QTest::newRow("not an array") << QByteArray("\"a\"") << projectfile::LoadStatus::BadShape;
        QTest::newRow("too short") << QByteArray("[\"a\"]") << projectfile::LoadStatus::BadShape;
        QTest::newRow("not text") << QByteArray("[1, \"\"]") << projectfile::LoadStatus::BadShape;
        QTest::newRow("one name twice")
            << QByteArray("[\"a\", \"a\"]") << projectfile::LoadStatus::BadFlow;
        QTest::newRow("fine") << QByteArray("[\"a\", \"\"]") << projectfile::LoadStatus::Ok;
    }

    void namesRefused() {
        QFETCH(QByteArray, names);
        QFETCH(projectfile::LoadStatus, status);
        const QByteArray data = "{\"list_command\": [[\"なし\"], [\"なし\"]], \"list_condition\": "
                                "[[\"即時\"], [\"即時\"]], \"list_name\": " +
                                names + "}";
        const projectfile::LoadResult r = projectfile::parse(data);
        QCOMPARE(r.status, status);
        if (status == projectfile::LoadStatus::BadFlow)
            QVERIFY(projectfile::loadErrorText(r, {}, false).contains(QLatin1String("Page 2")));
    }

    // A called project read from disk: a missing one and one with a kind
    // this version does not know are named with the reason.
    void loadCalledFromDisk() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString good = dir.filePath(QStringLiteral("good.cmdat"));
        QCOMPARE(projectfile::save(good, {kNone, kNone}, {kNow, kNow}, {"", "end"}),
                 projectfile::SaveStatus::Ok);
        pageflow::Loaded l = projectfile::loadCalled(good);
        QVERIFY(l.ok);
        QCOMPARE(l.project.names, (QStringList{"", "end"}));

        l = projectfile::loadCalled(dir.filePath(QStringLiteral("none.cmdat")));
        QVERIFY(!l.ok);
        QVERIFY(l.missing);

        const QString odd = dir.filePath(QStringLiteral("odd.cmdat"));
        QFile file(odd);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"list_command\": [[\"未来\"]], \"list_condition\": [[\"即時\"]]}");
        file.close();
        l = projectfile::loadCalled(odd);
        QVERIFY(!l.ok);
        QVERIFY(!l.missing);
        QVERIFY2(l.reason[0].contains(QStringLiteral("未来")), qPrintable(l.reason[0]));
        QVERIFY2(l.reason[1].contains(QStringLiteral("未来")), qPrintable(l.reason[1]));
    }
};

QTEST_APPLESS_MAIN(PageFlowTest)
#include "unit_pageflow.moc"
