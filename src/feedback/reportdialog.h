#pragma once

#include "core/uitext.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTextEdit;

// Lets the user write a report and send it to the feedback form: a bug
// report as ReportDialog, an improvement suggestion as ReportDialog2. The two
// differ only in their title, caption and the report kind sent with the text.
class ReportDialog : public QDialog {
    Q_OBJECT

public:
    // In the interface language; Japanese unless told otherwise.
    explicit ReportDialog(QWidget *parent = nullptr, bool japanese = true);

protected:
    struct Kind {
        UiText title;
        UiText caption;
        QString reportKind; // the form's data: Japanese in either language
    };
    ReportDialog(const Kind &kind, QWidget *parent, bool japanese);

private slots:
    void send();
    void changeSentence();

private:
    QLabel *captionLabel = nullptr;
    QTextEdit *textEdit = nullptr;
    QPushButton *sendButton = nullptr;
    bool japanese_ = true;
    QString reportKind_;
};

class ReportDialog2 : public ReportDialog {
    Q_OBJECT

public:
    explicit ReportDialog2(QWidget *parent = nullptr, bool japanese = true);
};
