// Recording on a real X server: "操作を記録", then clicks at two places, text,
// Enter and Ctrl+A performed through XTest against a window of the test's
// own, ended by Ctrl+Alt+S; the project is saved, read back into a fresh main
// window and replayed into a fresh copy of the target window, which must end
// with the same text, the same clicks and the same selection.

#include "app/projectfiles.h"
#include "app/recordinglauncher.h"
#include "app/recordingsession.h"
#include "app/tarnwick.h"
#include "core/projectfile.h"
#include "platform/inputlayer.h"
#include "support/modalhelper.h"
#include "support/systeminput.h"
#include "support/testconfig.h"
#include "support/useractions.h"

#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <string>

#include <X11/Xlib.h>

using testsupport::chord;
using testsupport::tap;
using testsupport::typeAscii;

namespace {

constexpr int kLControl = 0xA2;
constexpr int kLMenu = 0xA4;

// A window with a line edit on top and a pad below it that notes every
// click it receives (its place in the pad and the button).
class Target : public QWidget {
public:
    Target() {
        setWindowTitle(QStringLiteral("record target"));
        setGeometry(650, 100, 400, 300);
        edit = new QLineEdit(this);
        edit->setGeometry(0, 0, 400, 40);
    }
    QLineEdit *edit;
    QStringList clicks;

protected:
    void mousePressEvent(QMouseEvent *event) override {
        const QPoint p = event->position().toPoint();
        clicks << QStringLiteral("%1 %2,%3")
                      .arg(event->button() == Qt::LeftButton ? QStringLiteral("left")
                                                             : QStringLiteral("right"))
                      .arg(p.x())
                      .arg(p.y());
    }
};

void clickAt(const QPoint &global, bool left) {
    testsupport::clickAtScreen(global.x(), global.y(), left);
}

} // namespace

class X11RecordTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        testsupport::writeTestConfig();
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
    }
    void cleanupTestCase() { layer.reset(); }

    void recordSaveReplay();
    void passwordPromptIsNotRecorded();

private:
    std::unique_ptr<Target> showTarget() {
        auto target = std::make_unique<Target>();
        target->show();
        if (!QTest::qWaitForWindowExposed(target.get()))
            return nullptr;
        target->activateWindow();
        target->edit->setFocus();
        if (!QTest::qWaitFor([&] { return target->edit->hasFocus() && target->isActiveWindow(); },
                             5000))
            return nullptr;
        return target;
    }
    // The sequence a user performs: two clicks, text, Enter and Ctrl+A.
    void perform(Target &target) {
        clickAt(target.mapToGlobal(QPoint(100, 150)), true);
        clickAt(target.mapToGlobal(QPoint(300, 250)), false);
        typeAscii(QStringLiteral("Hello 42"));
        tap(13);
        chord({kLControl, 'A'});
    }

    testsupport::SystemInput layer;
};

