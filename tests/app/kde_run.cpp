// tarnwick --run on the headless KWin of ./test.sh (scripts/kwin.sh, whose
// .desktop file authorises the built program): text the layout has and text
// it lacks arrive exact in a Qt line edit; a long run ended by
// `tarnwick --stop` or SIGTERM leaves nothing held and the pasted text off
// the clipboard.

#include "core/commandline.h"
#include "platform/kde/kdeinput.h"
#include "support/kwinsession.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

using platform::kde::ClipboardContent;

constexpr int kTimeoutMs = 30000;

// Keys pressed and not released, as the window saw.
int stillHeld(const QStringList &lines) {
    QMap<QString, int> held;
    for (const QString &l : lines) {
        const QStringList p = l.split(QLatin1Char(' '));
        if (p.size() >= 2 && p.at(0) == QLatin1String("press"))
            ++held[p.at(1)];
        else if (p.size() >= 2 && p.at(0) == QLatin1String("release"))
            --held[p.at(1)];
    }
    int n = 0;
    for (int v : held)
        n += v != 0 ? 1 : 0;
    return n;
}

ClipboardContent usersClipboard() {
    ClipboardContent c;
    c.empty = false;
    c.types = {{"text/plain;charset=utf-8", "kept by the user"}};
    return c;
}

// The clipboard's text, "" where it is empty.
QString clipboardText(platform::kde::KdeInput &reader) {
    ClipboardContent c;
    if (!reader.readClipboard(c))
        return QStringLiteral("(unreadable)");
    for (const auto &t : c.types)
        if (t.first == "text/plain;charset=utf-8")
            return QString::fromStdString(t.second);
    return {};
}

} // namespace

class KdeRunTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;
    std::unique_ptr<platform::kde::KdeInput> user_;

    QString write(const QByteArray &project) {
        const QString path = scratch_.filePath(QStringLiteral("kde.cmdat"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(project) != project.size())
            return {};
        return path;
    }
    QProcessEnvironment environment() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the program chooses by the session
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch_.filePath(QStringLiteral("run")));
        // Qt's Wayland plugin leaves its proxies to the exit; the full stack
        // lets the suppression find it there, and ours stay checked.
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                       QStringLiteral(":fast_unwind_on_malloc=0"));
        return env;
    }
    QString program() {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick");
    }

private slots:
    void initTestCase() {
        QString why;
        QVERIFY2(testsupport::useKwinSession(why), qPrintable(why));
        QVERIFY(scratch_.isValid());
        QVERIFY(QDir(scratch_.path()).mkpath(QStringLiteral("run")));
        QFile::setPermissions(scratch_.filePath(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
        std::string error;
        user_ = platform::kde::KdeInput::create(error);
        QVERIFY2(user_, error.c_str());
    }
    void cleanupTestCase() { user_.reset(); }

    void runTypesExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << QStringLiteral("Plain text, 123!");
        QTest::newRow("Japanese, emoji and accents") << QStringLiteral("日本語で 😀 café, naïve ok");
    }
    void runTypesExactly() {
        QFETCH(QString, text);
        QVERIFY(user_->writeClipboard(usersClipboard()));
        QString escaped = text;
        const QString project = write(QStringLiteral(R"({"list_command": [["入力", "%1", "0.5"]],
                                    "list_condition": [["即時"]]})")
                                          .arg(escaped)
                                          .toUtf8());
        QVERIFY(!project.isEmpty());
        testsupport::KwinTarget edit;
        QString why;
        QVERIFY2(edit.start(testsupport::kKwinEditArg, why), qPrintable(why));
        QProcess run;
        run.setProcessEnvironment(environment());
        run.start(program(), {"--run", project, "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QVERIFY(run.waitForFinished(kTimeoutMs));
        const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() == commandline::kExitOk, qPrintable(errors));
        QCOMPARE(edit.waitForText(text), text);
        // The pasted text is not left behind (the clipboard the program put
        // back goes with it where no clipboard manager keeps it).
        const QString now = clipboardText(*user_);
        QVERIFY2(now == QLatin1String("kept by the user") || now.isEmpty(), qPrintable(now));
    }

    void longRunEnds_data() {
        QTest::addColumn<bool>("bySignal");
        QTest::newRow("tarnwick --stop") << false;
        QTest::newRow("SIGTERM") << true;
    }
    void longRunEnds() {
        QFETCH(bool, bySignal);
        QVERIFY(user_->writeClipboard(usersClipboard()));
        // Holds F, then pastes, in turn: a key or the clipboard is taken at
        // most moments.
        const QString project = write(R"({"list_command": [["キー", "70,0", "0.05"],
                                                           ["入力", "日本", "0.05"]],
                                         "list_condition": [["時間", "0.01"], ["時間", "0.01"]]})");
        QVERIFY(!project.isEmpty());
        testsupport::KwinTarget target;
        QString why;
        QVERIFY2(target.start(testsupport::kKwinKeysArg, why), qPrintable(why));
        QProcess run;
        run.setProcessEnvironment(environment());
        run.start(program(), {"--run", project, "--repeat", "9999", "--start-delay", "0", "--stop",
                              "ctrl+alt+s"});
        QVERIFY(run.waitForStarted(kTimeoutMs));
        QVERIFY2(!target
                      .waitFor([](const QString &l) {
                          return l.startsWith(QStringLiteral("press %1 ").arg(Qt::Key_F));
                      })
                      .isEmpty(),
                 qPrintable(QString::fromLocal8Bit(run.readAllStandardError())));
        QTest::qWait(300);
        QCOMPARE(run.state(), QProcess::Running);
        if (bySignal) {
            run.terminate();
        } else {
            QProcess stop;
            stop.setProcessEnvironment(environment());
            stop.start(program(), {"--stop"});
            QVERIFY(stop.waitForFinished(kTimeoutMs));
            QCOMPARE(stop.exitCode(), commandline::kExitOk);
        }
        QVERIFY(run.waitForFinished(kTimeoutMs));
        const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
        if (bySignal) {
            QCOMPARE(run.exitStatus(), QProcess::CrashExit);
        } else {
            QCOMPARE(run.exitStatus(), QProcess::NormalExit);
            QVERIFY2(run.exitCode() == commandline::kExitStopped, qPrintable(errors));
        }
        QTRY_COMPARE_WITH_TIMEOUT(stillHeld(target.lines()), 0, kTimeoutMs);
        const QString now = clipboardText(*user_);
        QVERIFY2(now == QLatin1String("kept by the user") || now.isEmpty(), qPrintable(now));
    }
};

int main(int argc, char **argv) {
    const int target = testsupport::kwinTargetMain(argc, argv);
    if (target >= 0)
        return target;
    QCoreApplication app(argc, argv);
    KdeRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "kde_run.moc"
