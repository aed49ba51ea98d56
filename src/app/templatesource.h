#pragma once

// Where an Image page's template comes from: a rectangle the user draws on
// the frozen screens (the window out of the way meanwhile), or a PNG file.
// What is taken goes to `taken`, with the page it was taken for; writing it
// into that page is the editor's.

#include "capture/templatecapture.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class ProjectDocument;
class QWidget;

class TemplateSource : public QObject {
    Q_OBJECT

public:
    // Hides and shows `window`, which owns this object; `japanese` tells
    // which language the questions speak.
    TemplateSource(const ProjectDocument &document, const bool &japanese, QWidget *window);

    // Hides the window, lets it go and freezes the screens for the capture.
    void captureTemplate(bool forCondition);
    // The capture over these frozen screens, for the page shown now.
    void startTemplateCapture(bool forCondition, const QList<FrozenScreen> &screens);
    // Asks for a PNG file and loads it as the side's template.
    void chooseTemplateFile(bool forCondition);
    // False (and said so) when the file is no PNG or too large.
    bool loadTemplateFile(bool forCondition, const QString &path);

    TemplateCapture *templateCapture = nullptr; // while a capture lasts
    // The last error shown, as the user read it.
    QString messageTitle;
    QString messageText;

signals:
    // A template for page `page` (1-based), made at the display scale `scale`.
    void taken(bool forCondition, int page, const QByteArray &png, double scale);

private:
    const ProjectDocument &document_;
    const bool &japanese_;
    QWidget *window_;
};
