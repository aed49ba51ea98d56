// tarnwick --run on a real X server with the pages that look at the screen: a
// window of the test's own turns a colour or shows a picture after a while;
// the run waits for it, and an Image Jump followed by a Click lands inside
// the picture, also after the window has moved since the template was taken
// from the screen, and when the screen shrank while the page waited. A
// picture that never shows stops the run with exit status 5 and its
// message, and nothing is clicked; with a branch, a picture that is not there
// yet is looked for again, and clicked once it comes.

#include "core/projectfile.h"
#include "support/screenpattern.h"
#include "support/systeminput.h"
#include "support/xrandrscreen.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

namespace {

namespace pattern = testsupport::screenpattern;

const QString kTitle = QStringLiteral("Tarnwick screen pages 5e1c");

// Grey, and after reveal() a red square or the picture at a chosen place;
// notes where it is pressed and whether the change had come by then.
class Canvas : public QWidget {
public:
    enum class Shows { Nothing, Square, Picture };

    Canvas() {
        setWindowTitle(kTitle);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void reveal(Shows what, QPoint at) {
        shows_ = what;
        at_ = at;
        update();
    }
    QRect changedRect() const {
        return shows_ == Shows::Picture ? QRect(at_, pattern::picture().size())
                                        : QRect(at_, QSize(20, 20));
    }
    QList<QPoint> presses;
    int pressesBeforeTheChange = 0;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(128, 128, 128));
        if (shows_ == Shows::Square)
            painter.fillRect(changedRect(), QColor(200, 30, 40));
        else if (shows_ == Shows::Picture)
            painter.drawImage(at_, pattern::picture());
    }
    void mousePressEvent(QMouseEvent *event) override {
        presses.append(event->position().toPoint());
        if (shows_ == Shows::Nothing)
            ++pressesBeforeTheChange;
    }

private:
    Shows shows_ = Shows::Nothing;
    QPoint at_;
};

QByteArray project(const QList<QStringList> &commands, const QList<QStringList> &conditions,
                   const QStringList &names = {}) {
    return projectfile::serialize(commands, conditions, names);
}

QStringList jump(const QString &area, const QString &image, double seconds) {
    return pattern::jumpPage(kTitle, "一致", area, image, {0, 0}, seconds);
}

const QStringList kClick{"クリック", "左", "0.02"};
const QStringList kNow{"即時"};

} // namespace

class X11ScreenPagesTest : public QObject {
    Q_OBJECT

    testsupport::SystemInput layer;
    QTemporaryDir scratch;

