#pragma once

// Recording the user's actions into pages (the Other menu's first entry):
// the notice first, the window out of the way while the recording lasts,
// and the recorded pages after the page shown, as one undo step.

#include "core/configstore.h"

#include <QObject>

class ProjectDocument;
class QWidget;
class RecordingSession;

class RecordingLauncher : public QObject {
    Q_OBJECT

public:
    // Hides and shows `window`, which owns this object.
    RecordingLauncher(ProjectDocument &document, configstore::Settings &settings, QWidget *window);

    // Starts a recording unless one lasts.
    void recordActions();
    // Inserts what was recorded after the current page and shows the last
    // of it.
    void finishRecording();
    // The notice that typed text is stored readable; false when the user
    // backs out.
    bool confirmRecordingNotice();

    RecordingSession *recording = nullptr; // while a recording lasts

signals:
    // The recorded pages are in the document: the window redraws.
    void recorded();

private:
    ProjectDocument &document_;
    configstore::Settings &settings_;
    QWidget *window_;
};
