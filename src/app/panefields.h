#pragma once

// What the kinds' editor panes share: the window fields, the seconds, the
// image search's fields and how a record goes into them and back.

#include "editorpanes.h"
#include "tarnwick.h"

#include "core/pagerecords.h"
#include "core/screenpages.h"
#include "core/windowmatch.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QString>
#include <QStringList>

class QDoubleSpinBox;
class QWidget;

namespace editorpanes {

using pagerecords::element;
using pagerecords::secondsText;
using pagerecords::setElement;

// A pane that shows no widget and writes nothing; kinds fill in the rest.
Pane emptyPane();

void setSeconds(QDoubleSpinBox *spin, const QString &text);

// A key page whose key is not captured yet.
bool keyMissing(const QStringList &record);

struct WindowFields {
    QComboBox *title;
    QComboBox *mode;
    QLineEdit *program;
    QLabel *matches;

    QList<QWidget *> widgets() const { return {title, mode, program, matches}; }
};

WindowFields commandFields(const tarnwick &w);
WindowFields conditionFields(const tarnwick &w);

// The title, mode and program share one row, at the height the pane has free.
void showWindow(const WindowFields &f, const QStringList &r, int y);
windowmatch::Choice choiceOf(const QString &title, int mode, const QString &program);
void applyWindow(QStringList &r, const QString &title, int mode, const QString &program);
// The command's window fields into the record.
void applyCommandWindow(QStringList &r, const tarnwick &w);

// The row below the coordinates (and above the seconds).
constexpr int kWindowRowBelowCoordinates = 188;
// The window fields take the second row of the screen panes.
constexpr int kScreenWindowRowCommand = 172;
constexpr int kScreenWindowRowCondition = 422;

// A window page's position taken with Ctrl+Alt+G: the window under the
// pointer, the position within its client area.
void takeWindowPosition(QStringList &r, const QString &title, const QString &program, int x, int y);

void showOnly(const QList<QWidget *> &all, const QList<QWidget *> &hidden);
QList<QWidget *> rectangleWidgets(const tarnwick::ImageFields &f);
QList<QWidget *> imageWidgets(const tarnwick::ImageFields &f);
// The fields of the areas the search does not look at.
QList<QWidget *> areaUnused(const tarnwick::ImageFields &f, const WindowFields &window,
                            screenpages::Area area);
// The template as large as the preview allows, small ones enlarged by
// whole steps so their pixels stay sharp.
void showTemplate(const tarnwick::ImageFields &f, const QByteArray &png, bool japanese);
void showSearch(tarnwick &w, const tarnwick::ImageFields &f, const WindowFields &window,
                const QStringList &r, const screenpages::ImageSearch &s, int windowRow);
void applySearch(screenpages::ImageSearch &s, const tarnwick::ImageFields &f,
                 const windowmatch::Choice &window);
// A screen page looks at a window where its area says so.
bool areaIsWindow(const QStringList &record);

} // namespace editorpanes
