// Without a reachable X display the X11 backend is not made: a clear message
// and the backend that can do nothing, never a crash.

#include "platform/backend.h"

#include <QTest>

class X11NoDisplayTest : public QObject {
    Q_OBJECT
private slots:
    void noDisplay_data();
    void noDisplay();
};

void X11NoDisplayTest::noDisplay_data() {
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("DISPLAY unset") << QByteArray() << QStringLiteral("DISPLAY is not set");
    QTest::newRow("DISPLAY empty") << QByteArray("") << QStringLiteral("DISPLAY is not set");
    // A display number nothing listens on (and a host that cannot exist).
    QTest::newRow("no such server") << QByteArray(":9873") << QStringLiteral("\":9873\"");
    QTest::newRow("garbage") << QByteArray("not a display") << QStringLiteral("Cannot open");
}

void X11NoDisplayTest::noDisplay() {
    QFETCH(QByteArray, display);
    QFETCH(QString, mentions);
    if (display.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", display);
    std::string error;
    std::unique_ptr<platform::Backend> backend = platform::createBackend("xcb", error);
    QVERIFY(backend);
    QCOMPARE(QString::fromStdString(backend->capabilities().name), QStringLiteral("none"));
    QVERIFY(!backend->synthesis());
    QVERIFY2(QString::fromStdString(error).contains(mentions), error.c_str());
}

QTEST_GUILESS_MAIN(X11NoDisplayTest)
#include "unit_x11nodisplay.moc"
