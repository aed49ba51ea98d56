#include "app/panefields.h"

#include <QLineEdit>
#include <QPushButton>

namespace kinds::command::callProject {
using namespace editorpanes;

// The called project's file, typed or chosen ("参照").
editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.callPathEdit, w.callBrowseButton};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.callPathEdit->setText(pagerecords::element(r, 1));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        pagerecords::setElement(r, 1, w.callPathEdit->text());
    };
    return p;
}

} // namespace kinds::command::callProject
