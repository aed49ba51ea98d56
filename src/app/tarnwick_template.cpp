// The Image pages' templates: made from the frozen screen or loaded from a
// PNG file, written into the page through core/screenpages.

#include "core/projectdocument.h"
#include "tarnwick.h"

#include "capture/displayscale.h"
#include "capture/templatecapture.h"
#include "core/screenpages.h"
#include "uitexts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QTimer>

namespace {

// Long enough for the window system to take the hidden window off the
// screen before the screen is frozen.
constexpr int kHideDelayMs = 400;

// A template larger than this is no picture on a screen.
constexpr int kLargestSide = 8192;

} // namespace

void tarnwick::captureTemplate(bool forCondition) {
    if (templateCapture)
        return;
    hide();
    const int page = document->currentPage();
    QTimer::singleShot(kHideDelayMs, this, [this, forCondition, page] {
        // The page cannot change while the window is hidden; checked anyway.
        if (page != document->currentPage()) {
            show();
            return;
        }
        const QList<FrozenScreen> screens = freezeScreens();
        if (screens.isEmpty()) {
            show();
            messageTitle = uitexts::screenUnreadableTitle.in(settings.is_japanese);
            messageText = uitexts::screenUnreadableText.in(settings.is_japanese);
            QMessageBox::warning(this, messageTitle, messageText);
            return;
        }
        startTemplateCapture(forCondition, screens);
    });
}

void tarnwick::startTemplateCapture(bool forCondition, const QList<FrozenScreen> &screens) {
    delete templateCapture;
    hide();
    templateCapture = new TemplateCapture(settings.is_japanese, this);
    const int page = document->currentPage();
    auto done = [this] {
        templateCapture->deleteLater();
        templateCapture = nullptr;
        show();
        raise();
        activateWindow();
    };
    connect(templateCapture, &TemplateCapture::taken, this,
            [this, forCondition, page, done](const QByteArray &png, const QSize &, double scale) {
                done();
                setTemplate(forCondition, page, png, scale);
            });
    connect(templateCapture, &TemplateCapture::cancelled, this, done);
    templateCapture->start(screens, displayScale());
}

void tarnwick::chooseTemplateFile(bool forCondition) {
    const QString path = QFileDialog::getOpenFileName(
        this, uitexts::templateFileTitle.in(settings.is_japanese), QString(),
        uitexts::templateFileFilter.in(settings.is_japanese));
    if (!path.isEmpty())
        loadTemplateFile(forCondition, path);
}

bool tarnwick::loadTemplateFile(bool forCondition, const QString &path) {
    QImageReader reader(path, "png");
    const QSize size = reader.size();
    QImage image;
    // The size first: a forged header must not make us decode a giant.
    if (size.isValid() && size.width() <= kLargestSide && size.height() <= kLargestSide)
        image = reader.read();
    const QByteArray png = image.isNull() ? QByteArray() : templatePng(image);
    if (png.isEmpty()) {
        messageTitle = uitexts::templateUnreadableTitle.in(settings.is_japanese);
        messageText = uitexts::templateUnreadableText.in(settings.is_japanese)
                          .arg(QDir::toNativeSeparators(path))
                          .arg(kLargestSide);
        QMessageBox::warning(this, messageTitle, messageText);
        return false;
    }
    // A file carries no display scale: taken as made at 100 %.
    setTemplate(forCondition, document->currentPage(), png, 1.0);
    return true;
}

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
