#pragma once

// Every text of the main window in both interface languages; each point of
// use picks one column by is_japanese.

#include "core/uitext.h"

namespace uitexts {

// ---- group titles, buttons and labels ----
inline constexpr UiText operationGroup{u"操作", u"Operation"};
inline constexpr UiText conditionGroup{u"条件", u"Condition"};
inline constexpr UiText pageGroup{u"ページ", u"Page"};
inline constexpr UiText newProjectButton{u"新しいプロジェクトを作成", u"Create New Project"};
inline constexpr UiText loadProjectButton{u"プロジェクトを読み込む", u"Load Project"};
// Names the other language, so it reads "English" while Japanese is active.
inline constexpr UiText languageButton{u"English", u"日本語"};
inline constexpr UiText addButton{u"追加", u"Add"};
inline constexpr UiText testButton{u"テスト", u"Test"};
inline constexpr UiText commandLabel{u"X", u"X"};
inline constexpr UiText secLabel{u"秒", u"sec"};
inline constexpr UiText conditionLabel{u"時間", u"Time"};
inline constexpr UiText prevPageButton{u"←", u"←"};
inline constexpr UiText runButton{u"実行", u"Run"};
inline constexpr UiText nextPageButton{u"→", u"→"};
inline constexpr UiText deleteButton{u"削除", u"Delete"};
inline constexpr UiText undoButton{u"元に戻す", u"Undo"};
inline constexpr UiText redoButton{u"やり直し", u"Start over"};
inline constexpr UiText pageCountLabel{u"1/1", u"1/1"};
inline constexpr UiText copyButton{u"コピー", u"Copy"};
inline constexpr UiText pasteButton{u"ペースト", u"Paste"};
inline constexpr UiText coordXLabel{u"X:", u"X:"};
inline constexpr UiText coordYLabel{u"Y:", u"Y:"};
inline constexpr UiText coordGetButton{u"取得", u"Get"};

// ---- combo box items, by index (the kind menus come from core/pagekinds) ----
inline constexpr UiText clickSides[] = {{u"左", u"Left"}, {u"右", u"Right"}};
// How a window title is compared, in the order of core/windowmatch's modes.
inline constexpr UiText windowModes[] = {
    {u"含む", u"contains"}, {u"一致", u"exact"}, {u"正規表現", u"regex"}};
// What the Window condition waits for, in the order of the stored values.
inline constexpr UiText windowStates[] = {{u"アクティブになる", u"becomes active"},
                                          {u"開いている", u"is open"},
                                          {u"閉じている", u"is closed"}};

// ---- window fields ----
inline constexpr UiText windowProgramPlaceholder{u"プログラム", u"Program"};
// %1: how many open windows match the page's window now.
inline constexpr UiText windowMatches{u"一致: %1", u"Matches: %1"};
inline constexpr UiText windowBadPattern{u"正規表現が不正", u"Invalid regex"};
inline constexpr UiText windowPatternTooCostly{u"正規表現が複雑すぎる", u"Regex too costly"};
inline constexpr UiText noWindowAccess{u"ウィンドウ取得不可", u"No window access"};
// A position within a window, on a desktop that does not tell where windows
// are (the match label of the window-anchored pages).
inline constexpr UiText noWindowPositions{u"ウィンドウ位置不明", u"No window positions"};
// Ctrl+Alt+G on a window page with no window under the pointer.
inline constexpr UiText noWindowAtPointerTitle{u"ウィンドウがありません", u"No window"};
inline constexpr UiText noWindowAtPointerText{
    u"マウスポインターの下にウィンドウがありません。\n位置は変更されませんでした。",
    u"There is no window under the mouse pointer.\nThe position was not changed."};
// Wayland: the layer a position is clicked on could not be put up.
inline constexpr UiText pointPickFailedTitle{u"エラー", u"Error"};
inline constexpr UiText pointPickFailedText{
    u"位置をクリックするための画面を表示できませんでした。\n位置は変更されませんでした。",
    u"The layer for clicking a position could not be shown.\nThe position was not changed."};

// ---- screen pages (Colour, Image, Image Jump) ----
// Where to look, in the order of screenpages::Area; the Colour page offers
// the screen and the window only.
inline constexpr UiText screenAreas[] = {
    {u"画面", u"Screen"}, {u"範囲", u"Rectangle"}, {u"ウィンドウ", u"Window"}};
inline constexpr UiText colourAreas[] = {{u"画面", u"Screen"}, {u"ウィンドウ", u"Window"}};
// What the Colour condition waits for, in the order of the stored values.
inline constexpr UiText colourStates[] = {{u"になる", u"becomes"},
                                          {u"でなくなる", u"is no longer"}};
inline constexpr UiText rectWidthLabel{u"幅:", u"W:"};
inline constexpr UiText rectHeightLabel{u"高さ:", u"H:"};
inline constexpr UiText toleranceLabel{u"許容差", u"Tolerance"};
inline constexpr UiText thresholdLabel{u"一致度", u"Match"};
inline constexpr UiText offsetXLabel{u"+X:", u"+X:"};
inline constexpr UiText offsetYLabel{u"+Y:", u"+Y:"};
inline constexpr UiText templateFromScreenButton{u"画面から作成", u"From screen"};
inline constexpr UiText templateFromFileButton{u"PNGを開く", u"Open PNG"};
// %1 × %2: the template's width and height in pixels.
inline constexpr UiText templateSize{u"%1 × %2", u"%1 × %2"};
inline constexpr UiText noTemplate{u"画像なし", u"No picture"};
inline constexpr UiText jumpToLastFound{
    u"画像がなければ、直前の画像条件が見つけた位置へ移動します。",
    u"Without a picture: moves to where the last Image condition found its picture."};
inline constexpr UiText templateFileTitle{u"テンプレート画像を開く", u"Open a template picture"};
inline constexpr UiText templateFileFilter{u"PNG 画像 (*.png)", u"PNG pictures (*.png)"};
inline constexpr UiText templateUnreadableTitle{u"画像を開けません", u"Cannot open the picture"};
// %1: the file.
inline constexpr UiText templateUnreadableText{
    u"%1 は PNG 画像として読めないか、大きすぎます（%2 ピクセルまで）。",
    u"%1 cannot be read as a PNG picture, or it is too large (at most %2 pixels a side)."};
inline constexpr UiText screenUnreadableTitle{u"画面を読み取れません", u"Cannot read the screen"};
inline constexpr UiText screenUnreadableText{
    u"このデスクトップでは画面を読み取れません。色と画像は取得できませんでした。",
    u"The screen cannot be read on this desktop. No colour or picture was taken."};

// ---- menus and actions ----
inline constexpr UiText fileMenu{u"ファイル", u"File"};
inline constexpr UiText reportMenu{u"報告", u"Report"};
inline constexpr UiText settingsMenu{u"設定", u"Settings"};
inline constexpr UiText versionMenu{u"バージョン", u"Version"};
inline constexpr UiText helpMenu{u"ヘルプ", u"Help"};
inline constexpr UiText otherMenu{u"その他", u"Other"};
inline constexpr UiText newAction{u"新規作成", u"New"};
inline constexpr UiText openAction{u"開く", u"Open"};
inline constexpr UiText saveAsAction{u"名前を付けて保存", u"Save As"};
inline constexpr UiText saveAction{u"上書き保存", u"Save"};
inline constexpr UiText reportBugAction{u"バグを報告", u"Report a Bug"};
inline constexpr UiText suggestAction{u"改善案を報告", u"Suggest an Improvement"};
inline constexpr UiText needReplyAction{u"返信が必要な場合", u"Need a Reply"};
inline constexpr UiText askSaveAction{u"ファイルを保存するか確認する", u"Ask Before Saving File"};
inline constexpr UiText askPasteAction{u"ページにペーストするか確認する",
                                       u"Ask Before Pasting to Page"};
inline constexpr UiText askDeleteAction{u"ページを削除するか確認する", u"Ask Before Deleting Page"};
inline constexpr UiText versionInfoAction{u"バージョン情報", u"Version Information"};
inline constexpr UiText helpModeAction{u"ヘルプモード", u"Help Mode"};
inline constexpr UiText askHowToUseAction{u"使い方を質問する", u"Ask How to Use"};
inline constexpr UiText manualAction{u"マニュアル", u"Manual"};
// %1: where the manual was looked for.
inline constexpr UiText manualMissingText{u"マニュアルが見つかりません：%1",
                                          u"The manual was not found: %1"};
inline constexpr UiText languageAction{u"English", u"日本語"};
// The documents keep their Japanese names in the English interface.
inline constexpr UiText viewTermsAction{u"利用規約を見る", u"View 利用規約"};
inline constexpr UiText viewOssNoticeAction{u"オープンソースソフトウェアに関する告知を見る",
                                            u"View オープンソースソフトウェアに関する告知"};
inline constexpr UiText viewQtInfoAction{
    u"Qtライブラリの差替え又は再インストールに関する情報を見る",
    u"View Qtライブラリの差替え又は再インストールに関する情報"};
inline constexpr UiText viewLgplAction{u"LGPLv3のライセンス文章を見る",
                                       u"View LGPLv3のライセンス文章"};

// ---- Help Mode tooltips ----
// The kind lists' tips: the head, each kind's own line (pagekinds' `help`,
// in menu order) and the tail (kindtips.h puts them together).
inline constexpr UiText tipCommandComboHead{u"追加する操作を指定します。",
                                            u"Select the action to add."};
inline constexpr UiText tipCommandComboTail{
    u"「クリック」「スムーズムーブ」「キー」は操作が実行中でも次の操作に進みます、"
    u"条件で時間を指定して調整してください。\n"
    u"操作を追加す場合は右の「追加」ボタンを押してください。",
    u"\"Click\", \"Smooth Move\", and \"Key\" proceed to the next action even while the operation "
    u"is still running. Adjust the timing by setting a condition.\n"
    u"To add the action, press the \"Add\" button on the right."};
inline constexpr UiText tipAddCommandButton{
    u"右のメニューで設定した操作を追加します。",
    u"Adds the action configured in the menu on the right."};
inline constexpr UiText tipTestButton{u"設定している座標にマウスポインターを移動します。",
                                      u"Moves the mouse pointer to the configured coordinates."};
inline constexpr UiText tipCommandLabel{u"設定中の操作です。",
                                        u"The action currently being configured."};
inline constexpr UiText tipInputTextEdit{u"入力する文章を設定します。（日本語対応）",
                                         u"Sets the text to input. (Supports Japanese)"};
inline constexpr UiText tipClickCombo{u"クリックの種類を右か左で設定します。",
                                      u"Sets the click type to either right or left."};
// The command seconds' tip: the head, the line of each command that shows
// them (pagekinds' `secondsHelp`, in menu order) and the tail.
inline constexpr UiText tipCommandTimeSpinHead{u"時間を指定します。\n"
                                               u"操作によって意味が変わります。",
                                               u"Specifies the time.\n"
                                               u"Its meaning depends on the action."};
inline constexpr UiText tipCommandTimeSpinTail{u"単位は秒です。", u"The unit is seconds."};
inline constexpr UiText tipConditionComboHead{u"追加する条件を指定します。",
                                              u"Select the condition to add."};
inline constexpr UiText tipAddConditionButton{
    u"右のメニューで設定した条件を追加します。",
    u"Adds the condition configured in the menu on the right."};
inline constexpr UiText tipConditionLabel{u"設定中の条件です。",
                                          u"The condition currently being configured."};
inline constexpr UiText tipConditionTimeSpin{
    u"時間を指定します。\n"
    u"条件によって意味が変わります。\n"
    u"時間:次の操作に進むまでの時間を指定します。\n"
    u"終わるまで待つ:操作が終わってから、次の操作に進むまでの時間を指定します。",
    u"Specifies the time.\n"
    u"The meaning changes depending on the condition.\n"
    u"Time: Specifies the time before proceeding to the next operation.\n"
    u"Wait until over: Specifies the time after the operation finishes before proceeding to the "
    u"next operation."};
inline constexpr UiText tipPrevPageButton{u"前のページに戻ります。(左矢印キー)",
                                          u"Returns to the previous page.(Left arrow key)"};
inline constexpr UiText tipRunButton{u"現在のプロジェクトを実行します。",
                                     u"Runs the current project."};
inline constexpr UiText tipNextPageButton{u"次のページに進みます。(右矢印キー)",
                                          u"Advances to the next page.(Right arrow key)"};
inline constexpr UiText tipDeleteButton{u"現在のページを削除します。(Ctrl + D)",
                                        u"Deletes the current page.(Ctrl + D)"};
inline constexpr UiText tipPageCountLabel{u"すべてのページの数と現在のページです。",
                                          u"Shows the total number of pages and the current page."};
inline constexpr UiText tipPageList{
    u"押したページに飛びます、「+」を押すと「+」の位置にページを追加できます。",
    u"Jump to the page you click. Press \"+\" to add a page at the position of \"+\"."};
inline constexpr UiText tipCopyButton{u"現在のページをコピーします。(Ctrl + C)",
                                      u"Copies the current page.(Ctrl + C)"};
inline constexpr UiText tipPasteButton{u"コピーしたのページをペーストします。(Ctrl + V)",
                                       u"Pastes the copied page.(Ctrl + V)"};
inline constexpr UiText tipCoordXSpin{
    u"マウスポインターのX座標です。\n自分で入力するか「取得」ボタンで簡単に取得できます。",
    u"The X coordinate of the mouse pointer.\n"
    u"You can enter it manually or easily get it with the \"Get\" button."};
inline constexpr UiText tipCoordYSpin{
    u"マウスポインターのY座標です。\n自分で入力するか「取得」ボタンで簡単に取得できます。",
    u"The Y coordinate of the mouse pointer.\n"
    u"You can enter it manually or easily get it with the \"Get\" button."};
inline constexpr UiText tipCoordGetButton{u"マウスポインターの座標を簡単に取得できます。",
                                          u"Easily gets the mouse pointer coordinates."};
inline constexpr UiText tipClockHourSpin{
    u"操作が次へ進む時刻の設定です。何時かを設定します。",
    u"This is where you set the time for the command to advance to the next step. Set the "
    u"time."};
inline constexpr UiText tipClockMinuteSpin{
    u"操作が次へ進む時刻の設定です。何分かを設定します。",
    u"This sets the time for the command to advance to the next step. You can set the number of "
    u"minutes."};
inline constexpr UiText tipWindowTitle{
    u"ウィンドウのタイトルです。開いているウィンドウから選ぶか、タイトルの一部や"
    u"正規表現を入力します。\n"
    u"一致するウィンドウが複数あるときは、いちばん手前のものが使われます。\n"
    u"ウィンドウ切替:そのウィンドウを前面に出し、指定の秒数までアクティブになるのを待ちます。"
    u"見つからないかアクティブにならなければ、実行を停止します。\n"
    u"ウィンドウ座標・ウィンドウムーブ:X と Y はウィンドウの左上からの位置です。"
    u"見つからなければ、実行を停止します。",
    u"The window's title. Pick one of the open windows, or type part of a title or a "
    u"regular expression.\n"
    u"When several windows match, the frontmost one is used.\n"
    u"Window: brings the window to the front and waits up to the given seconds until it is "
    u"active. If it is not found or does not become active, the run stops.\n"
    u"Window Pointer, Window Move: X and Y count from the window's top-left corner. If it is "
    u"not found, the run stops."};
inline constexpr UiText tipWindowMode{
    u"タイトルの比べ方です。\n含む:タイトルにこの文字列が含まれる。\n"
    u"一致:タイトルがこの文字列と同じ。\n正規表現:タイトルが正規表現に当てはまる。",
    u"How the title is compared.\ncontains: the title contains this text.\n"
    u"exact: the title is this text.\nregex: the title matches this regular expression."};
inline constexpr UiText tipWindowProgram{
    u"ウィンドウのプログラムです（空欄ならどのプログラムでも）。\n"
    u"Windows では「notepad.exe」のような実行ファイル名、Linux ではウィンドウのクラス名です。"
    u"大文字と小文字は区別しません。",
    u"The window's program (empty: any program).\n"
    u"On Windows the program's file name such as \"notepad.exe\", on Linux the window's class. "
    u"Case does not matter."};
inline constexpr UiText tipWindowMatches{
    u"今開いているウィンドウのうち、この指定に一致する数です。",
    u"How many of the windows open now match."};
inline constexpr UiText tipWindowState{
    u"ウィンドウがどうなるまで待つかを指定します。\n"
    u"アクティブになる:一致するウィンドウがアクティブになるまで。\n"
    u"開いている:一致するウィンドウが開くまで。\n"
    u"閉じている:一致するウィンドウがすべて閉じるまで。",
    u"What to wait for.\n"
    u"becomes active: until a matching window is the active one.\n"
    u"is open: until a matching window is open.\n"
    u"is closed: until no matching window is open any more."};
inline constexpr UiText tipScreenArea{
    u"どこを見るかです。\n画面:画面全体(色は画面上の位置)。\n範囲:画面のこの四角形の中だけ。\n"
    u"ウィンドウ:選んだウィンドウのクライアント領域の中だけ。位置はその左上から数えます。",
    u"Where to look.\nScreen: the whole screen (a colour: its position on the screen).\n"
    u"Rectangle: only within this rectangle of the screen.\n"
    u"Window: only within the chosen window's client area; positions count from its top-left "
    u"corner."};
inline constexpr UiText tipColourHex{
    u"待つ色です(#RRGGBB)。取得ボタンで Ctrl+Alt+G を押すと、マウスポインターの下の位置と色が"
    u"入ります。",
    u"The colour to wait for (#RRGGBB). With the Get button and Ctrl+Alt+G, the position and "
    u"the colour under the mouse pointer are filled in."};
inline constexpr UiText tipTolerance{
    u"赤・緑・青のそれぞれが、これだけ違っても同じ色とみなします(0〜255)。",
    u"How far each of red, green and blue may differ and still count as the colour (0-255)."};
inline constexpr UiText tipColourState{
    u"になる:その位置がこの色になるまで待ちます。\nでなくなる:この色でなくなるまで待ちます。",
    u"becomes: waits until the position shows this colour.\n"
    u"is no longer: waits until it shows another colour."};
inline constexpr UiText tipThreshold{
    u"画像がどれだけ似ていれば見つかったとするかです(パーセント)。",
    u"How similar the picture on the screen must be to count as found (percent)."};
inline constexpr UiText tipTemplateFromScreen{
    u"画面を止めて表示します。探す画像をドラッグで囲んでください。Esc で中止します。",
    u"Freezes the screen; drag around the picture to look for. Esc cancels."};
inline constexpr UiText tipTemplateFromFile{u"探す画像を PNG ファイルから読み込みます。",
                                            u"Loads the picture to look for from a PNG file."};
inline constexpr UiText tipTemplatePreview{u"探す画像とその大きさ(ピクセル)です。",
                                           u"The picture to look for and its size in pixels."};
inline constexpr UiText tipJumpOffset{
    u"見つけた画像の中心から、マウスポインターをこれだけずらして移動します。",
    u"How far from the centre of the picture found the mouse pointer goes."};
inline constexpr UiText tipLookSeconds{
    u"画像を探し続ける秒数です。見つからなければ実行を停止します。",
    u"How many seconds to keep looking for the picture. If it is not found, the run stops."};
inline constexpr UiText tipUndoButton{u"1つ前の状態に戻します。(Ctrl + Z)",
                                      u"Revert to the previous state.(Ctrl + Z)"};
inline constexpr UiText tipRedoButton{
    u"戻した状態を戻します。(Ctrl + Y)(Ctrl + Shift + Z)",
    u"Revert the state to its original condition.(Ctrl + Y)(Ctrl + Shift + Z)"};

// ---- message boxes ----
// The first-run greeting carries both languages in one text.
inline constexpr char16_t welcomeTitle[] = u"はじめまして";
inline constexpr char16_t welcomeText[] =
    u"ダウンロードありがとうございます。\n"
    u"現在はヘルプモードがONになっています。\n"
    u"意味を知りたいボタンや文字などにカーソルを合わせると説明が表示されます。\n"
    u"説明を表示しないようにするにはメニューバーの「ヘルプ」で設定できます。\n"
    u"\n"
    u"Thank you for download.\n"
    u"Help mode is currently ON.\n"
    u"Hover your cursor over buttons or text you want to know the meaning of,\n"
    u"and an explanation will be displayed.\n"
    u"You can disable the explanation display in the \"Help\" menu in the menu bar.\n"
    u"You can switch to \"English mode\" by pressing the button labeled \"English\".";

// A run that only the tray could stop, on a desktop without a tray.
inline constexpr UiText noTrayTitle{u"実行できません", u"Cannot run"};
inline constexpr UiText noTrayText{
    u"システムトレイがないため、「終了コマンドを設定しない」で繰り返す実行は止める方法がありません"
    u"。\n"
    u"終了コマンドを設定するか、実行回数を指定してください。",
    u"There is no system tray, so a run that repeats with \"Do not set an exit command\" "
    u"could not be stopped.\nSet an exit command or a number of runs."};
// The same on Wayland where nothing hears the stop command (no binding of
// the desktop, no readable input devices).
inline constexpr UiText noTrayUnheardText{
    u"Wayland ではプログラムがキーボードを聞き取れず、"
    u"システムトレイもないため、繰り返し続ける実行は"
    u"tarnwick --stop でしか止められません。\n"
    u"実行回数を指定してください。sway で使うか、"
    u"グループ input に属していれば、終了コマンドで止められます。",
    u"No program may hear the keyboard on Wayland and there is no system tray, so a run that "
    u"repeats until stopped could be stopped only by tarnwick --stop.\nSet a number of runs. "
    u"Under sway, or as a member of group input, the exit command stops a run."};

// ---- questions and messages ----
// The title of every question that would discard or replace content.
inline constexpr UiText warningTitle{u"最終確認", u"Warning"};
inline constexpr UiText closeText{u"プロジェクトが保存されていません。\n終了しますか？",
                                  u"The project has not been saved.\nDo you want to exit?"};
inline constexpr UiText newFileText{
    u"プロジェクトが保存されていません。\n新規作成しますか？",
    u"The project has not been saved.\nDo you want to create a new one?"};
inline constexpr UiText loadOverUnsavedText{
    u"プロジェクトが保存されていません。\n新しいプロジェクトを読み込みますか？",
    u"The project has not been saved.\nDo you want to load a new project?"};
// %1: the page number.
inline constexpr UiText deletePageText{u"%1ページ目を削除しますか？",
                                       u"Do you want to delete page %1?"};
inline constexpr UiText replacePageText{u"%1 ページ目を置き換えますか？",
                                        u"Do you want to replace page %1?"};
inline constexpr UiText keyPrompt{u"単一または複数キーを押してください", u"Press one or more keys"};
inline constexpr UiText browserTitle{u"確認", u"Question"};
inline constexpr UiText browserText{u"ブラウザを起動します。\n続行しますか？",
                                    u"Launching your browser.\nDo you want to continue?"};
inline constexpr UiText versionTitle{u"情報", u"Information"};
inline constexpr UiText versionText{u"バージョン：1.6\n時間：2026年8月8日17時26分",
                                    u"Version:1.6\nTime:August 8, 2026 17:26"};

// ---- texts shown in Japanese in both languages ----
inline constexpr char16_t programTitle[] = u"Tarnwick Free";
// The window title and the run's project name while the project has no file.
inline constexpr char16_t newProjectName[] = u"新規プロジェクト";
inline constexpr char16_t keyHookFailed[] = u"キーフックに失敗";
inline constexpr char16_t saveCaption[] = u"名前を付けて保存";
inline constexpr char16_t openCaption[] = u"コマンドデータを読み込み";

// ---- the run's tray icon and window while it plays ----
inline constexpr UiText trayPause{u"一時停止", u"Pause"};
inline constexpr UiText trayResume{u"再開", u"Resume"};
inline constexpr UiText trayStop{u"停止", u"Stop"};
// %1: the project's name.
inline constexpr UiText trayPausedTip{u"「%1」を一時停止中（クリックで終了）",
                                      u"\"%1\" is paused (click to end it)"};
// After the window's title while the run is paused.
inline constexpr UiText pausedTitle{u"（一時停止中）", u" (paused)"};

// ---- recording actions ----
inline constexpr UiText recordAction{u"操作を記録", u"Record actions"};
inline constexpr UiText tipRecordAction{
    u"マウスのクリックとキーボードの操作を記録し、現在のページの後ろにページとして追加します。"
    u"開始までの時間の後に記録が始まり、停止コマンド（初期値 Ctrl + Alt + S）か"
    u"タスクトレイのアイコンのクリックで終わります。",
    u"Records your mouse clicks and keyboard input and adds them as pages after the current "
    u"page. Recording starts after the start delay and ends with the stop command (Ctrl + Alt + "
    u"S by default) or a click on the tray icon."};
inline constexpr UiText recordingTrayTip{u"記録中", u"Recording"};
// The title of both the refusal and a recorder that could not start.
inline constexpr UiText cannotRecordTitle{u"記録できません", u"Cannot record"};
inline constexpr UiText recordRefusedText{
    u"停止コマンドが設定されておらず、タスクトレイもないため、記録を終了する方法がありません。"
    u"実行の設定で停止コマンドを設定してください。",
    u"No stop command is set and there is no system tray, so a recording could not be ended. "
    u"Set a stop command in the run settings first."};
// Shown before a recording starts, until the user asks not to see it again.
inline constexpr UiText recordNoticeTitle{u"操作の記録", u"Recording actions"};
inline constexpr UiText recordNoticeText{
    u"記録中に入力した文字は、プロジェクトにそのまま読める形で保存されます。"
    u"パスワードなど秘密の文字は、記録中に入力しないでください。"
    u"パスワード欄への入力は記録しませんが、すべてのパスワード欄を見分けられるわけではありません"
    u"（ウェブブラウザーのパスワード欄など）。",
    u"Text you type while recording is stored in the project as it is, readable by anyone who "
    u"opens the file. Do not type passwords or other secrets while recording. Input into a "
    u"password field is left out, but not every password field can be recognised (a web "
    u"browser's, for one)."};
// The same where the recording reads the input devices (Wayland), which
// cannot tell a password field from any other.
inline constexpr UiText recordNoticeDevicesText{
    u"記録中に入力した文字は、プロジェクトにそのまま読める形で保存されます。"
    u"パスワードなど秘密の文字は、記録中に入力しないでください。"
    u"この環境では入力デバイスから記録するため、パスワード欄への入力も含めて、"
    u"すべてのキーが記録されます。",
    u"Text you type while recording is stored in the project as it is, readable by anyone who "
    u"opens the file. Do not type passwords or other secrets while recording. Here the "
    u"recording reads the input devices, so every key is recorded, a password field's "
    u"included."};
inline constexpr UiText recordNoticeDontShow{u"今後は表示しない", u"Do not show this again"};
// After a recording that left input out, without saying what or how much.
inline constexpr UiText recordSkippedText{
    u"パスワード欄など、保護された入力への入力は記録しませんでした。",
    u"Input into a password field or another protected input was not recorded."};

// ---- the display session: a Wayland desktop without virtual input ----
inline constexpr UiText sessionNoticeTitle{u"Wayland での制限", u"Limits on Wayland"};
// %1: the desktop ("GNOME", "KDE Plasma", "Wayland").
inline constexpr UiText sessionX11Only{
    u"この %1 のセッションは Wayland で動いており、そのコンポジターはプログラムが Wayland "
    u"のウィンドウへキーやクリックを送ることを許していません。\n\n"
    u"動くもの: XWayland を通じた X11 のプログラムへのキー、文字、クリック。\n"
    u"届かないもの: Wayland のウィンドウ（%1 自身のプログラム、GTK 4 や Qt 6 の多くの"
    u"プログラム、Firefox など）。\n\n"
    u"すべてのウィンドウを操作するには、X11 のセッション（ログイン画面の「GNOME on Xorg」や"
    u"「Plasma (X11)」）でログインするか、仮想キーボードと仮想ポインターを提供するコンポジター"
    u"（sway、Hyprland、river、labwc、Wayfire）を使ってください。",
    u"This %1 session runs on Wayland, and its compositor does not let programs send keys and "
    u"clicks to Wayland windows.\n\n"
    u"What works: keys, text and clicks sent to X11 programs (through XWayland).\n"
    u"What does not: Wayland windows (%1's own programs, most GTK 4 and Qt 6 programs, "
    u"Firefox) receive nothing.\n\n"
    u"To reach every window, log in to an X11 session (\"GNOME on Xorg\" or \"Plasma (X11)\" "
    u"on the login screen) or use a compositor that offers a virtual keyboard and pointer "
    u"(sway, Hyprland, river, labwc, Wayfire)."};
inline constexpr UiText sessionNothing{
    u"この %1 のセッションは Wayland で動いており、そのコンポジターはプログラムがキーやクリック"
    u"を送ることを許していません。XWayland もないため、実行しても何も送られません。\n\n"
    u"X11 のセッションでログインするか、仮想キーボードと仮想ポインターを提供するコンポジター"
    u"（sway、Hyprland、river、labwc、Wayfire）を使ってください。",
    u"This %1 session runs on Wayland, and its compositor does not let programs send keys and "
    u"clicks. There is no XWayland either, so a run sends nothing.\n\n"
    u"Log in to an X11 session, or use a compositor that offers a virtual keyboard and pointer "
    u"(sway, Hyprland, river, labwc, Wayfire)."};
inline constexpr UiText sessionDesktopGnome{u"GNOME", u"GNOME"};
inline constexpr UiText sessionDesktopKde{u"KDE Plasma", u"KDE Plasma"};
inline constexpr UiText sessionDesktopOther{u"Wayland", u"Wayland"};

// ---- what stops a run on Wayland, said as it starts ----
inline constexpr UiText waylandStopTitle{u"実行の停止", u"Stopping the run"};
// %1: the stop command as shown.
inline constexpr UiText waylandStopDevices{
    u"停止コマンド「%1」は入力デバイス（/dev/input）から読み取ります。"
    u"どのウィンドウが前面にあっても、押せば実行が止まります。",
    u"The stop command \"%1\" is read from the input devices (/dev/input): pressing it stops "
    u"the run whichever window is in front."};
// %1: the stop command as shown, %2: the desktop's name for it
// ("Ctrl+Alt+s"), %3: the desktop that binds it.
inline constexpr UiText waylandStopBinding{
    u"Wayland ではプログラムがキーボードを聞き取れないため、停止コマンド「%1」は実行中だけ "
    u"%3 のキー割り当て（%2）として tarnwick --stop を実行します。",
    u"No program may hear the keyboard on Wayland, so while the run lasts the stop command "
    u"\"%1\" is a %3 key binding (%2) that runs tarnwick --stop."};
// Added to the one above where there is a system tray.
inline constexpr UiText waylandStopAlsoTray{u"タスクトレイのアイコンでも止められます。",
                                            u" The tray icon stops the run too."};
// %1: the stop command as shown, %2: how to stop it instead
// (waylandStopTrayOrCommand, or waylandStopCommand without a tray).
inline constexpr UiText waylandStopTray{
    u"Wayland ではプログラムがキーボードを聞き取れないため、停止コマンド「%1」では実行は"
    u"止まりません。%2で止めてください。グループ input に属していれば、入力デバイスから停止"
    u"コマンドを読み取れます（ただし、すべてのプログラムへのすべてのキー入力を読めるように"
    u"なります）。",
    u"No program may hear the keyboard on Wayland, so the stop command \"%1\" does not stop "
    u"the run: use %2. Membership of group input would let the stop command be read from the "
    u"input devices (and every keystroke of every program with it)."};
inline constexpr UiText waylandStopTrayOrCommand{
    u"タスクトレイのアイコンか tarnwick --stop（コンポジターのキー割り当てにもできます）",
    u"the tray icon or tarnwick --stop (which a compositor key binding can run)"};
inline constexpr UiText waylandStopCommand{
    u"tarnwick --stop（コンポジターのキー割り当てにもできます）",
    u"tarnwick --stop (which a compositor key binding can run)"};

// The kinds that jump, branch or call, and the pages' names.
inline constexpr UiText jumpCountLabel{u"回数", u"Times"};
inline constexpr UiText jumpEveryCheck{u"毎回", u"Every time"};
inline constexpr UiText callBrowseButton{u"参照", u"Browse"};
inline constexpr UiText callFileTitle{u"呼び出すプロジェクト", u"The project to call"};
inline constexpr UiText noPageChosen{u"（次のページ）", u"(next page)"};
// %1: the seconds, %2: the page when it does not come, %3: the page when it does.
inline constexpr UiText branchButton{u"%1秒 ✗%2 ✓%3", u"%1 s ✗%2 ✓%3"};
inline constexpr UiText branchTitle{u"分岐", u"Branch"};
inline constexpr UiText branchSeconds{u"待つ秒数", u"Seconds to wait"};
inline constexpr UiText branchElse{u"来ないとき", u"When it does not come"};
inline constexpr UiText branchThen{u"来たとき", u"When it comes"};
inline constexpr UiText nameAction{u"ページに名前を付ける...", u"Name this page..."};
inline constexpr UiText nameTitle{u"ページの名前", u"Page name"};
// %1: the page.
inline constexpr UiText nameLabel{u"%1ページ目の名前（空欄で名前なし）：",
                                  u"Name of page %1 (empty for none):"};
// %1: the page, %2: the name.
inline constexpr UiText nameTaken{u"「%2」はほかのページ（%1ページ目）の名前です。",
                                  u"\"%2\" is the name of another page (page %1)."};
// %1: the page, %2: the pages that jump there.
inline constexpr UiText deleteTargetText{
    u"%1ページ目へは %2 ページ目から飛びます。削除すると、その飛び先はなくなります。削除しますか？",
    u"Pages %2 jump to page %1. Deleting it leaves them without a page to go to. Do you want to "
    u"delete page %1?"};

} // namespace uitexts
