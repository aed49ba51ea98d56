// The Image pages' templates: made from the frozen screen or loaded from a
// PNG file, written into the page through core/screenpages.

#include "tarnwick.h"

#include "editorpanes.h"

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
    const int page = currentPage;
    QTimer::singleShot(kHideDelayMs, this, [this, forCondition, page] {
        // The page cannot change while the window is hidden; checked anyway.
        if (page != currentPage) {
            show();
            return;
        }
        const QList<FrozenScreen> screens = freezeScreens();
        if (screens.isEmpty()) {
            show();
            messageTitle = uitexts::screenUnreadableTitle.in(is_japanese);
            messageText = uitexts::screenUnreadableText.in(is_japanese);
            QMessageBox::warning(this, messageTitle, messageText);
            return;
        }
        startTemplateCapture(forCondition, screens);
    });
}

void tarnwick::startTemplateCapture(bool forCondition, const QList<FrozenScreen> &screens) {
    delete templateCapture;
    hide();
    templateCapture = new TemplateCapture(is_japanese, this);
    const int page = currentPage;
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
    const QString path =
        QFileDialog::getOpenFileName(this, uitexts::templateFileTitle.in(is_japanese), QString(),
                                     uitexts::templateFileFilter.in(is_japanese));
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
        messageTitle = uitexts::templateUnreadableTitle.in(is_japanese);
        messageText = uitexts::templateUnreadableText.in(is_japanese)
                          .arg(QDir::toNativeSeparators(path))
                          .arg(kLargestSide);
        QMessageBox::warning(this, messageTitle, messageText);
        return false;
    }
    // A file carries no display scale: taken as made at 100 %.
    setTemplate(forCondition, currentPage, png, 1.0);
    return true;
}

void tarnwick::setTemplate(bool forCondition, int page, const QByteArray &png, double scale) {
    PageList &list = forCondition ? listCondition : listCommand;
    if (page < 1 || page > list.size())
        return;
    QStringList &record = list[page - 1];
    const editorpanes::Pane *pane = editorpanes::find(
        forCondition ? pagekinds::Side::Condition : pagekinds::Side::Command, record.value(0));
    if (!pane || !pane->takeTemplate)
        return;
    pane->takeTemplate(record, png, scale);
    refreshPage();
}
