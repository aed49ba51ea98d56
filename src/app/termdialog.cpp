#include "termdialog.h"
#include "uitexts.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextStream>

namespace {

// The whole document as text, or nothing when it cannot be read.
QString readDocument(const QString &path) {
    QFile file(path);
    // Text mode turns Windows line ends into line breaks.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    return in.readAll();
}

} // namespace

TermDialog::TermDialog(const QString &filePath, QWidget *parent)
    : QDialog(parent), filePath(filePath) {
    setWindowTitle(QString::fromUtf16(uitexts::programTitle));
    setFixedSize(600, 600);

    documentName = QFileInfo(filePath).baseName();

    titleLabel = new QLabel(documentName, this);
    titleLabel->setStyleSheet(QStringLiteral("QLabel{font-size:24px;}"));
    titleLabel->setFixedSize(580, 30);
    titleLabel->move(10, 10);
    titleLabel->setAlignment(Qt::AlignCenter);

    textView = new QPlainTextEdit(this);
    textView->setFixedSize(580, 550);
    textView->move(10, 40);
    textView->setReadOnly(true);
    textView->setCursorWidth(0);
    textView->setPlainText(readDocument(filePath));
}
