#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;

// Lets the user write a bug report and send it to the feedback form.
class ReportDialog : public QDialog {
    Q_OBJECT

public:
    // In the interface language; Japanese unless told otherwise.
    explicit ReportDialog(QWidget *parent = nullptr, bool japanese = true);

private slots:
    void send();
    void changeSentence();

private:
    QLabel *captionLabel = nullptr;
    QTextEdit *textEdit = nullptr;
    QPushButton *sendButton = nullptr;
    bool japanese_ = true;
};
