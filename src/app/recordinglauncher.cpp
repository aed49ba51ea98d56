#include "recordinglauncher.h"

#include "recordingsession.h"
#include "uitexts.h"

#include "core/projectdocument.h"
#include "platform/backend.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QWidget>

RecordingLauncher::RecordingLauncher(ProjectDocument &document, configstore::Settings &settings,
                                     QWidget *window)
    : QObject(window), document_(document), settings_(settings), window_(window) {}

bool RecordingLauncher::confirmRecordingNotice() {
    if (!settings_.is_message_record)
        return true;
    const bool hearsAll = platform::backend().capabilities().recordingHearsAll;
    QMessageBox box(QMessageBox::Information, uitexts::recordNoticeTitle.in(settings_.is_japanese),
                    (hearsAll ? uitexts::recordNoticeDevicesText : uitexts::recordNoticeText)
                        .in(settings_.is_japanese),
                    QMessageBox::Ok | QMessageBox::Cancel, window_);
    box.setDefaultButton(QMessageBox::Ok);
    auto *dontShow = new QCheckBox(uitexts::recordNoticeDontShow.in(settings_.is_japanese), &box);
    box.setCheckBox(dontShow);
    const bool go = box.exec() == QMessageBox::Ok;
    // Kept even when the user then backs out: the notice has been read.
    if (dontShow->isChecked())
        settings_.is_message_record = false;
    return go;
}

void RecordingLauncher::recordActions() {
    if (recording)
        return;
    if (!RecordingSession::canBeEnded(settings_.stopCommand)) {
        QMessageBox::warning(window_, uitexts::cannotRecordTitle.in(settings_.is_japanese),
                             uitexts::recordRefusedText.in(settings_.is_japanese));
        return;
    }
    if (!confirmRecordingNotice())
        return;
    recording = new RecordingSession(settings_.stertTime, settings_.stopCommand,
                                     settings_.is_japanese, this);
    QString error;
    if (!recording->start(error)) {
        delete recording;
        recording = nullptr;
        QMessageBox::warning(window_, uitexts::cannotRecordTitle.in(settings_.is_japanese), error);
        return;
    }
    connect(recording, &RecordingSession::finished, this, &RecordingLauncher::finishRecording);
    // As for a run: out of the way, with the tray icon as the only sign.
    window_->hide();
}

void RecordingLauncher::finishRecording() {
    if (!recording)
        return;
    const actionrecording::RecordedPages pages = recording->pages();
    recording->deleteLater();
    recording = nullptr;

    QList<Page> taken;
    taken.reserve(pages.commands.size());
    for (int i = 0; i < pages.commands.size(); ++i)
        taken.append(Page{pages.commands.at(i), pages.conditions.value(i)});
    document_.insertPages(document_.currentPage(), taken);
    // The last recorded page is shown, so a second recording continues it.
    document_.setCurrentPage(document_.currentPage() + int(taken.size()));
    emit recorded();
    window_->show();
    window_->activateWindow();
    if (pages.skippedProtectedInput)
        QMessageBox::information(window_, uitexts::recordNoticeTitle.in(settings_.is_japanese),
                                 uitexts::recordSkippedText.in(settings_.is_japanese));
}
