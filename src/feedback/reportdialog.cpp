#include "reportdialog.h"

#include "feedbacktexts.h"
#include "reportsubmission.h"

#include <QPushButton>
#include <QTextEdit>

namespace {
const QString reportKind = QStringLiteral("ソフトからのバグ報告");
} // namespace

ReportDialog::ReportDialog(QWidget *parent, bool japanese) : QDialog(parent), japanese_(japanese) {
    const feedback::ReportWidgets w = feedback::buildReportDialog(
        this, feedbacktexts::bugTitle, feedbacktexts::bugCaption, japanese_);
    captionLabel = w.caption;
    textEdit = w.text;
    sendButton = w.send;
    connect(textEdit, &QTextEdit::textChanged, this, &ReportDialog::changeSentence);
    connect(sendButton, &QPushButton::clicked, this, &ReportDialog::send);
}

void ReportDialog::changeSentence() {
    feedback::updateSendButton(textEdit, sendButton);
}

void ReportDialog::send() {
    feedback::sendReport(this, textEdit, sendButton, reportKind, japanese_);
}
