// tarnwick --run on the headless GNOME Shell of scripts/gnome.sh, as a user
// runs it: the program picks the GNOME backend itself, a Window page brings
// the named GTK window up through our shell extension, and the text after
// it, typed and pasted, arrives there exactly.

#include "platform/gnome/mutterremote.h"
#include "support/gnomesession.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kEntryTitle = QStringLiteral("tarnwick gnome entry");
const QString kOtherTitle = QStringLiteral("tarnwick gnome other");

} // namespace

class GnomeRunPagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;
    // A keyboard on the headless seat, as a real one would be: without one no
    // window has the keyboard focus.
    platform::gnome::MutterRemote keyboard_;

private slots:
    void initTestCase() {
        QString why;
        QVERIFY2(testsupport::useGnomeSession(why), qPrintable(why));
        QVERIFY(scratch_.isValid());
        std::string error;
        QVERIFY2(keyboard_.open(error), error.c_str());
        keyboard_.keycode(42, true); // Shift: its first key makes the keyboard
        keyboard_.keycode(42, false);
    }

    void windowPageThenText_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QStringLiteral("typed by the run");
        QTest::newRow("japanese and emoji") << QStringLiteral("日本語で😀 and é");
    }
    void windowPageThenText() {
        QFETCH(QString, text);
        const QByteArray project = QStringLiteral(R"({"list_command": [
                ["ウィンドウ切替", "%1", "一致", "", "5"], ["入力", "%2", "0.1"]],
            "list_condition": [["即時"], ["終わるまで待つ", "0"]]})")
                                       .arg(kEntryTitle, text)
                                       .toUtf8();
        QFile file(scratch_.filePath(QStringLiteral("pages.cmdat")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(project) == project.size());
        file.close();

        testsupport::GnomeGtkTarget entry;
        testsupport::GnomeGtkTarget other;
        QString why;
        QVERIFY2(entry.start(QStringLiteral("entry"), why, kEntryTitle), qPrintable(why));
        // Newer, so it has the focus the Window page must take away.
        QVERIFY2(other.start(QStringLiteral("events"), why, kOtherTitle), qPrintable(why));

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                       QStringLiteral(":fast_unwind_on_malloc=0"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        run.setProcessEnvironment(env);
        run.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                  {"--run", file.fileName(), "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QVERIFY(QTest::qWaitFor([&run] { return run.state() == QProcess::NotRunning; }, 60000));
        const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() == 0, qPrintable(errors));
        QCOMPARE(entry.text(text.size()), text);
    }
};

QTEST_GUILESS_MAIN(GnomeRunPagesTest)
#include "gnome_runpages.moc"
