#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;

// Shows one of the licence and notice documents kept beside the executable:
// its name as a title and its text, read-only. A missing or unreadable file
// gives an empty view rather than an error.
class TermDialog : public QDialog {
    Q_OBJECT

public:
    explicit TermDialog(const QString &filePath, QWidget *parent = nullptr);

private:
    QString filePath;
    QString documentName;
    QLabel *titleLabel = nullptr;
    QPlainTextEdit *textView = nullptr;
};
