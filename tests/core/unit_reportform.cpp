#include "core/reportform.h"

#include <QtTest>

// The form body must reach the web form intact: nothing in the user's text
// may split or alter a field. (The exact bodies of both dialogs are checked
// against a live server in tests/feedback.)
class ReportFormTest : public QObject {
    Q_OBJECT

private slots:
    void bodyBytes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray head = "entry.793209462=Tarnwick&entry.1751682220=";
        const QByteArray bug = "&entry.1326656262=%E3%82%BD%E3%83%95%E3%83%88%E3%81%8B%E3%82%89"
                               "%E3%81%AE%E3%83%90%E3%82%B0%E5%A0%B1%E5%91%8A";
        const QString bugKind = QStringLiteral("ソフトからのバグ報告");

        QTest::newRow("blanks and breaks around a word")
            << " \n\t crash \r\n \u3000" << bugKind << head + "crash" + bug;
        QTest::newRow("plus is not a space")
            << "C++ 1+1" << bugKind << head + "C%2B%2B%201%2B1" + bug;
        QTest::newRow("percent and hash") << "100% #1" << bugKind << head + "100%25%20%231" + bug;
        QTest::newRow("unreserved stay") << "A-z_0.9~" << bugKind << head + "A-z_0.9~" + bug;
    }

    void bodyBytes() {
        QFETCH(QString, text);
        QFETCH(QString, kind);
        QFETCH(QByteArray, expected);
        QCOMPARE(reportform::reportBody(text, kind), expected);
    }

    // Whatever the text holds, the server-side decoding gives it back exactly.
    void bodyRoundTrips() {
        const QString text = QStringLiteral("a+b & c=d; e/f?g#h %20 日本語 🎉\nend");
        const QByteArray body = reportform::reportBody(text, QStringLiteral("k&=+"));
        const QList<QByteArray> pairs = body.split('&');
        QCOMPARE(pairs.size(), 3);
        QStringList values;
        for (const QByteArray &pair : pairs) {
            const QList<QByteArray> kv = pair.split('=');
            QCOMPARE(kv.size(), 2);
            QByteArray value = kv[1];
            value.replace('+', ' '); // as a form decoder reads it
            values << QString::fromUtf8(QByteArray::fromPercentEncoding(value));
        }
        QCOMPARE(values, QStringList({"Tarnwick", text, "k&=+"}));
    }
};

QTEST_GUILESS_MAIN(ReportFormTest)
#include "unit_reportform.moc"
