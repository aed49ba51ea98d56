#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;

// Lets the user write an improvement suggestion and send it to the feedback form.
class ReportDialog2 : public QDialog {
    Q_OBJECT

public:
    // In the interface language; Japanese unless told otherwise.
    explicit ReportDialog2(QWidget *parent = nullptr, bool japanese = true);

private slots:
    void send();
    void changeSentence();

private:
    QLabel *captionLabel = nullptr;
    QTextEdit *textEdit = nullptr;
    QPushButton *sendButton = nullptr;
    bool japanese_ = true;
};
