#pragma once

// Why a project could not be read or written, in both interface languages.
// The command line picks the column by the locale.

#include "uitext.h"

namespace projecttexts {

inline constexpr UiText loadErrorTitle{u"読み込みエラー", u"Load Error"};
inline constexpr UiText noLoadPath{u"読み込むファイルが設定されていません。",
                                   u"No file to load has been set."};
// %1: the file.
inline constexpr UiText openFailed{u"ファイルを開けませんでした：%1",
                                   u"Could not open the file: %1"};
// Appended to openFailed: why. %1: the reason.
inline constexpr UiText because{u"（%1）", u" (%1)"};
inline constexpr UiText missing{u"ファイルがありません", u"there is no such file"};
inline constexpr UiText folder{u"フォルダです", u"it is a folder"};
inline constexpr UiText noPermission{u"読み取りの権限がありません",
                                     u"you have no permission to read it"};
inline constexpr UiText inputClosed{u"標準入力が閉じています", u"standard input is closed"};
inline constexpr UiText readFailed{u"読み取り中にエラーが起きました",
                                   u"an error occurred while reading it"};
// %1: the parser's message.
inline constexpr UiText parseError{u"JSON 解析エラー: %1", u"JSON parse error: %1"};
inline constexpr UiText badShape{u"ファイルの形式が正しくありません。",
                                 u"The file is not in the project format."};
// %1: the page, %2: the kind as stored.
inline constexpr UiText unknownCommand{
    u"ページ %1 のコマンド「%2」はこのバージョンでは使えません。",
    u"Page %1: the command \"%2\" cannot be used in this "
    u"version."};
inline constexpr UiText unknownCondition{u"ページ %1 の条件「%2」はこのバージョンでは使えません。",
                                         u"Page %1: the condition \"%2\" cannot be used in this "
                                         u"version."};
// The pages' names and jumps. %1: the page, %2: the name or count as stored.
inline constexpr UiText duplicateName{u"ページ %1 の名前「%2」はほかのページにもあります。",
                                      u"Page %1: another page has the name \"%2\" too."};
inline constexpr UiText noSuchPage{u"ページ %1 の飛び先「%2」という名前のページはありません。",
                                   u"Page %1: no page has the name \"%2\" to go to."};
inline constexpr UiText noTarget{u"ページ %1 の飛び先のページが選ばれていません。",
                                 u"Page %1: no page to go to has been chosen."};
inline constexpr UiText badCount{u"ページ %1 の回数「%2」は 0 以上の整数か「毎回」にしてください。",
                                 u"Page %1: the count \"%2\" is not a whole number of 0 or "
                                 u"more, nor \"毎回\"."};
// %1: the page, %2: the limit, %3: the called project.
inline constexpr UiText callTooDeep{
    u"ページ %1 の呼び出しが深すぎます（%2 段まで）：%3",
    u"Page %1: projects call each other too deep (at most %2 levels): %3"};
// %1: the page, %2: the called project.
inline constexpr UiText callCircle{u"ページ %1 の呼び出しは自分自身に戻ります：%2",
                                   u"Page %1: the call comes back round to itself: %2"};
// %1: the page, %2: the called project, %3: why it cannot be played.
inline constexpr UiText callRefused{u"ページ %1 で呼び出すプロジェクトを使えません：%2（%3）",
                                    u"Page %1: the called project cannot be played: %2 (%3)"};
// After a call problem found when a project is opened in the editor.
inline constexpr UiText callsUntilMended{u"直すまで、このプロジェクトは実行できません。",
                                         u"The project cannot be run until this is mended."};
// %1: the limit in MiB, %2: the file.
inline constexpr UiText tooLarge{u"ファイルが大きすぎます（%1 MiB まで）：%2",
                                 u"The file is too large (at most %1 MiB): %2"};
// The command line names the file before a reason that does not. %1: the
// file, %2: the reason.
inline constexpr UiText inFile{u"%1：%2", u"%1: %2"};

inline constexpr UiText saveErrorTitle{u"保存エラー", u"Save Error"};
inline constexpr UiText noSavePath{u"保存先が設定されていません。",
                                   u"No file to save to has been set."};
inline constexpr UiText createFailed{u"ファイルを開けませんでした:%1",
                                     u"Could not open the file: %1"};
inline constexpr UiText writeFailed{u"ファイルへの書き込みに失敗しました：%1",
                                    u"Could not write to the file: %1"};

} // namespace projecttexts
