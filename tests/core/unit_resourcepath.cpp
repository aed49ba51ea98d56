// Shipped files are found beside the executable (portable copy, build folder)
// and in share/tarnwick of an installed copy; the working directory comes
// first for relative paths.

#include "core/resourcepath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void touch(const QString &path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class ResourcePathTest : public QObject {
    Q_OBJECT

private slots:
    void shipped_data() {
        QTest::addColumn<QStringList>("present"); // relative to the prefix
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("found");
        const QString icon = QStringLiteral("image/SystemTrayIcon.png");
        const QString licence = QStringLiteral("licenses/告知.txt");
        QTest::newRow("portable") << QStringList{"bin/" + icon} << icon << "bin/" + icon;
        QTest::newRow("installed")
            << QStringList{"share/tarnwick/" + icon} << icon << "share/tarnwick/" + icon;
        QTest::newRow("beside wins")
            << QStringList{"bin/" + icon, "share/tarnwick/" + icon} << icon << "bin/" + icon;
        QTest::newRow("leading slash, installed") << QStringList{"share/tarnwick/" + licence}
                                                  << "/" + licence << "share/tarnwick/" + licence;
        QTest::newRow("missing names the place beside") << QStringList{} << icon << "bin/" + icon;
        QTest::newRow("other program's share is not ours")
            << QStringList{"share/other/" + icon} << icon << "bin/" + icon;
    }
    void shipped() {
        QFETCH(QStringList, present);
        QFETCH(QString, asked);
        QFETCH(QString, found);
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QDir().mkpath(prefix.filePath("bin"));
        for (const QString &file : present)
            touch(prefix.filePath(file));
        QCOMPARE(resourcepath::shippedFile(asked, prefix.filePath("bin")),
                 QDir::cleanPath(prefix.filePath(found)));
    }

    void documents_data() {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("found");
        QTest::newRow("portable") << QStringList{"bin/doc/manual.md"} << "bin/doc/manual.md";
        QTest::newRow("installed")
            << QStringList{"share/doc/tarnwick/manual.md"} << "share/doc/tarnwick/manual.md";
        QTest::newRow("beside wins")
            << QStringList{"bin/doc/manual.md", "share/doc/tarnwick/manual.md"}
            << "bin/doc/manual.md";
        QTest::newRow("not the data folder")
            << QStringList{"share/tarnwick/manual.md"} << "bin/doc/manual.md";
    }
    void documents() {
        QFETCH(QStringList, present);
        QFETCH(QString, found);
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QDir().mkpath(prefix.filePath("bin"));
        for (const QString &file : present)
            touch(prefix.filePath(file));
        QCOMPARE(resourcepath::shippedDocument("manual.md", prefix.filePath("bin")),
                 QDir::cleanPath(prefix.filePath(found)));
    }

    void workingDirectoryFirst() {
        QTemporaryDir prefix;
        QTemporaryDir work;
        QVERIFY(prefix.isValid() && work.isValid());
        touch(prefix.filePath("share/tarnwick/image/danger.png"));
        const QString bin = prefix.filePath("bin");
        QDir().mkpath(bin);
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        // Not in the working directory: the installed copy.
        QCOMPARE(resourcepath::runtimeFile("image/danger.png", bin),
                 QDir::cleanPath(prefix.filePath("share/tarnwick/image/danger.png")));
        touch(work.filePath("image/danger.png"));
        QCOMPARE(resourcepath::runtimeFile("image/danger.png", bin), QString("image/danger.png"));
        QVERIFY(QDir::setCurrent(saved));
    }
};

QTEST_GUILESS_MAIN(ResourcePathTest)
#include "unit_resourcepath.moc"
