#pragma once

// The run's texts in both interface languages: the run settings dialog, its
// questions, and why a project was refused. The command line prints them in
// the locale's language.

#include "core/uitext.h"

namespace runtexts {

inline constexpr UiText dialogTitle{u"実行設定", u"Execution Settings"};
inline constexpr UiText secondsLabel{u"開始までの秒数:", u"Seconds until start:"};
inline constexpr UiText secondsUnit{u"秒", u"sec"};
inline constexpr UiText runCountLabel{u"実行回数:", u"Number of runs:"};
inline constexpr UiText runCountUnit{u"回", u"times"};
inline constexpr UiText startButton{u"開始", u"Start"};
inline constexpr UiText stopTitle{u"終了コマンド:", u"Exit command:"};
inline constexpr UiText keyPrompt{u"単一または複数キーを押してください", u"Press one or more keys"};
inline constexpr UiText changeButton{u"変更", u"Change"};
inline constexpr UiText noStopCommand{u"終了コマンドを設定しない", u"Do not set an exit command"};
inline constexpr UiText repeatUntilStopped{u"終了コマンドまで繰り返す",
                                           u"Repeat until exit command"};
inline constexpr UiText pauseTitle{u"一時停止キー:", u"Pause keys:"};
inline constexpr UiText startKeyTitle{u"開始キー（編集画面から）:",
                                      u"Start key (from the editor):"};
inline constexpr UiText noStartKey{u"開始キーを使わない", u"No start key"};
inline constexpr UiText speedLabel{u"速度:", u"Speed:"};
inline constexpr UiText speedSuffix{u" 倍", u"×"};
inline constexpr UiText variationTitle{u"ばらつき:", u"Variation:"};
inline constexpr UiText variationTime{u"時間 ±", u"Times ±"};
inline constexpr UiText variationPlace{u"位置 ±", u"Places ±"};
inline constexpr UiText pixelSuffix{u" ピクセル", u" px"};
// Why the dialog does not start the run with these keys.
inline constexpr UiText keysProblemTitle{u"キーの設定", u"Key settings"};
inline constexpr UiText pauseNoKey{u"一時停止キーには修飾キー以外のキーが必要です。",
                                   u"The pause keys need a key besides Ctrl, Alt, Shift and Win."};
inline constexpr UiText pauseIsStop{u"一時停止キーが終了コマンドと同じです。",
                                    u"The pause keys are the same as the exit command."};
inline constexpr UiText startNoKey{u"開始キーには修飾キー以外のキーが必要です。",
                                   u"The start key needs a key besides Ctrl, Alt, Shift and Win."};
inline constexpr UiText startIsStop{u"開始キーが終了コマンドと同じです。",
                                    u"The start key is the same as the exit command."};
inline constexpr UiText startIsPause{u"開始キーが一時停止キーと同じです。",
                                     u"The start key is the same as the pause keys."};
// Shown in both languages.
inline constexpr UiText hookFailed{u"フック失敗", u"フック失敗"};

inline constexpr UiText noStopTitle{u"このメッセージを無効化することはできません。",
                                    u"This message cannot be disabled."};
inline constexpr UiText noStopText{
    u"終了コマンドが設定されていません。\nタスクバーの右側にあるシステムトレイもしくは\n指定回数で"
    u"のみ"
    u"終了可能です。\n危険ですが実行しますか？",
    u"No termination command has been set. \nThe application can only be terminated via the "
    u"system tray on the right side of the taskbar or after a specified number of "
    u"terminations. \nThis is risky; do you wish to proceed?"};
inline constexpr UiText noticeTitle{u"次回からは表示されません。",
                                    u"This will not be displayed next time."};
// %1: the stop command as shown.
inline constexpr UiText noticeText{
    u"現在の停止コマンドは「%"
    u"1」です。\nこのコマンドは変更可能です。\nこれを入力することでいかなる時でも"
    u"\n0.2秒以内で実行中のプロジェクトを停止可能です。\n忘れないで下さい。",
    u"The current stop command is \"%1\".\nThis command can be changed.\nBy entering this "
    u"command, you can stop the running project within 0.2 seconds at any time.\nPlease do not "
    u"forget it."};

// Why a project is refused. %1: the page, %2: the list, %3: the kind.
inline constexpr UiText commandList{u"操作", u"command"};
inline constexpr UiText conditionList{u"条件", u"condition"};
inline constexpr UiText refusedEmpty{u"%1ページ目の%2が空です。", u"page %1: the %2 is empty"};
inline constexpr UiText refusedTooShort{u"%1ページ目の%2「%3」は値が足りません。",
                                        u"page %1: the %2 \"%3\" has too few values"};
inline constexpr UiText refusedUnknown{u"%1ページ目の%2「%3」はこのバージョンでは実行できません。",
                                       u"page %1: the %2 \"%3\" is not known to this version"};
inline constexpr UiText refusedNoImage{u"%1ページ目の%2「%3」には探す画像がありません。",
                                       u"page %1: the %2 \"%3\" has no image to look for"};
inline constexpr UiText refusedBadImage{u"%1ページ目の%2「%3」の画像を読み込めません。",
                                        u"page %1: the image of the %2 \"%3\" cannot be read"};
// %4 × %5: the image's size; %6: the most pixels an image may have, %7 a side.
inline constexpr UiText refusedImageTooLarge{
    u"%1ページ目の%2「%3」の画像は大きすぎます（%4 × %5 ピクセル。画像は %6 ピクセル、一辺 %7 "
    u"ピクセルまでです）。",
    u"page %1: the image of the %2 \"%3\" is too large (%4 × %5 pixels; an image may have at "
    u"most %6 pixels, %7 a side)"};
// %4: the most pixels a project's images may have together.
inline constexpr UiText refusedImagesOverBudget{
    u"%1ページ目の%2「%3」の画像で、プロジェクトの画像が合わせて %4 ピクセルを超えます。",
    u"page %1: with the image of the %2 \"%3\", the project's images together have more than "
    u"%4 pixels"};
// %4: the colour as stored.
inline constexpr UiText refusedBadColour{
    u"%1ページ目の%2「%3」の色「%4」を読めません（#RRGGBB か #RGB で書きます）。",
    u"page %1: the colour \"%4\" of the %2 \"%3\" cannot be read (write #RRGGBB or #RGB)"};
inline constexpr UiText notStarted{u"\n実行は開始されませんでした。", u"; the run was not started"};

// Why a page stopped the run. %1: the page, %2: the window as the page names it.
inline constexpr UiText stoppedTitle{u"実行を停止しました", u"Run stopped"};
inline constexpr UiText failedNoWindowAccess{
    u"%1ページ目: このデスクトップではウィンドウを扱えません。",
    u"page %1: this desktop gives no access to its windows"};
// On GNOME, where our shell extension gives the windows.
inline constexpr UiText failedNoWindowAccessGnome{
    u"%1ページ目: GNOME では Tarnwick の拡張機能を通してウィンドウを扱います。"
    u"「gnome-extensions enable tarnwick@tarnwick.example」で有効にし、ログインし直してください。",
    u"page %1: on GNOME, windows are reached through Tarnwick's shell extension: enable it with "
    u"\"gnome-extensions enable tarnwick@tarnwick.example\" and log in again"};
inline constexpr UiText failedNoGeometry{
    u"%1ページ目: "
    u"このデスクトップはウィンドウの位置を教えないため、ウィンドウからの位置を使えません。",
    u"page %1: the desktop does not tell where windows are, so a position within a window "
    u"cannot be used"};
inline constexpr UiText failedBadPattern{u"%1ページ目: ウィンドウ%2の正規表現が正しくありません。",
                                         u"page %1: the regular expression of the window %2 is "
                                         u"not valid"};
inline constexpr UiText failedPatternTooCostly{
    u"%1ページ目: ウィンドウ%2の正規表現は照合に手間がかかりすぎます。",
    u"page %1: the regular expression of the window %2 is too costly to match"};
inline constexpr UiText failedNotFound{u"%1ページ目: ウィンドウ%2が見つかりません。",
                                       u"page %1: no window %2 is open"};
inline constexpr UiText failedNotActive{u"%1ページ目: ウィンドウ%2がアクティブになりません。",
                                        u"page %1: the window %2 did not become active"};
// The screen pages. %1: the page.
inline constexpr UiText failedNoScreen{u"%1ページ目: このデスクトップでは画面を読み取れません。",
                                       u"page %1: this desktop does not let programs read the "
                                       u"screen"};
inline constexpr UiText failedImageNotFound{u"%1ページ目: 画像が見つかりません。",
                                            u"page %1: the image was not found"};
inline constexpr UiText failedNoPlaceFound{
    u"%1ページ目: ジャンプ先の画像がまだ見つかっていません。",
    u"page %1: no image has been found yet in this pass to jump to"};
// %2, %3: the pixel's coordinates.
inline constexpr UiText failedOffScreen{
    u"%1ページ目: 色を見る位置 (%2, %3) はどの画面にもありません。",
    u"page %1: the place (%2, %3) whose colour the page "
    u"watches is on no screen"};
inline constexpr UiText runStopped{u"\n実行を停止しました。", u"; the run was stopped"};
// Said again before a run on a Wayland desktop without virtual input.
inline constexpr UiText sessionTitle{u"Wayland での制限", u"Limits on Wayland"};
inline constexpr UiText sessionX11Only{
    u"このデスクトップでは、キー、文字、クリックは X11 のプログラム（XWayland）にだけ届き、"
    u"Wayland のウィンドウには届きません。",
    u"On this desktop, keys, text and clicks reach X11 programs (through XWayland) only, not "
    u"Wayland windows."};
inline constexpr UiText sessionNothing{
    u"このデスクトップでは、キー、文字、クリックはどのウィンドウにも届きません。"
    u"X11 のセッションか、仮想キーボードと仮想ポインターを提供するコンポジターが必要です。",
    u"On this desktop, keys, text and clicks reach no window. An X11 session, or a compositor "
    u"that offers a virtual keyboard and pointer, is needed."};

} // namespace runtexts
