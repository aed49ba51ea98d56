// The manuals as shipped: both languages have the same sections, every
// picture and link they name exists, and every kind of page has its section,
// which the editor's panes open the manual at.

#include "core/manualtext.h"
#include "core/pagekinds.h"

#include <QDir>
#include <QDirIterator>
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

    // A fence left open turns the rest of a document into code: its
    // headings, links and pictures are lost.
    void codeFences_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<int>("openAt");
        QTest::newRow("closed") << "a\n```sh\nx\n```\nb\n" << 0;
        QTest::newRow("never closed") << "a\n\n```ini\n[x]\n\n## Next\n" << 3;
        QTest::newRow("second one open") << "```\n```\ntext\n  ```\n" << 4;
        QTest::newRow("shorter mark does not close") << "````\n```\n" << 1;
        QTest::newRow("longer mark closes") << "```\n`````\n" << 0;
        QTest::newRow("tildes do not close backticks") << "```\n~~~\n" << 1;
        QTest::newRow("tildes") << "~~~ text\n```\n~~~\n" << 0;
        QTest::newRow("closing fence takes no info") << "```\n```sh\n" << 1;
        QTest::newRow("indented code is no fence") << "    ```\nx\n" << 0;
        QTest::newRow("inline code is no fence") << "``` a ` b\n" << 0;
    }
    void codeFences() {
        QFETCH(QString, markdown);
        QFETCH(int, openAt);
        QCOMPARE(manualtext::unclosedFence(markdown), openAt);
    }

    void everyDocumentClosesItsFences_data() {
        QTest::addColumn<QString>("path");
        const QDir top(QDir::cleanPath(docsDir() + QStringLiteral("/..")));
        QStringList files = {top.filePath(QStringLiteral("README.md")),
                             top.filePath(QStringLiteral("CONTRIBUTING.md"))};
        for (const QString &folder : {QStringLiteral("docs"), QStringLiteral("bench"),
                                      QStringLiteral("examples"), QStringLiteral("packaging")}) {
            QDirIterator it(top.filePath(folder), {QStringLiteral("*.md")}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        }
        for (const QString &file : files)
            QTest::newRow(qPrintable(top.relativeFilePath(file))) << file;
        QVERIFY(files.size() > 6);
    }
    void everyDocumentClosesItsFences() {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        QCOMPARE(manualtext::unclosedFence(QString::fromUtf8(file.readAll())), 0);
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
