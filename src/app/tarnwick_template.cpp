// The Image pages' templates, taken by TemplateSource, written into the
// page through core/screenpages.

#include "core/projectdocument.h"
#include "tarnwick.h"

#include "core/screenpages.h"

void tarnwick::setTemplate(bool forCondition, int page, const QByteArray &png, double scale) {
    if (page < 1 || page > document->pageCount())
        return;
    const Page shown = document->page(page - 1);
    QStringList record = forCondition ? shown.condition : shown.command;
    const QString kind = record.value(0);
    if (forCondition && kind == pagekinds::name::image) {
        screenpages::ImageSearch search = screenpages::imageFromRecord(record);
        search.png = png;
        search.templateScale = scale;
        screenpages::imageToRecord(record, search);
    } else if (!forCondition && kind == pagekinds::name::imageJump) {
        screenpages::ImageJump jump = screenpages::jumpFromRecord(record);
        jump.search.png = png;
        jump.search.templateScale = scale;
        screenpages::jumpToRecord(record, jump);
    } else {
        return;
    }
    if (forCondition)
        document->setConditionAt(page - 1, record);
    else
        document->setCommandAt(page - 1, record);
    refreshPage();
}
