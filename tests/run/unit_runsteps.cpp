// Making a project's pages into run steps: every kind the program lists has
// its step, and a page of a kind this version does not know, or too short
// for its kind, is refused with the page, the list and the kind named.

#include "run/runsteps.h"

#include <QtTest>

using pagekinds::RecordProblem;
using pagekinds::Side;
using Pages = QList<QStringList>;

Q_DECLARE_METATYPE(pagekinds::Side)
Q_DECLARE_METATYPE(pagekinds::RecordProblem)

namespace {

const QStringList kNone{QStringLiteral("なし")};
const QStringList kNow{QStringLiteral("即時")};

} // namespace

class RunStepsTest : public QObject {
    Q_OBJECT

private slots:
    void everyKindHasItsStep_data() {
        QTest::addColumn<Side>("side");
        QTest::addColumn<QStringList>("record");
        const QTime now(12, 34);
        for (const pagekinds::Kind &kind : pagekinds::commands())
            QTest::newRow(qPrintable(QStringLiteral("command ") + kind.english))
                << Side::Command << kind.fresh(now);
        for (const pagekinds::Kind &kind : pagekinds::conditions())
            QTest::newRow(qPrintable(QStringLiteral("condition ") + kind.english))
                << Side::Condition << kind.fresh(now);
    }
    void everyKindHasItsStep() {
        QFETCH(Side, side);
        QFETCH(QStringList, record);
        const bool command = side == Side::Command;
        QVERIFY(command ? runsteps::actionFor(record.first()) != nullptr
                        : runsteps::conditionFor(record.first()) != nullptr);
        // The record "追加" puts on a page runs, as the second of two pages.
        const Pages commands{kNone, command ? record : kNone};
        const Pages conditions{kNow, command ? kNow : record};
        const runsteps::Compiled compiled = runsteps::compile(commands, conditions);
        QVERIFY2(!compiled.refusal.refused(),
                 qPrintable(runsteps::refusalText(compiled.refusal, false)));
        QCOMPARE(int(compiled.steps.size()), 2);
        for (const runsteps::Step &step : compiled.steps)
            QVERIFY(step.action && step.condition);
    }

