#include "tarnwick.h"

#include <QCloseEvent>

// Placeholder until the main window is built.
tarnwick::tarnwick(QWidget *parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Tarnwick Free"));
    setFixedSize(630, 585);
}
tarnwick::~tarnwick() = default;
void tarnwick::closeEvent(QCloseEvent *event) { event->accept(); }
void tarnwick::enterEditor() {}
bool tarnwick::isProjectDirty() const { return false; }
QString tarnwick::windowTitleForPath() const { return {}; }
