#include "core/reportform.h"

#include <QtTest>

// The form body must reach the web form intact: exact bytes, fixed order,
// and nothing in the user's text able to split or alter a field.
class TestReportForm : public QObject {
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

        QTest::newRow("plain word") << "crash" << bugKind << head + "crash" + bug;
        QTest::newRow("blanks and breaks around a word")
            << " \n\t crash \r\n \u3000" << bugKind << head + "crash" + bug;
        QTest::newRow("inner blank and break") << "a b\nc" << bugKind << head + "a%20b%0Ac" + bug;
        QTest::newRow("delimiters in the value") << "a&b=c" << bugKind << head + "a%26b%3Dc" + bug;
        QTest::newRow("plus is not a space")
            << "C++ 1+1" << bugKind << head + "C%2B%2B%201%2B1" + bug;
        QTest::newRow("percent and hash") << "100% #1" << bugKind << head + "100%25%20%231" + bug;
        QTest::newRow("unreserved stay") << "A-z_0.9~" << bugKind << head + "A-z_0.9~" + bug;
        QTest::newRow("japanese text")
            << "落ちる" << bugKind << head + "%E8%90%BD%E3%81%A1%E3%82%8B" + bug;
        QTest::newRow("suggestion kind")
            << "x" << QStringLiteral("ソフトからの改善案報告")
            << head + "x&entry.1326656262=%E3%82%BD%E3%83%95%E3%83%88%E3%81%8B%E3%82%89%E3%81%AE"
                      "%E6%94%B9%E5%96%84%E6%A1%88%E5%A0%B1%E5%91%8A";
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
            values << QString::fromUtf8(QByteArray::fromPercentEncoding(kv[1]));
        }
        QCOMPARE(values, QStringList({"Tarnwick", text, "k&=+"}));
    }

    void blankTextIsNothingToSend_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("spaces and breaks") << "  \n\r\n\t " << true;
        QTest::newRow("ideographic space") << "\u3000\u3000" << true;
        QTest::newRow("one character") << "  x \n" << false;
    }

    void blankTextIsNothingToSend() {
        QFETCH(QString, text);
        QFETCH(bool, empty);
        QCOMPARE(reportform::reportText(text).isEmpty(), empty);
    }
};

QTEST_GUILESS_MAIN(TestReportForm)
#include "unit_reportform.moc"
