#include "feedback/formurls.h"
#include "feedback/reportdialog.h"
#include "feedback/reportsubmission.h"
#include "support/modalhelper.h"

#include <QLabel>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextEdit>
#include <QtTest>
#include <memory>

// The report dialogs against a loopback HTTP server that records each request
// and answers with the status the test chooses.

namespace {

struct Request {
    QByteArray method;
    QByteArray path;
    QByteArray contentType;
    QByteArray body;
};

class FormServer : public QObject {
public:
    FormServer() {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                accept(socket);
        });
    }

    bool listen() { return server.listen(QHostAddress::LocalHost); }
    QUrl url() const {
        return QUrl(
            QStringLiteral("http://127.0.0.1:%1/report/formResponse").arg(server.serverPort()));
    }

    int status = 200;
    QByteArray reason = "OK";
    QByteArray responseBody = "thanks";
    bool redirectTo = true; // a 3xx answer names the form's viewing page
    bool hold = false;      // keep requests unanswered until answerHeld()
    QList<Request> requests;

    void answerHeld() {
        for (const QPointer<QTcpSocket> &s : std::as_const(held))
            if (s)
                respond(s, "/report/formResponse");
        held.clear();
    }

private:
    void accept(QTcpSocket *socket) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray &buf = buffers[socket];
            buf += socket->readAll();
            const int headerEnd = buf.indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            Request r;
            const QList<QByteArray> lines = buf.left(headerEnd).split('\n');
            const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
            r.method = requestLine.value(0);
            r.path = requestLine.value(1);
            qsizetype length = 0;
            for (const QByteArray &line : lines.mid(1)) {
                const int colon = line.indexOf(':');
                const QByteArray name = line.left(colon).trimmed().toLower();
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (name == "content-type")
                    r.contentType = value;
                else if (name == "content-length")
                    length = value.toLongLong();
            }
            if (buf.size() < headerEnd + 4 + length)
                return;
            r.body = buf.mid(headerEnd + 4, length);
            buffers.remove(socket);
            requests.append(r);
            if (hold)
                held.append(socket);
            else
                respond(socket, r.path);
        });
    }

    // The chosen status answers the submission; the page a redirect leads to
    // answers 200.
    void respond(QTcpSocket *socket, const QByteArray &path) {
        const bool submission = path.endsWith("/formResponse");
        const int code = submission ? status : 200;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(code) + ' ' +
                           (submission ? reason : QByteArray("OK")) + "\r\n";
        if (code >= 300 && code < 400 && redirectTo)
            reply += "Location: /report/viewform?done\r\n";
        reply += "Content-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                 QByteArray::number(responseBody.size()) + "\r\n\r\n" + responseBody;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> buffers;
    QList<QPointer<QTcpSocket>> held;
};

std::unique_ptr<QDialog> makeDialog(int which, bool japanese = true) {
    if (which == 0)
        return std::make_unique<ReportDialog>(nullptr, japanese);
    return std::make_unique<ReportDialog2>(nullptr, japanese);
}

QTextEdit *textOf(QDialog *d) {
    return d->findChild<QTextEdit *>();
}
QPushButton *sendOf(QDialog *d) {
    return d->findChild<QPushButton *>();
}

bool waitBoxVisible() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox *>(w) && w->isVisible() &&
            w->windowTitle() == QStringLiteral("送信中..."))
            return true;
    return false;
}

QStringList feedbackLog;
QtMessageHandler previousHandler = nullptr;
void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (qstrcmp(context.category, "tarnwick.feedback") == 0)
        feedbackLog << message;
    previousHandler(type, context, message);
}

const QByteArray bugKind =
    "%E3%82%BD%E3%83%95%E3%83%88%E3%81%8B%E3%82%89%E3%81%AE%E3%83%90%E3%82%B0"
    "%E5%A0%B1%E5%91%8A";
const QByteArray suggestionKind = "%E3%82%BD%E3%83%95%E3%83%88%E3%81%8B%E3%82%89%E3%81%AE%E6%94%B9"
                                  "%E5%96%84%E6%A1%88%E5%A0%B1%E5%91%8A";

} // namespace

