#pragma once

// What the two report dialogs share: their widgets, the send button rule and
// the submission of a report to the web form with its wait box and its
// success or failure message. The dialogs differ only in their texts.

#include "core/uitext.h"

#include <QLoggingCategory>
#include <QString>
#include <QUrl>

class QDialog;
class QLabel;
class QPushButton;
class QTextEdit;

Q_DECLARE_LOGGING_CATEGORY(lcFeedback)

namespace feedback {

// The address reports are posted to: the build setting, unless replaced
// (tests point it at a local server).
QUrl submissionUrl();
void setSubmissionUrl(const QUrl &url);

struct ReportWidgets {
    QLabel *caption = nullptr;
    QTextEdit *text = nullptr;
    QPushButton *send = nullptr;
};

// Titles the dialog and creates its caption, text box and (hidden) send button,
// in the interface language.
ReportWidgets buildReportDialog(QDialog *dialog, const UiText &title, const UiText &caption,
                                bool japanese);

// The send button is there only while the text holds something visible.
void updateSendButton(const QTextEdit *text, QPushButton *send);

// Posts the text with the report kind; the answer arrives later, through the
// dialog's event loop. The dialog is accepted after a successful send. The
// boxes on the way speak the interface language.
void sendReport(QDialog *dialog, QTextEdit *text, QPushButton *send, const QString &kind,
                bool japanese);

} // namespace feedback
