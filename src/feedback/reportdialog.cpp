#include "reportdialog.h"

#include "feedbacktexts.h"
#include "reportsubmission.h"

#include <QPushButton>
#include <QTextEdit>

ReportDialog::ReportDialog(QWidget *parent, bool japanese)
    : ReportDialog(Kind{feedbacktexts::bugTitle, feedbacktexts::bugCaption,
                        QStringLiteral("ソフトからのバグ報告")},
                   parent, japanese) {}

ReportDialog::ReportDialog(const Kind &kind, QWidget *parent, bool japanese)
    : QDialog(parent), japanese_(japanese), reportKind_(kind.reportKind) {
    const feedback::ReportWidgets w =
        feedback::buildReportDialog(this, kind.title, kind.caption, japanese_);
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
    feedback::sendReport(this, textEdit, sendButton, reportKind_, japanese_);
}

ReportDialog2::ReportDialog2(QWidget *parent, bool japanese)
    : ReportDialog(Kind{feedbacktexts::suggestionTitle, feedbacktexts::suggestionCaption,
                        QStringLiteral("ソフトからの改善案報告")},
                   parent, japanese) {}
