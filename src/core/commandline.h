#pragma once

// The program's command line: what the user asked for, decided without any
// window so that it can be tested directly. main() acts on the result.
//
//   tarnwick                      the start page
//   tarnwick FILE.cmdat           that project in the editor
//   tarnwick --run FILE.cmdat [--repeat N | --endless] [--start-delay S] [--stop KEYS]
//                             [--pause-keys KEYS] [--speed F] [--vary P] [--vary-pixels N]
//                             [--seed N] [--verbose]         FILE "-": standard input
//   tarnwick --stop               ends the running run of this user
//   tarnwick --pause | --resume   pauses or resumes it
//   tarnwick --help | --version

#include "keycombination.h"
#include "runsettings.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace commandline {

// Exit statuses of the program; a termination signal gives 128 + its number.
inline constexpr int kExitOk = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDisplay = 3; // no display could be opened
inline constexpr int kExitNoBackend = 4; // no input backend for this display system
// A page could not be played (its window was missing or never became
// active): the run stopped there. Not 1, which says the user stopped it.
inline constexpr int kExitPageFailed = 5;
inline constexpr int kExitNoRun = 6; // --stop, --pause, --resume: no run of this user

enum class Action {
    StartPage,          // no arguments: the editor's start page
    OpenFile,           // one project file for the editor
    Run,                // play a project without the editor
    ShowHelp,           // print the usage and exit 0
    ShowVersion,        // print the version and exit 0
    StopRunning,        // --stop alone: end the running run of this user
    PauseRunning,       // --pause alone: pause it
    ResumeRunning,      // --resume alone: resume it
    TogglePauseRunning, // --toggle-pause alone: pause it, or resume it if paused
    Fail,               // bad arguments: `error` says why, exit kExitUsage
};

struct Request {
    Action action = Action::StartPage;
    QString file;
    QString error;
    // Run options; unset means "as the run settings have it".
    std::optional<int> repeat;
    bool endless = false;
    std::optional<int> startDelay;
    std::optional<QString> stopCommand;  // stored form ("83,3") or "なし"
    std::optional<QString> pauseCommand; // the same
    std::optional<double> speed;
    std::optional<int> varyPercent;
    std::optional<int> varyPixels;
    std::optional<std::uint64_t> seed;
    // The program's own debug lines (tarnwick.*) on stderr; a run is quiet
    // without it, so that cron mails only what went wrong.
    bool verbose = false;
};

// `arguments` as QCoreApplication::arguments() gives them (the program first).
Request parse(const QStringList &arguments);

// The usage text printed by --help.
QString helpText();

// A stop chord as a person writes it ("ctrl+alt+s", "Shift+F12", "none") in
// the stored form ("83,3", "なし"). Empty when the text names no usable chord:
// exactly one key that is not a modifier, plus any of Ctrl, Alt, Shift, Win;
// the key one that some keyboard has (isKeyboardKey).
QString stopCommandFromKeys(const QString &keys);

// What a command-line run plays with: the command line's options, with the
// saved run settings (`saved`) for the start delay, the stop and pause keys,
// the speed and the variation it leaves open; the run count is 1 unless
// given. Pause keys that are the stop keys or only modifiers are refused. A saved stop command that
// names no keyboard key becomes "なし". False with `error` set when
// the run must not start: an endless run that nothing could stop (no stop
// chord, or one nothing hears as on Wayland without sway or the input
// devices: `stopKeysHeard` false; and no tray icon to click).
bool planRun(const Request &request, const RunSettings &saved, bool trayAvailable,
             RunSettings &plan, QString &error, bool stopKeysHeard = true);

// The line a run that plays at another speed or varies starts with:
// "playing at 2x speed, times varied by up to 10 %, places by up to 3 pixels".
QString paceNotice(const RunSettings &plan);

// One progress line: "pass 2 of 5, page 3 of 4: 入力" ("pass 2" when endless).
QString progressLine(int pass, int passes, int page, int pages, const QString &kind);

// True when an argument may be one of Qt's own options ("-platform xcb"),
// which only the application object understands and removes.
bool mayBeToolkitOption(const QString &argument);

// Whether the run's messages are printed in Japanese: for a Japanese first
// user interface language of the locale ("ja", "ja-JP"), English otherwise.
bool japaneseMessages(const QStringList &uiLanguages);
// The languages messages are in on POSIX systems, from the environment as
// gettext reads it: the first of LC_ALL, LC_MESSAGES and LANG that is set
// names the locale; LANGUAGE (a list split at ':') takes precedence except
// in the C locale.
QStringList posixMessageLanguages(const QString &lcAll, const QString &lcMessages,
                                  const QString &lang, const QString &language);

} // namespace commandline
