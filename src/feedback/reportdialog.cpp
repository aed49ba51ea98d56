#include "reportdialog.h"

#include "reportsubmission.h"

#include <QPushButton>
#include <QTextEdit>

namespace {
const QString reportKind = QStringLiteral("ソフトからのバグ報告");
} // namespace

ReportDialog::ReportDialog(QWidget *parent) : QDialog(parent) {
    const feedback::ReportWidgets w =
        feedback::buildReportDialog(this, QStringLiteral("バグ報告"), QStringLiteral("バグ:"));
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
    feedback::sendReport(this, textEdit, sendButton, reportKind);
}
