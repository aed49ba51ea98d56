#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;

// Lets the user write an improvement suggestion and send it to the feedback form.
// Its texts are Japanese whatever the main window's language.
class ReportDialog2 : public QDialog {
    Q_OBJECT

public:
    explicit ReportDialog2(QWidget *parent = nullptr);

private slots:
    void send();
    void changeSentence();

private:
    QLabel *captionLabel = nullptr;
    QTextEdit *textEdit = nullptr;
    QPushButton *sendButton = nullptr;
};
