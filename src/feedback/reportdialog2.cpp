#include "reportdialog2.h"

#include "feedbacktexts.h"
#include "reportsubmission.h"

#include <QPushButton>
#include <QTextEdit>

namespace {
const QString reportKind = QStringLiteral("ソフトからの改善案報告");
} // namespace

ReportDialog2::ReportDialog2(QWidget *parent, bool japanese)
    : QDialog(parent), japanese_(japanese) {
    const feedback::ReportWidgets w = feedback::buildReportDialog(
        this, feedbacktexts::suggestionTitle, feedbacktexts::suggestionCaption, japanese_);
    captionLabel = w.caption;
    textEdit = w.text;
    sendButton = w.send;
    connect(textEdit, &QTextEdit::textChanged, this, &ReportDialog2::changeSentence);
    connect(sendButton, &QPushButton::clicked, this, &ReportDialog2::send);
}

void ReportDialog2::changeSentence() {
    feedback::updateSendButton(textEdit, sendButton);
}

void ReportDialog2::send() {
    feedback::sendReport(this, textEdit, sendButton, reportKind, japanese_);
}