    void refused_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::addColumn<int>("page");
        QTest::addColumn<Side>("side");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<RecordProblem>("problem");
        const QStringList click{"クリック", "左", "0.1"};
        QTest::newRow("unknown command")
            << Pages{click, {"ジャンプ", "1"}} << Pages{kNow, kNow} << 2 << Side::Command
            << "ジャンプ" << RecordProblem::UnknownKind;
        // Known as a command, not as a condition.
        QTest::newRow("command kind as condition")
            << Pages{click} << Pages{{"入力", "x", "1"}} << 1 << Side::Condition << "入力"
            << RecordProblem::UnknownKind;
        QTest::newRow("unknown condition")
            << Pages{click, click, click} << Pages{kNow, kNow, {"いつか", "5"}} << 3
            << Side::Condition << "いつか" << RecordProblem::UnknownKind;
        QTest::newRow("short click") << Pages{{"クリック", "左"}} << Pages{kNow} << 1
                                     << Side::Command << "クリック" << RecordProblem::TooShort;
        QTest::newRow("short smooth move")
            << Pages{{"スムーズムーブ", "1", "2"}} << Pages{kNow} << 1 << Side::Command
            << "スムーズムーブ" << RecordProblem::TooShort;
        // Each once played with its missing values read as 0 or empty text.
        QTest::newRow("short key") << Pages{{"キー"}} << Pages{kNow} << 1 << Side::Command << "キー"
                                   << RecordProblem::TooShort;
        QTest::newRow("short pointer")
            << Pages{{"マウスポインター"}} << Pages{kNow} << 1 << Side::Command
            << "マウスポインター" << RecordProblem::TooShort;
        QTest::newRow("short text") << Pages{{"入力"}} << Pages{kNow} << 1 << Side::Command
                                    << "入力" << RecordProblem::TooShort;
        QTest::newRow("short key condition")
            << Pages{click} << Pages{{"キー"}} << 1 << Side::Condition << "キー"
            << RecordProblem::TooShort;
        QTest::newRow("short wait until over")
            << Pages{click} << Pages{{"終わるまで待つ"}} << 1 << Side::Condition << "終わるまで待つ"
            << RecordProblem::TooShort;
        QTest::newRow("short clock time") << Pages{click} << Pages{{"時刻", "12"}} << 1
                                          << Side::Condition << "時刻" << RecordProblem::TooShort;
        QTest::newRow("short window")
            << Pages{{"ウィンドウ切替", "メモ", "含む", ""}} << Pages{kNow} << 1 << Side::Command
            << "ウィンドウ切替" << RecordProblem::TooShort;
        QTest::newRow("window pointer without Y")
            << Pages{{"ウィンドウ座標", "メモ", "含む", "", "5"}} << Pages{kNow} << 1
            << Side::Command << "ウィンドウ座標" << RecordProblem::TooShort;
        QTest::newRow("short window condition")
            << Pages{click} << Pages{{"ウィンドウ", "メモ", "含む", ""}} << 1 << Side::Condition
            << "ウィンドウ" << RecordProblem::TooShort;
        QTest::newRow("window condition as command")
            << Pages{{"ウィンドウ", "メモ", "含む", "", "ある"}} << Pages{kNow} << 1
            << Side::Command << "ウィンドウ" << RecordProblem::UnknownKind;
        QTest::newRow("empty command")
            << Pages{{}} << Pages{kNow} << 1 << Side::Command << "" << RecordProblem::Empty;
        QTest::newRow("empty condition")
            << Pages{click} << Pages{{}} << 1 << Side::Condition << "" << RecordProblem::Empty;
        // The first page that cannot be played is the one named.
        QTest::newRow("first of two") << Pages{{"?"}, {"!"}} << Pages{kNow, kNow} << 1
                                      << Side::Command << "?" << RecordProblem::UnknownKind;
    }
    void refused() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        QFETCH(int, page);
        QFETCH(Side, side);
        QFETCH(QString, kind);
        QFETCH(RecordProblem, problem);
        const runsteps::Compiled compiled = runsteps::compile(commands, conditions);
        QVERIFY(compiled.refusal.refused());
        QVERIFY(compiled.steps.empty());
        QCOMPARE(compiled.refusal.page, page);
        QCOMPARE(compiled.refusal.side, side);
        QCOMPARE(compiled.refusal.kind, kind);
        QCOMPARE(compiled.refusal.problem, problem);
    }

    void missingConditionsGoOnAtOnce() {
        // Fewer conditions than commands: the pages without one do not wait.
        const runsteps::Compiled compiled =
            runsteps::compile({{"マウスポインター", "1", "2"}, {"なし"}}, {});
        QVERIFY(!compiled.refusal.refused());
        QCOMPARE(int(compiled.steps.size()), 2);
    }

    void refusalNamesPageListAndKind_data() {
        QTest::addColumn<RecordProblem>("problem");
        QTest::addColumn<Side>("side");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown, ja")
            << RecordProblem::UnknownKind << Side::Command << true
            << "3ページ目の操作「ジャンプ」はこのバージョンでは実行できません。\n"
               "実行は開始されませんでした。";
        QTest::newRow("short, ja") << RecordProblem::TooShort << Side::Condition << true
                                   << "3ページ目の条件「ジャンプ」は値が足りません。\n"
                                      "実行は開始されませんでした。";
        QTest::newRow("unknown, en")
            << RecordProblem::UnknownKind << Side::Condition << false
            << "page 3: the condition \"ジャンプ\" is not known to this version; the run was not "
               "started";
        QTest::newRow("empty, en") << RecordProblem::Empty << Side::Command << false
                                   << "page 3: the command is empty; the run was not started";
    }
    void refusalNamesPageListAndKind() {
        QFETCH(RecordProblem, problem);
        QFETCH(Side, side);
        QFETCH(bool, japanese);
        QFETCH(QString, text);
        runsteps::Refusal refusal;
        refusal.page = 3;
        refusal.side = side;
        refusal.kind = QStringLiteral("ジャンプ");
        refusal.problem = problem;
        QCOMPARE(runsteps::refusalText(refusal, japanese), text);
        // One line on the command line.
        if (!japanese)
            QVERIFY(!text.contains(QLatin1Char('\n')));
    }
};

QTEST_GUILESS_MAIN(RunStepsTest)
#include "unit_runsteps.moc"
