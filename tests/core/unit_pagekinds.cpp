// The kind registry row by row: what "追加" puts on a page, the names the
// menus and labels give it, the reader's minimum lengths, and its row in the
// file format document that people generating projects go by.

#include "core/pagekinds.h"
#include "core/pagerecords.h"
#include "core/projectfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using pagekinds::Kind;
using pagekinds::RecordProblem;
using pagekinds::Side;

Q_DECLARE_METATYPE(Side)
Q_DECLARE_METATYPE(RecordProblem)

namespace {

QString sideName(Side side) {
    return side == Side::Command ? QStringLiteral("command") : QStringLiteral("condition");
}

// The stored name and element count of every row of a side's kind table in
// docs/file-format.md: the table under the heading "## <title>", rows
// "| `stored` | count | ...".
QHash<QString, int> documentedKinds(const QString &document, const QString &title) {
    QHash<QString, int> rows;
    const int start = document.indexOf(QStringLiteral("\n## ") + title + QLatin1Char('\n'));
    if (start < 0)
        return rows;
    const int end = document.indexOf(QStringLiteral("\n## "), start + 1);
    const QString section = document.mid(start, end < 0 ? -1 : end - start);
    static const QRegularExpression row(QStringLiteral("^\\| `([^`]*)` \\| (\\d+) \\|"),
                                        QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(section); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        rows.insert(m.captured(1), m.captured(2).toInt());
    }
    return rows;
}

QString fileFormatDocument() {
    QFile file(QStringLiteral(TARNWICK_TEST_DATA "/../../docs/file-format.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class PageKindsTest : public QObject {
    Q_OBJECT

private slots:
    void everyRow_data() {
        QTest::addColumn<Side>("side");
        QTest::addColumn<int>("index");
        for (Side side : {Side::Command, Side::Condition}) {
            const QList<Kind> &rows = pagekinds::all(side);
            for (int i = 0; i < rows.size(); ++i)
                QTest::addRow("%s %s", qPrintable(sideName(side)), qPrintable(rows.at(i).english))
                    << side << i;
        }
    }

    void everyRow() {
        QFETCH(Side, side);
        QFETCH(int, index);
        const Kind &row = pagekinds::all(side).at(index);
        QCOMPARE(row.side, side);
        QCOMPARE(pagekinds::find(side, row.stored), &row);

        // "追加" puts a record on the page that the reader and the run accept.
        QVERIFY(row.fresh);
        const QStringList fresh = row.fresh(QTime(23, 59));
        QCOMPARE(fresh.size(), row.elements);
        QCOMPARE(fresh.first(), row.stored);
        QCOMPARE(pagekinds::check(side, fresh), RecordProblem::None);
        QCOMPARE(side == Side::Command
                     ? pagerecords::freshCommandRecord(row.stored)
                     : pagerecords::freshConditionRecord(row.stored, QTime(23, 59)),
                 fresh);
        if (row.elements > 1)
            QCOMPARE(pagekinds::check(side, fresh.mid(0, row.elements - 1)),
                     RecordProblem::TooShort);
        // Further elements are kept and do no harm.
        QCOMPARE(pagekinds::check(side, fresh + QStringList{"x"}), RecordProblem::None);

        // A menu item's text leads back to the row in either language, and
        // the kind label says what the menu said.
        for (bool japanese : {true, false}) {
            const QString text = pagekinds::menuText(row, japanese);
            QVERIFY(!text.isEmpty());
            QCOMPARE(pagekinds::findByMenuText(side, text, japanese), &row);
            if (side == Side::Command) {
                QCOMPARE(pagerecords::commandKindFromMenuText(text, japanese), row.stored);
                QCOMPARE(pagerecords::commandKindLabel(row.stored, japanese), text);
            } else {
                QCOMPARE(pagerecords::conditionKindFromMenuText(text, japanese), row.stored);
                QCOMPARE(pagerecords::conditionKindLabel(row.stored, japanese), text);
            }
        }
        QCOMPARE(row.japanese, row.stored);
        // Its Help Mode line, in both languages, begins with its name.
        QVERIFY(row.help.japanese().startsWith(row.japanese + QLatin1Char(':')));
        QVERIFY(row.help.in(false).contains(QLatin1Char(':')));
        if (side == Side::Command)
            QCOMPARE(pagerecords::pageListLabel(row.stored, false), row.englishInList);
    }

    // Names must tell the rows of one side apart, or a file or a menu item
    // would stand for two kinds.
    void namesDistinct_data() {
        QTest::addColumn<Side>("side");
        QTest::newRow("commands") << Side::Command;
        QTest::newRow("conditions") << Side::Condition;
    }

    void namesDistinct() {
        QFETCH(Side, side);
        const QList<Kind> &rows = pagekinds::all(side);
        QVERIFY(!rows.isEmpty());
        QSet<QString> stored, japanese, english, inList;
        for (const Kind &row : rows) {
            QVERIFY(!row.stored.isEmpty());
            stored.insert(row.stored);
            japanese.insert(row.japanese);
            english.insert(row.english);
            inList.insert(row.englishInList);
        }
        QCOMPARE(stored.size(), rows.size());
        QCOMPARE(japanese.size(), rows.size());
        QCOMPARE(english.size(), rows.size());
        if (side == Side::Command)
            QCOMPARE(inList.size(), rows.size());
    }

    void unknownNames_data() {
        QTest::addColumn<Side>("side");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << Side::Command << "";
        QTest::newRow("null") << Side::Condition << QString();
        QTest::newRow("made up") << Side::Command << "謎";
        QTest::newRow("English menu text") << Side::Command << "Click";
        QTest::newRow("trailing blank") << Side::Condition << "時間 ";
        QTest::newRow("condition kind as command") << Side::Command << "時刻";
        QTest::newRow("command kind as condition") << Side::Condition << "なし";
    }

    void unknownNames() {
        QFETCH(Side, side);
        QFETCH(QString, name);
        QVERIFY(!pagekinds::find(side, name));
        QCOMPARE(pagekinds::check(side, {name, "1", "2", "3"}), RecordProblem::UnknownKind);
        QVERIFY(!pagekinds::findByMenuText(side, name, true));
        QVERIFY((side == Side::Command ? pagerecords::freshCommandRecord(name)
                                       : pagerecords::freshConditionRecord(name, QTime(9, 0)))
                    .isEmpty());
        QCOMPARE(pagekinds::check(side, {}), RecordProblem::Empty);
    }

    // docs/file-format.md has a row for every kind with the element count the
    // reader wants, and no row for a kind this version does not have.
    void documentedInFileFormat_data() {
        QTest::addColumn<Side>("side");
        QTest::addColumn<QString>("title");
        QTest::newRow("commands") << Side::Command << "Command kinds";
        QTest::newRow("conditions") << Side::Condition << "Condition kinds";
    }

    void documentedInFileFormat() {
        QFETCH(Side, side);
        QFETCH(QString, title);
        const QString document = fileFormatDocument();
        QVERIFY2(!document.isEmpty(), "docs/file-format.md is missing");
        const QHash<QString, int> documented = documentedKinds(document, title);
        for (const Kind &row : pagekinds::all(side)) {
            QVERIFY2(
                documented.contains(row.stored),
                qPrintable(QStringLiteral("no row for %1 under \"## %2\"").arg(row.stored, title)));
            QCOMPARE(documented.value(row.stored), row.elements);
        }
        QCOMPARE(documented.size(), pagekinds::all(side).size());
    }

    // The document's example is a project the reader takes as it stands.
    void fileFormatExampleReads() {
        const QString document = fileFormatDocument();
        const int start = document.indexOf(QStringLiteral("```json\n"));
        QVERIFY(start >= 0);
        const int end = document.indexOf(QStringLiteral("```"), start + 8);
        QVERIFY(end > start);
        const QByteArray json = document.mid(start + 8, end - start - 8).toUtf8();
        const projectfile::LoadResult r = projectfile::parse(json);
        QCOMPARE(r.status, projectfile::LoadStatus::Ok);
        QVERIFY(r.commands.size() > 1);
        // Written as the editor writes it, byte for byte.
        QCOMPARE(projectfile::serialize(r.commands, r.conditions), json);
    }
};

QTEST_GUILESS_MAIN(PageKindsTest)
#include "unit_pagekinds.moc"
