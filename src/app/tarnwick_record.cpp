// Recording the user's actions into pages: the Other menu's first entry.

#include "recordingsession.h"
#include "tarnwick.h"
#include "uitexts.h"

#include <QMessageBox>

void tarnwick::recordActions() {
    // The recorded pages go after the page shown, which a key capture holds.
    if (keyCaptureRunning() || recording)
        return;
    if (!RecordingSession::canBeEnded(stopCommand)) {
        QMessageBox::warning(this, uitexts::cannotRecordTitle.in(is_japanese),
                             uitexts::recordRefusedText.in(is_japanese));
        return;
    }
    recording = new RecordingSession(stertTime, stopCommand, is_japanese, this);
    QString error;
    if (!recording->start(error)) {
        delete recording;
        recording = nullptr;
        QMessageBox::warning(this, uitexts::cannotRecordTitle.in(is_japanese), error);
        return;
    }
    connect(recording, &RecordingSession::finished, this, &tarnwick::finishRecording);
    // As for a run: out of the way, with the tray icon as the only sign.
    hide();
}

void tarnwick::finishRecording() {
    if (!recording)
        return;
    const actionrecording::RecordedPages pages = recording->pages();
    recording->deleteLater();
    recording = nullptr;

    for (int i = 0; i < pages.commands.size(); ++i) {
        listCommand.insert(currentPage + i, pages.commands.at(i));
        listCondition.insert(currentPage + i, pages.conditions.value(i));
    }
    // The last recorded page is shown, so a second recording continues it.
    currentPage += int(pages.commands.size());
    refreshPage();
    show();
    activateWindow();
}
