// The Image pages' templates, taken by TemplateSource, written into the
// page through core/screenpages.

#include "core/projectdocument.h"
#include "tarnwick.h"

#include "editorpanes.h"

#include "core/screenpages.h"

void tarnwick::setTemplate(bool forCondition, int page, const QByteArray &png, double scale) {
    if (page < 1 || page > document->pageCount())
        return;
    const Page shown = document->page(page - 1);
    QStringList record = forCondition ? shown.condition : shown.command;
    const editorpanes::Pane *pane = editorpanes::find(
        forCondition ? pagekinds::Side::Condition : pagekinds::Side::Command, record.value(0));
    if (!pane || !pane->takeTemplate)
        return;
    pane->takeTemplate(record, png, scale);
    if (forCondition)
        document->setConditionAt(page - 1, record);
    else
        document->setCommandAt(page - 1, record);
    refreshPage();
}
