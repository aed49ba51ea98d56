// Recording the user's actions into pages: the Other menu's first entry.

#include "recordingsession.h"
#include "tarnwick.h"
#include "uitexts.h"

#include "core/projectdocument.h"
#include "platform/backend.h"

#include <QCheckBox>
#include <QMessageBox>

bool tarnwick::confirmRecordingNotice() {
    if (!settings.is_message_record)
        return true;
    const bool hearsAll = platform::backend().capabilities().recordingHearsAll;
    QMessageBox box(QMessageBox::Information, uitexts::recordNoticeTitle.in(settings.is_japanese),
                    (hearsAll ? uitexts::recordNoticeDevicesText : uitexts::recordNoticeText)
                        .in(settings.is_japanese),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    auto *dontShow = new QCheckBox(uitexts::recordNoticeDontShow.in(settings.is_japanese), &box);
    box.setCheckBox(dontShow);
    const bool go = box.exec() == QMessageBox::Ok;
    // Kept even when the user then backs out: the notice has been read.
    if (dontShow->isChecked())
        settings.is_message_record = false;
    return go;
}

void tarnwick::recordActions() {
    // The recorded pages go after the page shown, which a key capture holds.
    if (keyCaptureRunning() || recording)
        return;
    if (!RecordingSession::canBeEnded(settings.stopCommand)) {
        QMessageBox::warning(this, uitexts::cannotRecordTitle.in(settings.is_japanese),
                             uitexts::recordRefusedText.in(settings.is_japanese));
        return;
    }
    if (!confirmRecordingNotice())
        return;
    recording =
        new RecordingSession(settings.stertTime, settings.stopCommand, settings.is_japanese, this);
    QString error;
    if (!recording->start(error)) {
        delete recording;
        recording = nullptr;
        QMessageBox::warning(this, uitexts::cannotRecordTitle.in(settings.is_japanese), error);
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

    QList<Page> recorded;
    recorded.reserve(pages.commands.size());
    for (int i = 0; i < pages.commands.size(); ++i)
        recorded.append(Page{pages.commands.at(i), pages.conditions.value(i)});
    document->insertPages(document->currentPage(), recorded);
    // The last recorded page is shown, so a second recording continues it.
    document->setCurrentPage(document->currentPage() + int(recorded.size()));
    refreshPage();
    show();
    activateWindow();
    if (pages.skippedProtectedInput)
        QMessageBox::information(this, uitexts::recordNoticeTitle.in(settings.is_japanese),
                                 uitexts::recordSkippedText.in(settings.is_japanese));
}