class ReportDialogTest : public QObject {
    Q_OBJECT

    FormServer *server = nullptr;

    // Puts `text` in the dialog's box and presses its send button.
    static void typeAndSend(QDialog *dialog, const QString &text) {
        textOf(dialog)->setPlainText(text);
        QVERIFY(sendOf(dialog)->isVisibleTo(dialog));
        QTest::mouseClick(sendOf(dialog), Qt::LeftButton);
    }

private slots:
    void initTestCase() {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        previousHandler = qInstallMessageHandler(captureLog);
    }

    void init() {
        server = new FormServer;
        QVERIFY(server->listen());
        feedback::setSubmissionUrl(server->url());
        feedbackLog.clear();
    }

    void cleanup() {
        delete server;
        server = nullptr;
    }

    void defaultAddressFailsHonestly() {
        // Until the build is pointed at a real form, a send cannot succeed.
        const QUrl url(formurls::reportSubmissionUrl());
        QVERIFY(url.path().endsWith(QStringLiteral("/formResponse")));
    }

    void textsFollowTheLanguage_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("send");
        QTest::newRow("bug") << 0 << true << "バグ報告"
                             << "バグ:"
                             << "送信";
        QTest::newRow("suggestion") << 1 << true << "改善案報告"
                                    << "改善案:"
                                    << "送信";
        QTest::newRow("bug, English") << 0 << false << "Bug Report"
                                      << "Bug:"
                                      << "Send";
        QTest::newRow("suggestion, English") << 1 << false << "Improvement Suggestion"
                                             << "Suggestion:"
                                             << "Send";
    }

    void textsFollowTheLanguage() {
        QFETCH(int, which);
        QFETCH(bool, japanese);
        QFETCH(QString, title);
        QFETCH(QString, caption);
        QFETCH(QString, send);
        auto dialog = makeDialog(which, japanese);
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(dialog->findChild<QLabel *>()->text(), caption);
        QCOMPARE(sendOf(dialog.get())->text(), send);
    }

    // In English every box on the way speaks English, while the report kind
    // the form receives stays the form's Japanese value.
    void englishBoxesAndJapaneseKind() {
        testsupport::ModalAnswerer answerer;
        auto dialog = makeDialog(0, false);
        dialog->show();
        textOf(dialog.get())->setPlainText(QStringLiteral(" "));
        QMetaObject::invokeMethod(dialog.get(), "send");
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("Confirm"));
        QCOMPARE(answerer.last().text, QStringLiteral("Please write something first."));

        server->status = 500;
        server->reason = "Internal Server Error";
        answerer.clear();
        answerer.act([](QWidget *) {});
        answerer.answer(QMessageBox::Ok);
        typeAndSend(dialog.get(), QStringLiteral("broken"));
        QTRY_COMPARE(answerer.count(), 2);
        QCOMPARE(answerer.boxes()[0].title, QStringLiteral("Sending..."));
        QCOMPARE(answerer.boxes()[0].text, QStringLiteral("Please wait..."));
        QCOMPARE(answerer.last().title, QStringLiteral("Send Error"));
        QVERIFY2(answerer.last().text.startsWith(QStringLiteral("The form could not be sent:\n")),
                 qPrintable(answerer.last().text));

        server->status = 200;
        server->reason = "OK";
        answerer.clear();
        answerer.act([](QWidget *) {});
        answerer.answer(QMessageBox::Ok);
        QTest::mouseClick(sendOf(dialog.get()), Qt::LeftButton);
        QTRY_VERIFY(!dialog->isVisible());
        QCOMPARE(answerer.last().title, QStringLiteral("Sent"));
        QCOMPARE(answerer.last().text, QStringLiteral("Your report has been sent.\nThank you."));
        QVERIFY(server->requests.last().body.endsWith("entry.1326656262=" + bugKind));
    }

    void sendButtonOnlyForVisibleText() {
        ReportDialog dialog;
        dialog.show();
        QTextEdit *text = textOf(&dialog);
        QPushButton *send = sendOf(&dialog);
        QVERIFY(!send->isVisible());
        text->setFocus();
        QTest::keyClicks(text, QStringLiteral("   "));
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClick(text, Qt::Key_Tab);
        QVERIFY(!send->isVisible());
        QTest::keyClicks(text, QStringLiteral("a"));
        QVERIFY(send->isVisible());
        QTest::keyClick(text, Qt::Key_Backspace);
        QVERIFY(!send->isVisible());
        text->setPlainText(QStringLiteral("\u3000\n \n"));
        QVERIFY(!send->isVisible());
    }

    void blankSendWarnsAndSendsNothing() {
        testsupport::ModalAnswerer answerer;
        ReportDialog dialog;
        dialog.show();
        textOf(&dialog)->setPlainText(QStringLiteral(" \n "));
        QMetaObject::invokeMethod(&dialog, "send");
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("確認"));
        QCOMPARE(answerer.last().text, QStringLiteral("内容を入力してください。"));
        QCOMPARE(answerer.last().icon, QMessageBox::Warning);
        QTest::qWait(50);
        QVERIFY(server->requests.isEmpty());
        QVERIFY(textOf(&dialog)->isEnabled());
    }

    void submitsFormBody_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("body");
        const QByteArray head = "entry.793209462=Tarnwick&entry.1751682220=";
        QTest::newRow("bug, blanks and delimiters")
            << 0 << " \n It crashes & x=1\nagain \n\n"
            << head + "It%20crashes%20%26%20x%3D1%0Aagain&entry.1326656262=" + bugKind;
        QTest::newRow("suggestion, japanese")
            << 1 << "ボタン を大きく"
            << head +
                   "%E3%83%9C%E3%82%BF%E3%83%B3%20%E3%82%92%E5%A4%A7%E3%81%8D%E3%81%8F"
                   "&entry.1326656262=" +
                   suggestionKind;
    }

    void submitsFormBody() {
        QFETCH(int, which);
        QFETCH(QString, text);
        QFETCH(QByteArray, body);
        testsupport::ModalAnswerer answerer;
        answerer.act([](QWidget *) {}); // leave the wait box up
        answerer.answer(QMessageBox::Ok);
        server->responseBody = QByteArray(1200, 'x');

        auto dialog = makeDialog(which);
        dialog->show();
        typeAndSend(dialog.get(), text);
        QTRY_VERIFY(!dialog->isVisible());

        QCOMPARE(server->requests.size(), 1);
        const Request r = server->requests.first();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.path, QByteArray("/report/formResponse")); // same address for both
        QCOMPARE(r.contentType, QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(r.body, body);

        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(answerer.count(), 2);
        QCOMPARE(answerer.boxes()[0].title, QStringLiteral("送信中..."));
        QCOMPARE(answerer.boxes()[0].text, QStringLiteral("しばらくお待ちください..."));
        QCOMPARE(answerer.boxes()[1].title, QStringLiteral("送信完了"));
        QCOMPARE(answerer.boxes()[1].text,
                 QStringLiteral("レポートを送信しました。\nありがとうございました。"));
        QVERIFY(!waitBoxVisible());

        // The log names the address and body, and holds no more than 500
        // bytes of the answer.
        const QString log = feedbackLog.join(QLatin1Char('\n'));
        QVERIFY2(log.contains(server->url().toString()), qPrintable(log));
        QVERIFY(log.contains(QString::fromLatin1(body)));
        QVERIFY(log.contains(QStringLiteral("HTTP status: 200")));
        QVERIFY(log.contains(QString(500, QLatin1Char('x'))));
        QVERIFY(!log.contains(QString(501, QLatin1Char('x'))));
    }

    void replyDecidesOutcome_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reason");
        QTest::addColumn<bool>("success");
        QTest::addColumn<bool>("redirect");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("200") << 200 << QByteArray("OK") << true << false << QString();
        QTest::newRow("302 to the viewing page")
            << 302 << QByteArray("Found") << true << true << QString();
        QTest::newRow("302 bare") << 302 << QByteArray("Found") << true << false << QString();
        QTest::newRow("400") << 400 << QByteArray("Bad Request") << false << false << "Bad Request";
        QTest::newRow("500") << 500 << QByteArray("Internal Server Error") << false << false
                             << "Internal Server Error";
        QTest::newRow("refused") << 0 << QByteArray() << false << false << "Connection refused";
    }

    void replyDecidesOutcome() {
        QFETCH(int, status);
        QFETCH(QByteArray, reason);
        QFETCH(bool, success);
        QFETCH(bool, redirect);
        QFETCH(QString, errorPart);
        if (status == 0) {
            // A port that was just free: nobody listens there.
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            const quint16 port = closed.serverPort();
            closed.close();
            feedback::setSubmissionUrl(
                QUrl(QStringLiteral("http://127.0.0.1:%1/report/formResponse").arg(port)));
        }
        server->status = status;
        server->reason = reason;
        server->redirectTo = redirect;

        bool waitBoxGoneBeforeResult = false;
        testsupport::ModalAnswerer answerer;
        answerer.act([](QWidget *) {});
        answerer.act([&](QWidget *w) {
            waitBoxGoneBeforeResult = !waitBoxVisible();
            static_cast<QMessageBox *>(w)->button(QMessageBox::Ok)->click();
        });

        const QString text = QStringLiteral("  報告です\n");
        ReportDialog2 dialog;
        dialog.show();
        typeAndSend(&dialog, text);
        QTRY_COMPARE(answerer.count(), 2);
        QVERIFY(waitBoxGoneBeforeResult);
        QCOMPARE(server->requests.size(), status ? 1 : 0); // a redirect is not followed

        const testsupport::SeenBox box = answerer.last();
        if (success) {
            QCOMPARE(box.title, QStringLiteral("送信完了"));
            QCOMPARE(box.icon, QMessageBox::Information);
            QTRY_VERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            return;
        }
        const QString prefix = QStringLiteral("フォームの送信に失敗しました:\n");
        QCOMPARE(box.title, QStringLiteral("送信エラー"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QVERIFY2(box.text.startsWith(prefix) && box.text.size() > prefix.size(),
                 qPrintable(box.text));
        QVERIFY2(box.text.mid(prefix.size()).contains(errorPart), qPrintable(box.text));

        // Still open, text kept, ready for another try, which now succeeds.
        QVERIFY(dialog.isVisible());
        QCOMPARE(textOf(&dialog)->toPlainText(), text);
        QVERIFY(textOf(&dialog)->isEnabled());
        QVERIFY(sendOf(&dialog)->isEnabled() && sendOf(&dialog)->isVisible());

        feedback::setSubmissionUrl(server->url());
        server->status = 200;
        server->reason = "OK";
        answerer.clear();
        answerer.act([](QWidget *) {});
        answerer.answer(QMessageBox::Ok);
        QTest::mouseClick(sendOf(&dialog), Qt::LeftButton);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(answerer.last().title, QStringLiteral("送信完了"));
    }

    void closedBeforeReplyShowsNothing() {
        server->hold = true;
        testsupport::ModalAnswerer answerer;
        answerer.act([](QWidget *) {});

        auto dialog = std::make_unique<ReportDialog>();
        dialog->show();
        typeAndSend(dialog.get(), QStringLiteral("late"));
        QTRY_COMPARE(server->requests.size(), 1);
        QTRY_COMPARE(answerer.count(), 1);
        dialog.reset();
        QVERIFY(!waitBoxVisible()); // went with its dialog

        server->answerHeld();
        QTest::qWait(300);
        QCOMPARE(answerer.count(), 1); // only the wait box
        QCOMPARE(answerer.last().title, QStringLiteral("送信中..."));
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!(qobject_cast<QMessageBox *>(w) && w->isVisible()));
    }
};

QTEST_MAIN(ReportDialogTest)
#include "gui_reportdialog.moc"
