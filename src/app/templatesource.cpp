#include "templatesource.h"

#include "uitexts.h"

#include "capture/displayscale.h"
#include "core/projectdocument.h"

#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

// Long enough for the window system to take the hidden window off the
// screen before the screen is frozen.
constexpr int kHideDelayMs = 400;

// A template larger than this is no picture on a screen.
constexpr int kLargestSide = 8192;

} // namespace

TemplateSource::TemplateSource(const ProjectDocument &document, const bool &japanese,
                               QWidget *window)
    : QObject(window), document_(document), japanese_(japanese), window_(window) {}

void TemplateSource::captureTemplate(bool forCondition) {
    if (templateCapture)
        return;
    window_->hide();
    const int page = document_.currentPage();
    QTimer::singleShot(kHideDelayMs, this, [this, forCondition, page] {
        // The page cannot change while the window is hidden; checked anyway.
        if (page != document_.currentPage()) {
            window_->show();
            return;
        }
        const QList<FrozenScreen> screens = freezeScreens();
        if (screens.isEmpty()) {
            window_->show();
            messageTitle = uitexts::screenUnreadableTitle.in(japanese_);
            messageText = uitexts::screenUnreadableText.in(japanese_);
            QMessageBox::warning(window_, messageTitle, messageText);
            return;
        }
        startTemplateCapture(forCondition, screens);
    });
}

void TemplateSource::startTemplateCapture(bool forCondition, const QList<FrozenScreen> &screens) {
    delete templateCapture;
    window_->hide();
    templateCapture = new TemplateCapture(japanese_, window_);
    const int page = document_.currentPage();
    auto done = [this] {
        templateCapture->deleteLater();
        templateCapture = nullptr;
        window_->show();
        window_->raise();
        window_->activateWindow();
    };
    connect(templateCapture, &TemplateCapture::taken, this,
            [this, forCondition, page, done](const QByteArray &png, const QSize &, double scale) {
                done();
                emit taken(forCondition, page, png, scale);
            });
    connect(templateCapture, &TemplateCapture::cancelled, this, done);
    templateCapture->start(screens, displayScale());
}

void TemplateSource::chooseTemplateFile(bool forCondition) {
    const QString path =
        QFileDialog::getOpenFileName(window_, uitexts::templateFileTitle.in(japanese_), QString(),
                                     uitexts::templateFileFilter.in(japanese_));
    if (!path.isEmpty())
        loadTemplateFile(forCondition, path);
}

bool TemplateSource::loadTemplateFile(bool forCondition, const QString &path) {
    QImageReader reader(path, "png");
    const QSize size = reader.size();
    QImage image;
    // The size first: a forged header must not make us decode a giant.
    if (size.isValid() && size.width() <= kLargestSide && size.height() <= kLargestSide)
        image = reader.read();
    const QByteArray png = image.isNull() ? QByteArray() : templatePng(image);
    if (png.isEmpty()) {
        messageTitle = uitexts::templateUnreadableTitle.in(japanese_);
        messageText = uitexts::templateUnreadableText.in(japanese_)
                          .arg(QDir::toNativeSeparators(path))
                          .arg(kLargestSide);
        QMessageBox::warning(window_, messageTitle, messageText);
        return false;
    }
    // A file carries no display scale: taken as made at 100 %.
    emit taken(forCondition, document_.currentPage(), png, 1.0);
    return true;
}