    // Runs the program on the project while the test's window keeps
    // painting and hearing clicks; its exit code.
    int run(const QByteArray &json, QString &errors) {
        QFile file(scratch.filePath("screen.cmdat"));
        if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
            return -1;
        file.close();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                      {"--run", file.fileName(), "--start-delay", "0", "--stop", "ctrl+alt+s"});
        if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 60000))
            return -2;
        errors = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -3;
    }

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
        QVERIFY2(layer.backend()->screenReader(), "the X11 backend reads the screen");
    }
    void cleanupTestCase() { layer.reset(); }

    // The run waits for the change, then the click lands inside it.
    void waitsThenClicksInside_data() {
        QTest::addColumn<int>("shows");
        QTest::addColumn<QPoint>("at"); // in the window
        QTest::addColumn<QList<QStringList>>("commands");
        QTest::addColumn<QList<QStringList>>("conditions");
        const QPoint square(60, 70);
        const QStringList colourInWindow{"色", kTitle, "一致",    "",  "ウィンドウ",
                                         "65", "75",   "#C81E28", "8", "になる"};
        const QStringList pointerInWindow{"ウィンドウ座標", kTitle, "一致", "", "65", "75"};
        QTest::newRow("colour in the window")
            << int(Canvas::Shows::Square) << square
            << QList<QStringList>{{"なし"}, pointerInWindow, kClick}
            << QList<QStringList>{colourInWindow, kNow, {"終わるまで待つ", "0"}};
        const QStringList image{"画像", kTitle, "一致", "",
                                "画面", "0",    "0",    "0",
                                "0",    "90",   "1",    pattern::pngBase64(pattern::picture())};
        QTest::newRow("image, then a jump to it")
            << int(Canvas::Shows::Picture) << QPoint(200, 150)
            << QList<QStringList>{{"なし"}, jump("画面", "", 0), kClick}
            << QList<QStringList>{image, kNow, {"終わるまで待つ", "0"}};
        QTest::newRow("jump that waits for its image")
            << int(Canvas::Shows::Picture) << QPoint(330, 40)
            << QList<QStringList>{jump("ウィンドウ", pattern::pngBase64(pattern::picture()), 20),
                                  kClick}
            << QList<QStringList>{kNow, {"終わるまで待つ", "0"}};
    }
    void waitsThenClicksInside() {
        QFETCH(int, shows);
        QFETCH(QPoint, at);
        QFETCH(QList<QStringList>, commands);
        QFETCH(QList<QStringList>, conditions);
        Canvas canvas;
        canvas.setGeometry(140, 130, 520, 360);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QTimer::singleShot(1500, &canvas,
                           [&canvas, shows, at] { canvas.reveal(Canvas::Shows(shows), at); });
        QString errors;
        QCOMPARE(run(project(commands, conditions), errors), 0);
        QTRY_COMPARE_WITH_TIMEOUT(canvas.presses.size(), 1, 5000);
        QCOMPARE(canvas.pressesBeforeTheChange, 0);
        QVERIFY2(canvas.changedRect().contains(canvas.presses.first()),
                 qPrintable(QStringLiteral("pressed at %1,%2")
                                .arg(canvas.presses.first().x())
                                .arg(canvas.presses.first().y())));
    }

    // The template is taken from the screen with the window at one place
    // and found after the window has moved.
    void templateFollowsAMovedWindow() {
        Canvas canvas;
        canvas.setGeometry(100, 100, 420, 300);
        canvas.reveal(Canvas::Shows::Picture, QPoint(150, 100));
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QTest::qWait(300);
        const QPoint onScreen = canvas.mapToGlobal(QPoint(150, 100));
        platform::ScreenImage taken;
        QVERIFY(layer.backend()->screenReader()->region(
            {onScreen.x(), onScreen.y(), pattern::kWidth, pattern::kHeight}, taken));
        const QImage grabbed(taken.bytes.data(), taken.width, taken.height, taken.stride,
                             QImage::Format_RGB32);
        QCOMPARE(grabbed.pixelColor(5, 7), QColor(17, 34, 51));
        const QString image = pattern::pngBase64(grabbed.copy());

        canvas.move(600, 500);
        QTRY_COMPARE_WITH_TIMEOUT(canvas.mapToGlobal(QPoint(0, 0)), QPoint(600, 500), 5000);
        QTest::qWait(300);
        QString errors;
        QCOMPARE(
            run(project({jump("ウィンドウ", image, 5), kClick}, {kNow, {"終わるまで待つ", "0"}}),
                errors),
            0);
        QTRY_COMPARE_WITH_TIMEOUT(canvas.presses.size(), 1, 5000);
        QVERIFY(canvas.changedRect().contains(canvas.presses.first()));
    }

    // The screen shrinks while an Image condition waits on the whole of it;
    // the picture drawn after that is seen, and the click lands in it.
    void seesThePictureAfterTheScreenShrank() {
        testsupport::ScreenSize size;
        Canvas canvas;
        canvas.setGeometry(140, 130, 520, 360);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        bool shrank = false;
        QTimer::singleShot(1000, &canvas, [&] {
            shrank = size.set(800, 600);
            QTimer::singleShot(700, &canvas, [&canvas] {
                canvas.reveal(Canvas::Shows::Picture, QPoint(300, 180));
            });
        });
        const QStringList image{"画像", kTitle, "一致", "",
                                "画面", "0",    "0",    "0",
                                "0",    "90",   "1",    pattern::pngBase64(pattern::picture())};
        QString errors;
        const int status = run(project({{"なし"}, jump("画面", "", 0), kClick},
                                       {image, kNow, {"終わるまで待つ", "0"}}),
                               errors);
        if (!shrank)
            QSKIP("the X server would not change the screen's size");
        QCOMPARE(status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(canvas.presses.size(), 1, 5000);
        QCOMPARE(canvas.pressesBeforeTheChange, 0);
        QVERIFY(canvas.changedRect().contains(canvas.presses.first()));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::primaryScreen()->size(), QSize(800, 600), 5000);
    }

    // The picture comes only after the first look has given up: the branch
    // goes to a page that tries again, the second look finds it, and the
    // click lands inside it.
    void branchTriesAgain() {
        Canvas canvas;
        canvas.setGeometry(140, 130, 520, 360);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QTimer::singleShot(1500, &canvas,
                           [&canvas] { canvas.reveal(Canvas::Shows::Picture, QPoint(250, 120)); });
        QStringList look = jump("ウィンドウ", pattern::pngBase64(pattern::picture()), 1);
        look[0] = QStringLiteral("画像ジャンプ分岐");
        look << QStringLiteral("again") << QString();
        QString errors;
        QCOMPARE(run(project({look,
                              kClick,
                              {"ページへ", "done", "毎回"},
                              {"ページへ", "try", "3"},
                              {"なし"}},
                             {kNow, {"終わるまで待つ", "0"}, kNow, {"時間", "0.1"}, kNow},
                             {"try", "", "", "again", "done"}),
                     errors),
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(canvas.presses.size(), 1, 5000);
        QCOMPARE(canvas.pressesBeforeTheChange, 0);
        QVERIFY(canvas.changedRect().contains(canvas.presses.first()));
    }

    // Not found within the page's time: the run stops with its message,
    // exit status 5, and the Click page after it never comes.
    void notFoundStopsTheRun() {
        Canvas canvas;
        canvas.setGeometry(140, 130, 520, 360);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QString errors;
        QCOMPARE(
            run(project({{"なし"}, jump("画面", pattern::pngBase64(pattern::picture()), 1), kClick},
                        {kNow, kNow, {"終わるまで待つ", "0"}}),
                errors),
            5);
        QVERIFY2(errors.contains(QStringLiteral("page 2: the image was not found; the run was "
                                                "stopped")),
                 qPrintable(errors));
        QTest::qWait(300);
        QCOMPARE(canvas.presses.size(), 0);
    }
};

QTEST_MAIN(X11ScreenPagesTest)
#include "x11_screenpages.moc"
