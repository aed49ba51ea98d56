// What the command line asks for, the stop keys as a person writes them, and
// how a command-line run fills in what the command line leaves open.

#include "core/commandline.h"
#include "core/configstore.h"

#include <QtTest>

using commandline::Action;

Q_DECLARE_METATYPE(commandline::Action)

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void actions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("file");
        QTest::newRow("nothing") << QStringList{} << Action::StartPage << "";
        QTest::newRow("a project") << QStringList{"a b.cmdat"} << Action::OpenFile << "a b.cmdat";
        QTest::newRow("japanese name")
            << QStringList{"/tmp/挨拶.cmdat"} << Action::OpenFile << "/tmp/挨拶.cmdat";
        QTest::newRow("run") << QStringList{"--run", "x.cmdat"} << Action::Run << "x.cmdat";
        QTest::newRow("file before --run")
            << QStringList{"x.cmdat", "--run"} << Action::Run << "x.cmdat";
        QTest::newRow("dash file after --")
            << QStringList{"--", "-odd.cmdat"} << Action::OpenFile << "-odd.cmdat";
        QTest::newRow("help") << QStringList{"--help"} << Action::ShowHelp << "";
        QTest::newRow("short help") << QStringList{"-h"} << Action::ShowHelp << "";
        QTest::newRow("help wins over a bad value")
            << QStringList{"--run", "x", "--repeat", "0", "--help"} << Action::ShowHelp << "";
        QTest::newRow("version") << QStringList{"--version"} << Action::ShowVersion << "";
        QTest::newRow("short version") << QStringList{"-v"} << Action::ShowVersion << "";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << Action::Fail << "";
        QTest::newRow("qt option word") << QStringList{"-platform", "xcb"} << Action::Fail << "";
        QTest::newRow("two files") << QStringList{"a.cmdat", "b.cmdat"} << Action::Fail << "";
        QTest::newRow("run without file") << QStringList{"--run"} << Action::Fail << "";
        QTest::newRow("repeat without run")
            << QStringList{"x.cmdat", "--repeat", "2"} << Action::Fail << "";
        QTest::newRow("stop alone ends the running run")
            << QStringList{"--stop"} << Action::StopRunning << "";
        QTest::newRow("stop with keys but without run")
            << QStringList{"--stop", "ctrl+q"} << Action::Fail << "";
        QTest::newRow("stop without run")
            << QStringList{"x.cmdat", "--stop", "none"} << Action::Fail << "";
        QTest::newRow("verbose without run")
            << QStringList{"x.cmdat", "--verbose"} << Action::Fail << "";
        QTest::newRow("standard input") << QStringList{"--run", "-"} << Action::Run << "-";
        QTest::newRow("repeat and endless")
            << QStringList{"--run", "x", "--repeat", "2", "--endless"} << Action::Fail << "";
        QTest::newRow("repeat zero")
            << QStringList{"--run", "x", "--repeat", "0"} << Action::Fail << "";
        QTest::newRow("repeat too many")
            << QStringList{"--run", "x", "--repeat", "10000"} << Action::Fail << "";
        QTest::newRow("repeat not a number")
            << QStringList{"--run", "x", "--repeat", "two"} << Action::Fail << "";
        QTest::newRow("repeat missing value")
            << QStringList{"--run", "x", "--repeat"} << Action::Fail << "";
        QTest::newRow("negative delay")
            << QStringList{"--run", "x", "--start-delay", "-1"} << Action::Fail << "";
        QTest::newRow("fractional delay")
            << QStringList{"--run", "x", "--start-delay", "1.5"} << Action::Fail << "";
        QTest::newRow("bad stop keys")
            << QStringList{"--run", "x", "--stop", "ctrl+banana"} << Action::Fail << "";
        // Pause and resume are asked of the running run, alone.
        QTest::newRow("pause alone") << QStringList{"--pause"} << Action::PauseRunning << "";
        QTest::newRow("resume alone") << QStringList{"--resume"} << Action::ResumeRunning << "";
        QTest::newRow("toggle alone")
            << QStringList{"--toggle-pause"} << Action::TogglePauseRunning << "";
        QTest::newRow("toggle with a run")
            << QStringList{"--run", "x", "--toggle-pause"} << Action::Fail << "";
        QTest::newRow("pause with a run")
            << QStringList{"--run", "x", "--pause"} << Action::Fail << "";
        QTest::newRow("resume with a file") << QStringList{"x", "--resume"} << Action::Fail << "";
        // Speeds, variations and seeds that no run can play with.
        for (const char *speed :
             {"0", "-1", "-0.5", "nan", "NaN", "inf", "1e309", "0.09", "10.01", "fast", "", "2,5"})
            QTest::newRow(qPrintable(QStringLiteral("speed \"%1\"").arg(speed)))
                << QStringList{"--run", "x", "--speed", speed} << Action::Fail << "";
        for (const char *speed : {"0.1", "10", "2", "0.5", "1.5x"})
            QTest::newRow(qPrintable(QStringLiteral("speed %1 plays").arg(speed)))
                << QStringList{"--run", "x", "--speed", speed} << Action::Run << "x";
        QTest::newRow("vary over 100 %")
            << QStringList{"--run", "x", "--vary", "101"} << Action::Fail << "";
        QTest::newRow("vary negative")
            << QStringList{"--run", "x", "--vary", "-5"} << Action::Fail << "";
        QTest::newRow("vary fractional")
            << QStringList{"--run", "x", "--vary", "2.5"} << Action::Fail << "";
        QTest::newRow("vary 100 % plays")
            << QStringList{"--run", "x", "--vary", "100%"} << Action::Run << "x";
        QTest::newRow("vary pixels too many")
            << QStringList{"--run", "x", "--vary-pixels", "501"} << Action::Fail << "";
        QTest::newRow("seed negative")
            << QStringList{"--run", "x", "--seed", "-1"} << Action::Fail << "";
        QTest::newRow("seed beyond 64 bits")
            << QStringList{"--run", "x", "--seed", "18446744073709551616"} << Action::Fail << "";
        QTest::newRow("pause keys without a key")
            << QStringList{"--run", "x", "--pause-keys", "ctrl+alt"} << Action::Fail << "";
        QTest::newRow("speed without run")
            << QStringList{"x", "--speed", "2"} << Action::Fail << "";
    }
    void actions() {
        QFETCH(QStringList, args);
        QFETCH(Action, action);
        QFETCH(QString, file);
        args.prepend(QStringLiteral("tarnwick"));
        const commandline::Request request = commandline::parse(args);
        QCOMPARE(request.action, action);
        QCOMPARE(request.file, file);
        // A refusal always says why; anything else has nothing to say.
        QCOMPARE(request.error.isEmpty(), action != Action::Fail);
    }

    void runOptions() {
        const commandline::Request request =
            commandline::parse({"tarnwick", "--run", "p.cmdat", "--repeat", "12", "--start-delay",
                                "0", "--stop", "Ctrl+Shift+F12"});
        QCOMPARE(request.action, Action::Run);
        QCOMPARE(request.repeat.value_or(-1), 12);
        QCOMPARE(request.startDelay.value_or(-1), 0);
        QCOMPARE(request.stopCommand.value_or(QString()), QStringLiteral("123,6"));
        QVERIFY(!request.endless);

        const commandline::Request bare = commandline::parse({"tarnwick", "--run", "p.cmdat"});
        QVERIFY(!bare.repeat && !bare.startDelay && !bare.stopCommand && !bare.endless);
        QVERIFY(!bare.verbose);
        QVERIFY(commandline::parse({"tarnwick", "--run", "p.cmdat", "--verbose"}).verbose);
    }

    // The help names every exit status the program gives, and standard input.
    void helpNamesEveryStatus() {
        const QString help = commandline::helpText();
        for (const int status : {commandline::kExitOk, commandline::kExitStopped,
                                 commandline::kExitUsage, commandline::kExitNoDisplay,
                                 commandline::kExitNoBackend, commandline::kExitPageFailed}) {
            const QString line = QStringLiteral("\n  %1 ").arg(status);
            QVERIFY2(help.contains(line), qPrintable(line));
        }
        QVERIFY(help.contains(QStringLiteral("128 + N")));
        QVERIFY(help.contains(QStringLiteral("- for standard input")));
        QVERIFY(help.contains(QStringLiteral("--verbose")));
    }

    void stopKeys_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("stored");
        QTest::newRow("default chord") << "ctrl+alt+s"
                                       << "83,3";
        QTest::newRow("capitals and spaces") << " Ctrl + Alt + S "
                                             << "83,3";
        QTest::newRow("order does not matter") << "s+alt+control"
                                               << "83,3";
        QTest::newRow("plain key") << "F9"
                                   << "120,0";
        QTest::newRow("digit with shift") << "shift+1"
                                          << "49,4";
        QTest::newRow("named key") << "win+esc"
                                   << "27,8";
        QTest::newRow("super is win") << "super+f1"
                                      << "112,8";
        QTest::newRow("meta is win") << "meta+space"
                                     << "32,8";
        QTest::newRow("all four") << "ctrl+alt+shift+win+q"
                                  << "81,15";
        QTest::newRow("none") << "none"
                              << "なし";
        QTest::newRow("NONE") << "NONE"
                              << "なし";
        QTest::newRow("japanese none") << "なし"
                                       << "なし";
        QTest::newRow("only modifiers") << "ctrl+alt"
                                        << "";
        QTest::newRow("two keys") << "ctrl+a+b"
                                  << "";
        QTest::newRow("empty part") << "ctrl++s"
                                    << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("unknown key") << "ctrl+banana"
                                     << "";
        QTest::newRow("stored form is not a name") << "83,3"
                                                   << "";
        // Codes that are named but that no keyboard sends stop nothing.
        QTest::newRow("unassigned code") << "ctrl+vk7"
                                         << "";
        QTest::newRow("mouse button") << "vk1"
                                      << "";
        QTest::newRow("beyond the keys") << "vk255"
                                         << "";
        QTest::newRow("a key without a name") << "vk186"
                                              << "186,0";
    }
    void stopKeys() {
        QFETCH(QString, keys);
        QFETCH(QString, stored);
        QCOMPARE(commandline::stopCommandFromKeys(keys), stored);
    }

    void plan_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("savedStop");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("stertTime");
        QTest::addColumn<int>("runNumber");
        QTest::addColumn<QString>("stop");
        QTest::newRow("saved values")
            << QStringList{} << "65,2" << true << true << 7 << 1 << "65,2";
        QTest::newRow("given values")
            << QStringList{"--repeat", "3", "--start-delay", "0", "--stop", "f8"} << "65,2" << true
            << true << 0 << 3 << "119,0";
        QTest::newRow("endless") << QStringList{"--endless"} << "83,3" << false << true << 7
                                 << 114514 << "83,3";
        QTest::newRow("endless, no keys, tray") << QStringList{"--endless", "--stop", "none"}
                                                << "83,3" << true << true << 7 << 114514 << "なし";
        QTest::newRow("endless, no keys, no tray") << QStringList{"--endless", "--stop", "none"}
                                                   << "83,3" << false << false << 0 << 0 << "";
        QTest::newRow("endless, none saved, no tray")
            << QStringList{"--endless"} << "なし" << false << false << 0 << 0 << "";
        QTest::newRow("endless, empty saved, no tray")
            << QStringList{"--endless"} << "" << false << false << 0 << 0 << "";
        QTest::newRow("endless, saved none overridden")
            << QStringList{"--endless", "--stop", "ctrl+q"} << "なし" << false << true << 7
            << 114514 << "81,2";
        QTest::newRow("endless, unreadable saved, no tray")
            << QStringList{"--endless"} << "abc" << false << false << 0 << 0 << "";
        QTest::newRow("endless, saved code of no key, no tray")
            << QStringList{"--endless"} << "7,0" << false << false << 0 << 0 << "";
        QTest::newRow("endless, saved code 0, no tray")
            << QStringList{"--endless"} << "0,3" << false << false << 0 << 0 << "";
        QTest::newRow("endless, saved code of no key, tray")
            << QStringList{"--endless"} << "7,0" << true << true << 7 << 114514 << "なし";
        QTest::newRow("saved code of no key, finite")
            << QStringList{} << "255,2" << false << true << 7 << 1 << "なし";
        QTest::newRow("no keys, finite, no tray")
            << QStringList{"--stop", "none"} << "83,3" << false << true << 7 << 1 << "なし";
    }
    void plan() {
        QFETCH(QStringList, args);
        QFETCH(QString, savedStop);
        QFETCH(bool, tray);
        QFETCH(bool, accepted);
        QFETCH(int, stertTime);
        QFETCH(int, runNumber);
        QFETCH(QString, stop);
        const commandline::Request request =
            commandline::parse(QStringList{"tarnwick", "--run", "p.cmdat"} + args);
        QCOMPARE(request.action, Action::Run);
        RunSettings saved;
        saved.startDelay = 7;
        saved.runCount = 5; // never used: the command line plays once unless told
        saved.stopCommand = savedStop;
        RunSettings plan;
        QString error;
        QCOMPARE(commandline::planRun(request, saved, tray, plan, error), accepted);
        QCOMPARE(error.isEmpty(), accepted);
        if (!accepted)
            return;
        QCOMPARE(plan.startDelay, stertTime);
        QCOMPARE(plan.runCount, runNumber);
        QCOMPARE(plan.stopCommand, stop);
    }

    // Pause keys, speed, variation and seed: given, or the saved ones; pause
    // keys that would clash with the stop keys are refused.
    void planPace_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("savedPause");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("pause");
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("pixels");
        QTest::newRow("saved") << QStringList{} << "80,3" << true << "80,3" << 1.5 << 10 << 3;
        QTest::newRow("given") << QStringList{"--pause-keys", "f9", "--speed",       "0.5",
                                              "--vary",       "0",  "--vary-pixels", "20"}
                               << "80,3" << true << "120,0" << 0.5 << 0 << 20;
        QTest::newRow("pause keys are the stop keys")
            << QStringList{"--pause-keys", "ctrl+alt+s"} << "80,3" << false << "" << 0.0 << 0 << 0;
        QTest::newRow("saved pause keys are the given stop keys")
            << QStringList{"--stop", "ctrl+alt+p"} << "80,3" << false << "" << 0.0 << 0 << 0;
        QTest::newRow("no pause keys")
            << QStringList{"--pause-keys", "none"} << "80,3" << true << "なし" << 1.5 << 10 << 3;
        QTest::newRow("saved pause keys of no key")
            << QStringList{} << "7,0" << true << "なし" << 1.5 << 10 << 3;
        QTest::newRow("saved pause keys only a modifier")
            << QStringList{} << "17,2" << false << "" << 0.0 << 0 << 0;
    }
    void planPace() {
        QFETCH(QStringList, args);
        QFETCH(QString, savedPause);
        QFETCH(bool, accepted);
        const commandline::Request request =
            commandline::parse(QStringList{"tarnwick", "--run", "p.cmdat", "--seed", "42"} + args);
        QCOMPARE(request.action, Action::Run);
        RunSettings saved;
        saved.pauseCommand = savedPause;
        saved.pace = {1.5, 10, 3};
        RunSettings plan;
        QString error;
        QCOMPARE(commandline::planRun(request, saved, true, plan, error), accepted);
        QCOMPARE(error.isEmpty(), accepted);
        if (!accepted)
            return;
        QTEST(plan.pauseCommand, "pause");
        QTEST(plan.pace.speed, "speed");
        QTEST(plan.pace.variationPercent, "percent");
        QTEST(plan.pace.variationPixels, "pixels");
        QCOMPARE(plan.seed.value_or(0), std::uint64_t(42));
    }

    // Stop keys nothing hears (Wayland without sway or the input devices)
    // count for an endless run only, and only where no tray icon could stop it.
    void planWhereStopKeysAreNotHeard() {
        struct Case {
            QStringList args;
            bool tray;
            bool accepted;
        };
        const Case cases[] = {{{"--endless"}, false, false},
                              {{"--endless", "--stop", "f8"}, false, false},
                              {{"--endless"}, true, true},
                              {{"--repeat", "3"}, false, true},
                              {{}, false, true}};
        for (const Case &c : cases) {
            RunSettings saved;
            saved.stopCommand = QStringLiteral("83,3");
            RunSettings plan;
            QString error;
            const auto request =
                commandline::parse(QStringList{"tarnwick", "--run", "p.cmdat"} + c.args);
            QCOMPARE(commandline::planRun(request, saved, c.tray, plan, error, false), c.accepted);
            QCOMPARE(error.contains(QStringLiteral("Wayland")), !c.accepted);
        }
    }

    void defaultsAreShared() {
        // A settings file without the run keys, and no run options: the run
        // settings are the one set of defaults.
        configstore::Settings settings;
        QCOMPARE(configstore::parse("{}", settings), configstore::LoadStatus::Loaded);
        QCOMPARE(runSettingsOf(settings), RunSettings{});
        RunSettings plan;
        plan.runCount = 0;
        QString error;
        QVERIFY(commandline::planRun(commandline::parse({"tarnwick", "--run", "p.cmdat"}),
                                     runSettingsOf(settings), false, plan, error));
        QCOMPARE(plan, RunSettings{});
        // And they go back under the names the settings table gives them.
        configstore::Settings stored;
        storeRunSettings(RunSettings{9, kRepeatUntilStopped, QStringLiteral("なし")}, stored);
        QCOMPARE(stored.stertTime, 9);
        QCOMPARE(stored.runNumber, kRepeatUntilStopped);
        QCOMPARE(stored.stopCommand, QStringLiteral("なし"));
    }

    void progress_data() {
        QTest::addColumn<int>("passes");
        QTest::addColumn<QString>("line");
        QTest::newRow("counted") << 5 << "pass 2 of 5, page 3 of 4: 入力";
        QTest::newRow("endless") << 114514 << "pass 2, page 3 of 4: 入力";
    }
    void progress() {
        QFETCH(int, passes);
        QFETCH(QString, line);
        QCOMPARE(commandline::progressLine(2, passes, 3, 4, QStringLiteral("入力")), line);
    }

    void toolkitOptions_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("maybe");
        QTest::newRow("platform") << "-platform" << true;
        QTest::newRow("display") << "-display" << true;
        QTest::newRow("our long option") << "--run" << false;
        QTest::newRow("short option") << "-h" << false;
        QTest::newRow("file") << "x.cmdat" << false;
        QTest::newRow("negative number") << "-1" << false;
    }
    void toolkitOptions() {
        QFETCH(QString, argument);
        QFETCH(bool, maybe);
        QCOMPARE(commandline::mayBeToolkitOption(argument), maybe);
    }

    // The language of a run's messages, from the environment as gettext
    // reads it: Japanese for a Japanese locale, English for every other.
    void messageLanguage_data() {
        QTest::addColumn<QStringList>("env"); // LC_ALL, LC_MESSAGES, LANG, LANGUAGE
        QTest::addColumn<bool>("japanese");
        QTest::newRow("nothing set") << QStringList{"", "", "", ""} << false;
        QTest::newRow("LANG ja") << QStringList{"", "", "ja_JP.UTF-8", ""} << true;
        QTest::newRow("LANG en") << QStringList{"", "", "en_US.UTF-8", ""} << false;
        QTest::newRow("bare ja") << QStringList{"", "", "ja", ""} << true;
        QTest::newRow("eucJP with a variant") << QStringList{"", "", "ja_JP.eucJP@x", ""} << true;
        QTest::newRow("LC_MESSAGES over LANG") << QStringList{"", "ja_JP", "en_US", ""} << true;
        QTest::newRow("LC_ALL over both") << QStringList{"C.UTF-8", "ja_JP", "ja_JP", ""} << false;
        QTest::newRow("LANGUAGE first") << QStringList{"", "", "en_US.UTF-8", "ja:en"} << true;
        QTest::newRow("LANGUAGE English")
            << QStringList{"", "", "ja_JP.UTF-8", "en_GB:ja"} << false;
        QTest::newRow("C ignores LANGUAGE") << QStringList{"C", "", "", "ja"} << false;
        QTest::newRow("POSIX") << QStringList{"", "", "POSIX", "ja"} << false;
        QTest::newRow("Japanese-like name") << QStringList{"", "", "jv_ID.UTF-8", ""} << false;
    }
    void messageLanguage() {
        QFETCH(QStringList, env);
        QFETCH(bool, japanese);
        QCOMPARE(commandline::japaneseMessages(commandline::posixMessageLanguages(
                     env.at(0), env.at(1), env.at(2), env.at(3))),
                 japanese);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "unit_commandline.moc"
