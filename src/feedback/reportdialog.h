#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;

// Lets the user write a bug report and send it to the feedback form.
// Its texts are Japanese whatever the main window's language.
class ReportDialog : public QDialog {
    Q_OBJECT

public:
    explicit ReportDialog(QWidget *parent = nullptr);

private slots:
    void send();
    void changeSentence();

private:
    QLabel *captionLabel = nullptr;
    QTextEdit *textEdit = nullptr;
    QPushButton *sendButton = nullptr;
};
