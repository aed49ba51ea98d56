#include "reportsubmission.h"

#include "core/reportform.h"
#include "feedbacktexts.h"
#include "formurls.h"

#include <QDebug>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>

Q_LOGGING_CATEGORY(lcFeedback, "tarnwick.feedback")

namespace feedback {

namespace {

QUrl &currentSubmissionUrl() {
    static QUrl url(formurls::reportSubmissionUrl());
    return url;
}

// At most this much of a reply body goes into the log.
constexpr int LoggedBodyBytes = 500;

QPointer<QMessageBox> showWaitBox(QDialog *dialog, bool japanese) {
    auto *box = new QMessageBox(dialog);
    box->setWindowTitle(feedbacktexts::waitTitle.in(japanese));
    box->setText(feedbacktexts::waitText.in(japanese));
    box->setStandardButtons(QMessageBox::NoButton);
    box->setIcon(QMessageBox::Information);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Blocks the report dialog and the main window while the request runs.
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    return box;
}

void setEditable(QTextEdit *text, QPushButton *send, bool editable) {
    send->setEnabled(editable);
    text->setEnabled(editable);
}

bool succeeded(QNetworkReply::NetworkError error, int status) {
    return error == QNetworkReply::NoError && (status == 0 || (status >= 200 && status <= 399));
}

} // namespace

QUrl submissionUrl() {
    return currentSubmissionUrl();
}

void setSubmissionUrl(const QUrl &url) {
    currentSubmissionUrl() = url;
}

ReportWidgets buildReportDialog(QDialog *dialog, const UiText &title, const UiText &caption,
                                bool japanese) {
    dialog->setWindowTitle(title.in(japanese));
    dialog->resize(300, 320);

    ReportWidgets w;
    w.caption = new QLabel(caption.in(japanese), dialog);
    w.caption->setFixedSize(280, 24);
    w.caption->setStyleSheet(QStringLiteral("font-size: 24px;"));
    w.caption->move(10, 0);

    w.text = new QTextEdit(dialog);
    w.text->setFixedSize(280, 200);
    w.text->setStyleSheet(QStringLiteral("font-size: 24px;"));
    w.text->move(10, 40);

    w.send = new QPushButton(feedbacktexts::sendButton.in(japanese), dialog);
    w.send->setFixedSize(280, 60);
    w.send->setStyleSheet(QStringLiteral("font-size:30px;"));
    w.send->move(10, 250);
    w.send->hide();
    return w;
}

void updateSendButton(const QTextEdit *text, QPushButton *send) {
    send->setVisible(!reportform::reportText(text->toPlainText()).isEmpty());
}

void sendReport(QDialog *dialog, QTextEdit *text, QPushButton *send, const QString &kind,
                bool japanese) {
    const QString plainText = text->toPlainText();
    if (reportform::reportText(plainText).isEmpty()) {
        QMessageBox::warning(dialog, feedbacktexts::emptyTitle.in(japanese),
                             feedbacktexts::emptyText.in(japanese));
        return;
    }

    setEditable(text, send, false);
    const QPointer<QMessageBox> waitBox = showWaitBox(dialog, japanese);

    const QUrl url = submissionUrl();
    const QByteArray body = reportform::reportBody(plainText, kind);
    qCDebug(lcFeedback) << "Sending POST request to:" << url.toString();
    qCDebug(lcFeedback) << "POST body:" << body;

    // One manager per submission, owned by the dialog: closing the dialog
    // abandons the request together with its handler.
    auto *manager = new QNetworkAccessManager(dialog);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    // The submission's own answer tells whether the report arrived; following
    // a redirect would re-send it as a GET and let the page it leads to decide.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // A server that never answers must not leave the wait box up for good.
    request.setTransferTimeout(QNetworkRequest::DefaultTransferTimeoutConstant);
    QNetworkReply *reply = manager->post(request, body);

    QObject::connect(reply, &QNetworkReply::finished, dialog, [=] {
        const QNetworkReply::NetworkError error = reply->error();
        const QString errorString = reply->errorString();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray response = reply->readAll();
        qCDebug(lcFeedback) << "HTTP status:" << status;
        qCDebug(lcFeedback) << "Network error:" << error << errorString;
        qCDebug(lcFeedback) << "Response body(head):" << response.left(LoggedBodyBytes);

        reply->deleteLater();
        manager->deleteLater();
        setEditable(text, send, true);
        if (waitBox) {
            waitBox->hide();
            waitBox->deleteLater();
        }

        if (succeeded(error, status)) {
            QMessageBox::information(dialog, feedbacktexts::sentTitle.in(japanese),
                                     feedbacktexts::sentText.in(japanese));
            dialog->accept();
        } else {
            QMessageBox::critical(dialog, feedbacktexts::failedTitle.in(japanese),
                                  feedbacktexts::failedText.in(japanese).arg(errorString));
        }
    });
}

} // namespace feedback
