// The manuals as shipped: both languages have the same sections, every
// picture and link they name exists, and every kind of page has its section,
// which the editor's panes open the manual at.

#include "core/manualtext.h"
#include "core/pagekinds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtTest>

namespace {

QString docsDir() {
    return QDir::cleanPath(QStringLiteral(TARNWICK_TEST_DATA "/../../docs"));
}

QString readManual(bool japanese) {
    QFile file(QDir(docsDir()).filePath(manualtext::fileName(japanese)));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

class ManualTest : public QObject {
    Q_OBJECT

private slots:
    void readingMarkdown() {
        const QString md = QStringLiteral("# Top\n"
                                          "See [a](#sub-part) and ![p](images/p.png).\n"
                                          "```\n# not a heading [x](y)\n```\n"
                                          "## Sub part ##\n"
                                          "`[code](z)` [b](other.md)\n"
                                          "### Click\n"
                                          "## Conditions\n"
                                          "### Click\n"
                                          "#nospace\n");
        const QList<manualtext::Heading> list = manualtext::headings(md);
        QStringList texts;
        for (const auto &h : list)
            texts << QString::number(h.level) + h.text;
        QCOMPARE(texts, QStringList({"1Top", "2Sub part", "3Click", "2Conditions", "3Click"}));

        QCOMPARE(manualtext::find(list, {"Conditions", "Click"}), 4);
        QCOMPARE(manualtext::find(list, {"Sub part", "Click"}), 2);
        QCOMPARE(manualtext::find(list, {"Top", "Conditions"}), 3);
        // Not below the part named first.
        QCOMPARE(manualtext::find(list, {"Conditions", "Sub part"}), -1);
        QCOMPARE(manualtext::find(list, {"Missing"}), -1);

        QStringList targets;
        for (const auto &l : manualtext::links(md))
            targets << (l.image ? "!" : "") + l.target;
        QCOMPARE(targets, QStringList({"#sub-part", "!images/p.png", "other.md"}));

        QCOMPARE(manualtext::slug(QStringLiteral("A first project")),
                 QStringLiteral("a-first-project"));
        QCOMPARE(manualtext::slug(QStringLiteral("Files and settings (v2)")),
                 QStringLiteral("files-and-settings-v2"));
        QCOMPARE(manualtext::slug(QStringLiteral("操作の記録")), QStringLiteral("操作の記録"));
    }

    void bothLanguagesHaveTheSameSections() {
        const auto ja = manualtext::headings(readManual(true));
        const auto en = manualtext::headings(readManual(false));
        QVERIFY(!en.isEmpty());
        QStringList jaLevels, enLevels;
        for (const auto &h : ja)
            jaLevels << QString::number(h.level) + QLatin1Char(' ') + h.text;
        for (const auto &h : en)
            enLevels << QString::number(h.level) + QLatin1Char(' ') + h.text;
        QCOMPARE(ja.size(), en.size());
        for (int i = 0; i < en.size(); ++i)
            QVERIFY2(ja.at(i).level == en.at(i).level,
                     qPrintable(QStringLiteral("%1 / %2").arg(jaLevels.at(i), enLevels.at(i))));
    }

    // Each section shows the same pictures, in its own language.
    void picturesMatchAcrossLanguages() {
        auto pictures = [](bool japanese) {
            QStringList list;
            for (const auto &l : manualtext::links(readManual(japanese))) {
                if (l.image)
                    list << l.target;
            }
            return list;
        };
        const QStringList ja = pictures(true);
        QStringList en = pictures(false);
        QVERIFY(!en.isEmpty());
        for (QString &p : en)
            p.replace(QStringLiteral("-en.png"), QStringLiteral("-ja.png"));
        QCOMPARE(ja, en);
    }

    void everyPictureAndLinkExists_data() {
        QTest::addColumn<bool>("japanese");
        QTest::newRow("ja") << true;
        QTest::newRow("en") << false;
    }
    void everyPictureAndLinkExists() {
        QFETCH(bool, japanese);
        const QString md = readManual(japanese);
        QSet<QString> anchors;
        for (const auto &h : manualtext::headings(md))
            anchors.insert(manualtext::slug(h.text));
        QStringList missing;
        for (const auto &l : manualtext::links(md)) {
            if (l.target.contains(QLatin1String("://")))
                continue;
            if (l.target.startsWith(QLatin1Char('#'))) {
                if (!anchors.contains(l.target.mid(1)))
                    missing << l.target;
            } else if (!QFileInfo::exists(QDir(docsDir()).filePath(l.target))) {
                missing << l.target;
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
    }

    // The editor opens the manual at the section of the page's kind.
    void everyKindHasItsSection() {
        const auto en = manualtext::headings(readManual(false));
        QStringList missing;
        for (const auto &kind : pagekinds::commands()) {
            if (manualtext::find(en, {manualtext::commandsHeading, kind.english}) < 0)
                missing << kind.english;
        }
        for (const auto &kind : pagekinds::conditions()) {
            if (manualtext::find(en, {manualtext::conditionsHeading, kind.english}) < 0)
                missing << kind.english;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(ManualTest)
#include "unit_manual.moc"
