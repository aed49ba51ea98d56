#include "core/pagerecords.h"

#include <QTest>

using namespace pagerecords;

class PageRecordsTest : public QObject {
    Q_OBJECT

private:
    PageList commands;
    PageList conditions;
    int currentPage = 1;
    Project project() { return Project{commands, conditions, currentPage}; }

    // A project whose pages are told apart by their command kind.
    void makeProject(const QStringList &kinds, int current) {
        commands.clear();
        conditions.clear();
        for (const QString &k : kinds) {
            commands.append(QStringList{k});
            conditions.append(newPageCondition());
        }
        currentPage = current;
    }
    QStringList kinds() const {
        QStringList out;
        for (const QStringList &c : commands)
            out << c.value(0);
        return out;
    }

private slots:
    void freshCommand_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("record");
        QTest::newRow("none") << "なし" << QStringList{"なし"};
        QTest::newRow("click") << "クリック" << QStringList{"クリック", "左", "0.01"};
        QTest::newRow("pointer") << "マウスポインター" << QStringList{"マウスポインター", "0", "0"};
        QTest::newRow("smooth") << "スムーズムーブ" << QStringList{"スムーズムーブ", "0", "0", "1"};
        QTest::newRow("key") << "キー" << QStringList{"キー", "", "0.01"};
        QTest::newRow("text") << "入力" << QStringList{"入力", "", "3"};
        QTest::newRow("unknown") << "Click" << QStringList{};
    }
    void freshCommand() {
        QFETCH(QString, kind);
        QFETCH(QStringList, record);
        QCOMPARE(freshCommandRecord(kind), record);
    }

    void freshCondition_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QStringList>("record");
        const QTime t(9, 5, 30);
        QTest::newRow("wait") << "終わるまで待つ" << t << QStringList{"終わるまで待つ", "0.1"};
        QTest::newRow("time") << "時間" << t << QStringList{"時間", "0.1"};
        QTest::newRow("now") << "即時" << t << QStringList{"即時"};
        QTest::newRow("click") << "クリック" << t << QStringList{"クリック", "左"};
        QTest::newRow("key") << "キー" << t << QStringList{"キー", ""};
        QTest::newRow("clock 09:05") << "時刻" << t << QStringList{"時刻", "9", "5"};
        QTest::newRow("clock 23:59") << "時刻" << QTime(23, 59) << QStringList{"時刻", "23", "59"};
        QTest::newRow("clock 00:00") << "時刻" << QTime(0, 0) << QStringList{"時刻", "0", "0"};
    }
    void freshCondition() {
        QFETCH(QString, kind);
        QFETCH(QTime, now);
        QFETCH(QStringList, record);
        QCOMPARE(freshConditionRecord(kind, now), record);
    }

    void seconds_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("min") << 0.01 << "0.01";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("one") << 1.0 << "1";
        QTest::newRow("fraction") << 2.5 << "2.5";
        QTest::newRow("max") << 1000.0 << "1000";
        QTest::newRow("spin value") << 0.25 << "0.25";
        QTest::newRow("six digits") << 1000.0 / 3 << "333.333";
    }
    void seconds() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(secondsText(value), text);
    }

    void kindTexts_data() {
        QTest::addColumn<bool>("condition");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("listLabel"); // English page list label
        QTest::newRow("none") << false << "None"
                              << "なし"
                              << "None";
        QTest::newRow("click") << false << "Click"
                               << "クリック"
                               << "Click";
        QTest::newRow("pointer") << false << "Mouse Pointer"
                                 << "マウスポインター"
                                 << "Mouse Pointer";
        QTest::newRow("smooth") << false << "Smooth Move"
                                << "スムーズムーブ"
                                << "Smooth Move";
        QTest::newRow("key") << false << "Key"
                             << "キー"
                             << "key";
        QTest::newRow("text") << false << "Enter Text"
                              << "入力"
                              << "Enter Text";
        QTest::newRow("c wait") << true << "Wait until over"
                                << "終わるまで待つ"
                                << "";
        QTest::newRow("c time") << true << "Time"
                                << "時間"
                                << "";
        QTest::newRow("c now") << true << "Immediately"
                               << "即時"
                               << "";
        QTest::newRow("c click") << true << "Click"
                                 << "クリック"
                                 << "";
        QTest::newRow("c key") << true << "Key"
                               << "キー"
                               << "";
        QTest::newRow("c clock") << true << "Clock Time"
                                 << "時刻"
                                 << "";
    }
    void kindTexts() {
        QFETCH(bool, condition);
        QFETCH(QString, english);
        QFETCH(QString, kind);
        QFETCH(QString, listLabel);
        if (condition) {
            QCOMPARE(conditionKindFromMenuText(english, false), kind);
            QCOMPARE(conditionKindFromMenuText(kind, true), kind);
            QCOMPARE(conditionKindLabel(kind, false), english);
            QCOMPARE(conditionKindLabel(kind, true), kind);
        } else {
            QCOMPARE(commandKindFromMenuText(english, false), kind);
            QCOMPARE(commandKindFromMenuText(kind, true), kind);
            QCOMPARE(commandKindLabel(kind, false), english);
            QCOMPARE(commandKindLabel(kind, true), kind);
            QCOMPARE(pageListLabel(kind, false), listLabel);
            QCOMPARE(pageListLabel(kind, true), kind);
        }
    }

    void unknownKinds() {
        // Kinds only a file can bring: no label (the label keeps its text),
        // and the page list shows the stored text.
        QVERIFY(commandKindLabel("謎", true).isNull());
        QVERIFY(conditionKindLabel("時間 ", false).isNull());
        QVERIFY(conditionKindLabel("なし", true).isNull()); // a command kind only
        QCOMPARE(pageListLabel("謎", false), QString("謎"));
    }

    void blankPage_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QStringList>("condition");
        QTest::addColumn<bool>("blank");
        QTest::newRow("none + time 0.1")
            << QStringList{"なし"} << QStringList{"時間", "0.1"} << true;
        QTest::newRow("fresh page") << newPageCommand() << newPageCondition() << false;
        QTest::newRow("time 0.10") << QStringList{"なし"} << QStringList{"時間", "0.10"} << false;
        QTest::newRow("extra element")
            << QStringList{"なし"} << QStringList{"時間", "0.1", ""} << false;
        QTest::newRow("click command")
            << QStringList{"クリック", "左", "0.01"} << QStringList{"時間", "0.1"} << false;
        QTest::newRow("empty records") << QStringList{} << QStringList{} << false;
    }
    void blankPage() {
        QFETCH(QStringList, command);
        QFETCH(QStringList, condition);
        QFETCH(bool, blank);
        QCOMPARE(isBlankPage(command, condition), blank);
    }

    void missingKey_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("missing");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("none") << "なし" << true;
        QTest::newRow("key") << "65,0" << false;
        QTest::newRow("unreadable") << "x" << false;
    }
    void missingKey() {
        QFETCH(QString, text);
        QFETCH(bool, missing);
        QCOMPARE(isMissingKey(text), missing);
    }

    void pageListTexts_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("first") << 1 << true << QStringList{"+", "1.なし", "+", "2.キー", "3.入力"};
        QTest::newRow("middle") << 2 << true << QStringList{"1.なし", "+", "2.キー", "+", "3.入力"};
        QTest::newRow("last") << 3 << true << QStringList{"1.なし", "2.キー", "+", "3.入力", "+"};
        QTest::newRow("english") << 2 << false
                                 << QStringList{"1.None", "+", "2.key", "+", "3.Enter Text"};
    }
    void pageListTexts() {
        QFETCH(int, current);
        QFETCH(bool, japanese);
        QFETCH(QStringList, texts);
        makeProject({"なし", "キー", "入力"}, current);
        const QStringList got = pagerecords::pageListTexts(commands, current, japanese);
        QCOMPARE(got, texts);
        // The current page's entry sits at row currentPage.
        QCOMPARE(pageNumberOfEntry(got.at(current)), current);
    }

    void entryNumbers() {
        QCOMPARE(pageNumberOfEntry("12.キー"), 12);
        QCOMPARE(pageNumberOfEntry("3.Mouse Pointer"), 3);
        QCOMPARE(pageNumberOfEntry("4.謎.x"), 4);
        QCOMPARE(pageNumberOfEntry("+"), 0);
        QCOMPARE(pageNumberOfEntry(".x"), 0);
        QCOMPARE(pageNumberOfEntry("0.なし"), 0);
    }

    void navigationAtBothEnds() {
        makeProject({"A", "B"}, 2);
        project().goNext(); // past the last page: a new page is appended
        QCOMPARE(currentPage, 3);
        QCOMPARE(commands.size(), 3);
        QCOMPARE(conditions.size(), 3);
        QCOMPARE(commands.last(), newPageCommand());
        QCOMPARE(conditions.last(), newPageCondition());

        currentPage = 1;
        project().goNext(); // inside the project: nothing is added
        QCOMPARE(currentPage, 2);
        QCOMPARE(commands.size(), 3);

        currentPage = 1;
        project().goPrevious();
        QCOMPARE(currentPage, 1);
        currentPage = 3;
        project().goPrevious();
        QCOMPARE(currentPage, 2);
    }

    void plusInsertion_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("above");
        QTest::addColumn<int>("newCurrent");
        QTest::addColumn<QStringList>("kindsAfter");
        QTest::newRow("above 3") << 3 << true << 3 << QStringList{"A", "B", "なし", "C", "D"};
        QTest::newRow("below 3") << 3 << false << 4 << QStringList{"A", "B", "C", "なし", "D"};
        QTest::newRow("above 1") << 1 << true << 1 << QStringList{"なし", "A", "B", "C", "D"};
        QTest::newRow("below last") << 4 << false << 5 << QStringList{"A", "B", "C", "D", "なし"};
    }
    void plusInsertion() {
        QFETCH(int, current);
        QFETCH(bool, above);
        QFETCH(int, newCurrent);
        QFETCH(QStringList, kindsAfter);
        makeProject({"A", "B", "C", "D"}, current);
        // Take the row from the page list texts, as the list shows them.
        const QStringList texts = pagerecords::pageListTexts(commands, current, true);
        const int row = above ? texts.indexOf("+") : texts.lastIndexOf("+");
        project().insertAtPlusRow(row);
        QCOMPARE(currentPage, newCurrent);
        QCOMPARE(kinds(), kindsAfter);
        QCOMPARE(conditions.size(), commands.size());
        QCOMPARE(conditions.at(newCurrent - 1), newPageCondition());
    }

    void deletion_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("newCurrent");
        QTest::addColumn<QStringList>("kindsAfter");
        QTest::newRow("first") << 1 << 1 << QStringList{"B", "C"};
        QTest::newRow("middle") << 2 << 1 << QStringList{"A", "C"};
        QTest::newRow("last") << 3 << 2 << QStringList{"A", "B"};
    }
    void deletion() {
        QFETCH(int, current);
        QFETCH(int, newCurrent);
        QFETCH(QStringList, kindsAfter);
        makeProject({"A", "B", "C"}, current);
        QVERIFY(project().deleteCurrent());
        QCOMPARE(currentPage, newCurrent);
        QCOMPARE(kinds(), kindsAfter);
        QCOMPARE(conditions.size(), 2);
    }

    void deletionKeepsLastPage() {
        makeProject({"A"}, 1);
        QVERIFY(!project().deleteCurrent());
        QCOMPARE(kinds(), QStringList{"A"});
        QCOMPARE(conditions.size(), 1);
    }
};

QTEST_GUILESS_MAIN(PageRecordsTest)
#include "unit_pagerecords.moc"
