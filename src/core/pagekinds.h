#pragma once

// Every kind of command and condition a page can hold, one row each: the
// stored name (Japanese whatever the interface language), the names the menus
// and labels show, how many elements a record of the kind needs and the
// record "追加" puts on a page. Whatever lists, reads, shows or runs kinds
// walks these tables, so a new kind is one new row here (plus its editor pane,
// its run step and its row in docs/file-format.md, which look their kind up by
// stored name).

#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

namespace pagekinds {

// Stored names, for the code that has to name one kind (a new page, the key
// capture, a recording). The rows below take their stored names from here.
namespace name {
inline const QString none = QStringLiteral("なし");
inline const QString click = QStringLiteral("クリック");
inline const QString mousePointer = QStringLiteral("マウスポインター");
inline const QString smoothMove = QStringLiteral("スムーズムーブ");
inline const QString key = QStringLiteral("キー");
inline const QString enterText = QStringLiteral("入力");
inline const QString window = QStringLiteral("ウィンドウ切替");
inline const QString pointerInWindow = QStringLiteral("ウィンドウ座標");
inline const QString smoothMoveInWindow = QStringLiteral("ウィンドウムーブ");
inline const QString waitUntilOver = QStringLiteral("終わるまで待つ");
inline const QString time = QStringLiteral("時間");
inline const QString immediately = QStringLiteral("即時");
inline const QString clockTime = QStringLiteral("時刻");
inline const QString windowState = QStringLiteral("ウィンドウ");
inline const QString imageJump = QStringLiteral("画像ジャンプ");
inline const QString colour = QStringLiteral("色");
inline const QString image = QStringLiteral("画像");
// The kinds that move the run elsewhere than the next page (core/pageflow.h).
inline const QString goToPage = QStringLiteral("ページへ");
inline const QString callProject = QStringLiteral("プロジェクト呼出");
inline const QString imageJumpBranch = QStringLiteral("画像ジャンプ分岐");
inline const QString clickBranch = QStringLiteral("クリック分岐");
inline const QString keyBranch = QStringLiteral("キー分岐");
inline const QString windowBranch = QStringLiteral("ウィンドウ分岐");
inline const QString colourBranch = QStringLiteral("色分岐");
inline const QString imageBranch = QStringLiteral("画像分岐");
} // namespace name

// Click sides as records store them.
inline const QString leftSide = QStringLiteral("左");
inline const QString rightSide = QStringLiteral("右");

// What the Window condition waits for, as records store it, in menu order.
inline const QString windowActive = QStringLiteral("アクティブ");
inline const QString windowExists = QStringLiteral("ある");
inline const QString windowGone = QStringLiteral("ない");

// Where the screen pages look (element 4), as records store them: the whole
// screen, a rectangle of it (Image pages only), or the chosen window's client
// area, whose positions are then relative to that area.
inline const QString areaScreen = QStringLiteral("画面");
inline const QString areaRectangle = QStringLiteral("範囲");
inline const QString areaWindow = QStringLiteral("ウィンドウ");

// What the Colour condition waits for, as records store it, in menu order.
inline const QString colourBecomes = QStringLiteral("になる");
inline const QString colourLeaves = QStringLiteral("でなくなる");

enum class Side { Command, Condition };

struct Kind {
    Side side = Side::Command;
    QString stored;        // element 0 of a record, e.g. "クリック"
    QString japanese;      // menu and label text in Japanese
    QString english;       // menu and label text in English
    QString englishInList; // the page list's English label (commands only)
    int elements = 1;      // a record needs at least this many, the kind included
    // The record "追加" puts on the page; a clock-based kind starts at `now`.
    QStringList (*fresh)(const QTime &now) = nullptr;
};

// In menu order.
const QList<Kind> &commands();
const QList<Kind> &conditions();
const QList<Kind> &all(Side side);

// The row of a stored kind name, null when this version does not know it.
const Kind *find(Side side, const QString &stored);

// The menu text of a row in one language.
QString menuText(const Kind &kind, bool japanese);

// The row whose menu text in that language is `text`; null when none is.
const Kind *findByMenuText(Side side, const QString &text, bool japanese);

// Why a record cannot be shown or run; None when it has a kind this version
// knows and all the elements that kind needs.
enum class RecordProblem { None, Empty, UnknownKind, TooShort };
RecordProblem check(Side side, const QStringList &record);

} // namespace pagekinds