void X11RecordTest::recordSaveReplay() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("recorded.cmdat"));

    // --- record ---
    auto window = std::make_unique<tarnwick>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->newProjectButton->click();
    window->settings.stertTime = 0;
    window->settings.stopCommand = QStringLiteral("83,3");
    window->settings.is_message_record = false; // the notice is tested offscreen
    QCOMPARE(window->otherMenu->actions().first(), window->recordAction);
    window->recordAction->trigger();
    QVERIFY(window->recorder->recording);
    QVERIFY(window->isHidden());
    QTRY_VERIFY(window->recorder->recording->isRecording());

    auto original = showTarget();
    QVERIFY(original);
    QSignalSpy entered(original->edit, &QLineEdit::returnPressed);
    perform(*original);
    chord({kLControl, kLMenu, 'S'}); // ends it and is not recorded
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QVERIFY(!window->recorder->recording);

    QCOMPARE(original->edit->text(), QStringLiteral("Hello 42"));
    QCOMPARE(entered.count(), 1);
    QCOMPARE(original->edit->selectedText(), QStringLiteral("Hello 42"));
    QCOMPARE(original->clicks, (QStringList{"left 100,150", "right 300,250"}));

    // The clicks are placed in the window they went to, found by its title.
    QStringList kinds;
    for (const QStringList &command : window->document->listCommand())
        kinds << command.value(0) + QLatin1Char(' ') + command.value(1);
    QCOMPARE(kinds,
             (QStringList{"なし ", "ウィンドウ切替 record target", "ウィンドウ座標 record target",
                          "クリック 左", "ウィンドウ座標 record target", "クリック 右",
                          "入力 Hello 42", "キー 13,0", "キー 65,2"}));
    QCOMPARE(window->document->listCommand().at(2).mid(4), (QStringList{"100", "150"}));
    QCOMPARE(window->document->listCommand().at(4).mid(4), (QStringList{"300", "250"}));
    QCOMPARE(window->document->currentPage(), 9); // the last recorded page
    QVERIFY(window->isProjectDirty());
    QVERIFY(window->undoButton->isVisible());

    window->document->setFilePath(path);
    window->files->writeProjectFile();
    QVERIFY(!window->isProjectDirty());
    const PageList commands = window->document->listCommand();
    const PageList conditions = window->document->listCondition();
    original.reset();
    window.reset();

    // --- read back and replay into a fresh target ---
    const projectfile::LoadResult loaded = projectfile::load(path);
    QCOMPARE(loaded.status, projectfile::LoadStatus::Ok);
    QCOMPARE(loaded.commands, commands);
    QCOMPARE(loaded.conditions, conditions);

    auto player = std::make_unique<tarnwick>();
    player->document->setFilePath(path);
    player->files->readProjectFile();
    QCOMPARE(player->document->listCommand(), commands);
    player->settings.stertTime = 1;
    player->settings.runNumber = 1;
    player->settings.stopCommand = QStringLiteral("83,3");
    auto copy = showTarget();
    QVERIFY(copy);
    // Elsewhere on the screen now: the replay still hits the same controls.
    copy->move(copy->pos() - QPoint(500, -200));
    QTRY_COMPARE(copy->geometry().topLeft(), QPoint(150, 300));
    QSignalSpy enteredAgain(copy->edit, &QLineEdit::returnPressed);
    player->startRun();
    QTRY_VERIFY_WITH_TIMEOUT(player->findChildren<QThread *>().isEmpty(), 30000);

    QCOMPARE(copy->edit->text(), QStringLiteral("Hello 42"));
    QCOMPARE(enteredAgain.count(), 1);
    QCOMPARE(copy->edit->selectedText(), QStringLiteral("Hello 42"));
    QCOMPARE(copy->clicks, (QStringList{"left 100,150", "right 300,250"}));
    player.reset();
    layer->releaseAll();
}

// A password prompt grabs the keyboard while "hunter2" is typed into it: the
// recording holds only what was typed after it let go, and the user is told
// that input was left out.
void X11RecordTest::passwordPromptIsNotRecorded() {
    auto window = std::make_unique<tarnwick>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->newProjectButton->click();
    window->settings.stertTime = 0;
    window->settings.stopCommand = QStringLiteral("83,3");
    window->settings.is_message_record = false;
    window->recordAction->trigger();
    QVERIFY(window->recorder->recording);
    QTRY_VERIFY(window->recorder->recording->isRecording());
    auto target = showTarget();
    QVERIFY(target);

    Display *prompt = XOpenDisplay(nullptr);
    QVERIFY(prompt);
    const Window promptWindow =
        XCreateSimpleWindow(prompt, DefaultRootWindow(prompt), 10, 10, 200, 50, 0, 0, 0);
    XMapWindow(prompt, promptWindow);
    XSync(prompt, False);
    QCOMPARE(XGrabKeyboard(prompt, promptWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime),
             GrabSuccess);
    typeAscii(QStringLiteral("hunter2"));
    tap(13);
    XUngrabKeyboard(prompt, CurrentTime);
    XCloseDisplay(prompt);
    QCOMPARE(target->edit->text(), QString()); // the prompt had the keys

    typeAscii(QStringLiteral("ok"));
    QTRY_COMPARE(target->edit->text(), QStringLiteral("ok"));
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    chord({kLControl, kLMenu, 'S'});
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QTRY_COMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text,
             QStringLiteral("パスワード欄など、保護された入力への入力は記録しませんでした。"));
    QCOMPARE(window->document->listCommand().size(), 2);
    QCOMPARE(window->document->listCommand().at(1).mid(0, 2), (QStringList{"入力", "ok"}));
    layer->releaseAll();
}

QTEST_MAIN(X11RecordTest)
#include "x11_record.moc"
