// Recording on Windows with the real Win32 recorder (the low-level keyboard
// and mouse hooks): "操作を記録", then clicks at two places, text, Enter and
// Ctrl+A sent through SendInput to a Win32 window of the test's own, ended by
// Ctrl+Alt+S; the project is saved, read back into a fresh main window and
// replayed into a fresh copy of the target window, which must receive the
// same text and the same clicks.

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
#include "support/win32targetwindow.h"

#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <string>

#include "platform/win32/leanwindows.h"

using testsupport::chord;
using testsupport::pause;
using testsupport::tap;
using testsupport::TargetMessage;
using testsupport::typeAscii;
using testsupport::Win32TargetWindow;

namespace {

constexpr int kTargetX = 650;
constexpr int kTargetY = 120;
const QString kStop = QStringLiteral("83,3"); // Ctrl+Alt+S

void clickAt(const Win32TargetWindow &target, int x, int y, bool left) {
    target.clientToScreen(x, y);
    testsupport::clickAtScreen(x, y, left);
}

// "left down 100,150": the button messages the window received, in order.
QStringList clicksOf(const Win32TargetWindow &target) {
    QStringList clicks;
    for (const TargetMessage &m : target.messages()) {
        QString what;
        switch (m.message) {
        case WM_LBUTTONDOWN:
            what = QStringLiteral("left down");
            break;
        case WM_LBUTTONUP:
            what = QStringLiteral("left up");
            break;
        case WM_RBUTTONDOWN:
            what = QStringLiteral("right down");
            break;
        case WM_RBUTTONUP:
            what = QStringLiteral("right up");
            break;
        default:
            continue;
        }
        clicks << QStringLiteral("%1 %2,%3").arg(what).arg(m.x).arg(m.y);
    }
    return clicks;
}

QString textOf(const Win32TargetWindow &target) {
    return QString::fromStdU16String(target.text());
}

// A top-level edit control on the test's thread (whose message loop the
// test's waits run), a password edit if asked.
class EditWindow {
public:
    explicit EditWindow(bool password) {
        edit_ = CreateWindowExW(
            0, L"EDIT", L"",
            WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_AUTOHSCROLL | (password ? ES_PASSWORD : 0),
            kTargetX, kTargetY, 300, 80, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~EditWindow() {
        if (edit_)
            DestroyWindow(edit_);
    }
    bool focus() {
        if (!edit_)
            return false;
        return QTest::qWaitFor(
            [this] {
                if (GetForegroundWindow() == edit_ && GetFocus() == edit_)
                    return true;
                SetForegroundWindow(edit_);
                SetFocus(edit_);
                return false;
            },
            10000);
    }
    QString text() const {
        wchar_t buffer[256] = {};
        GetWindowTextW(edit_, buffer, 256);
        return QString::fromWCharArray(buffer);
    }

private:
    HWND edit_ = nullptr;
};

} // namespace

class WineRecordTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        testsupport::writeTestConfig();
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
    }
    void cleanupTestCase() { layer.reset(); }

    void recordSaveReplay();
    void textSentAsUnicodeIsRecordedOnce();
    void passwordEditIsNotRecorded();

private:
    // A new project, then "操作を記録" with no start delay.
    static void startRecording(tarnwick &window) {
        window.move(20, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.newProjectButton->click();
        window.settings.stertTime = 0;
        window.settings.stopCommand = kStop;
        window.settings.is_message_record = false; // the notice is tested offscreen
        QCOMPARE(window.otherMenu->actions().first(), window.recordAction);
        window.recordAction->trigger();
        QVERIFY(window.recorder->recording);
        QVERIFY(window.isHidden());
        QTRY_VERIFY(window.recorder->recording->isRecording());
    }
    // "クリック 左": each page's kind and first value.
    static QStringList kindsOf(const tarnwick &window) {
        QStringList kinds;
        for (const QStringList &command : window.document->listCommand())
            kinds << command.value(0) + QLatin1Char(' ') + command.value(1);
        return kinds;
    }
    // The sequence a user performs: two clicks, text, Enter and Ctrl+A.
    static void perform(const Win32TargetWindow &target) {
        clickAt(target, 100, 150, true);
        clickAt(target, 300, 250, false);
        typeAscii(QStringLiteral("Hello 42"));
        tap(VK_RETURN);
        chord({VK_LCONTROL, 'A'});
    }

    testsupport::SystemInput layer;
};

void WineRecordTest::recordSaveReplay() {
    // What the window gets from that sequence: WM_CHARs for the text, Enter
    // and Ctrl+A (0x01), and both buttons at their places.
    const QString expectedText = QStringLiteral("Hello 42\r") + QChar(1);
    const QStringList expectedClicks = {"left down 100,150", "left up 100,150",
                                        "right down 300,250", "right up 300,250"};
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("recorded.cmdat"));

    // --- record ---
    auto window = std::make_unique<tarnwick>();
    startRecording(*window);
    if (QTest::currentTestFailed())
        return;

    auto original = std::make_unique<Win32TargetWindow>();
    QVERIFY(original->open(kTargetX, kTargetY, 500, 320));
    // Wine gives injected keys only to the focused window.
    QVERIFY(original->activate());
    perform(*original);
    QCOMPARE(textOf(*original), expectedText);
    QCOMPARE(clicksOf(*original), expectedClicks);
    chord({VK_LCONTROL, VK_LMENU, 'S'}); // ends it and is not recorded
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QVERIFY(!window->recorder->recording);

    // The clicks are placed in the window they went to, found by its title.
    const QStringList kinds = kindsOf(*window);
    QCOMPARE(kinds, (QStringList{"なし ", "ウィンドウ切替 target", "ウィンドウ座標 target",
                                 "クリック 左", "ウィンドウ座標 target", "クリック 右",
                                 "入力 Hello 42", "キー 13,0", "キー 65,2"}));
    QCOMPARE(window->document->listCommand().at(2).mid(4), (QStringList{"100", "150"}));
    QCOMPARE(window->document->listCommand().at(4).mid(4), (QStringList{"300", "250"}));
    QCOMPARE(window->document->currentPage(), 9); // the last recorded page
    QVERIFY(window->isProjectDirty());

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
    player->settings.stopCommand = kStop;
    // Elsewhere on the screen now: the replay still hits the same controls.
    Win32TargetWindow copy;
    QVERIFY(copy.open(kTargetX - 500, kTargetY + 200, 500, 320));
    player->startRun();
    // The start delay leaves time to give the copy the keyboard.
    QVERIFY(copy.activate());
    QTRY_VERIFY_WITH_TIMEOUT(player->findChildren<QThread *>().isEmpty(), 30000);

    QCOMPARE(textOf(copy), expectedText);
    QCOMPARE(clicksOf(copy), expectedClicks);
    player.reset();
    layer->releaseAll();
    for (int vk : {int(VK_LCONTROL), int(VK_LMENU), int(VK_LSHIFT), int('A'), int('S')})
        QVERIFY2(!layer->isDown(vk), qPrintable(QString::number(vk)));
}

// What other programs type as characters (VK_PACKET, as input methods and
// our own runs do) is one Enter Text page with each character once.
void WineRecordTest::textSentAsUnicodeIsRecordedOnce() {
    const QString typed = QStringLiteral("日本語 ok");
    auto window = std::make_unique<tarnwick>();
    startRecording(*window);
    if (QTest::currentTestFailed())
        return;

    Win32TargetWindow target;
    QVERIFY(target.open(kTargetX, kTargetY, 500, 320));
    QVERIFY(target.activate());
    for (const QChar c : typed) {
        platform::input().unicodeDown(c.unicode());
        pause(30);
        platform::input().unicodeUp(c.unicode());
        pause(30);
    }
    QTRY_COMPARE(textOf(target), typed);
    chord({VK_LCONTROL, VK_LMENU, 'S'});
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);

    const QStringList kinds = kindsOf(*window);
    QCOMPARE(kinds, (QStringList{"なし ", QStringLiteral("入力 ") + typed}));
}

// What is typed into a password edit is not recorded, not even as keys; what
// is typed into a plain edit afterwards is. The user is told afterwards.
void WineRecordTest::passwordEditIsNotRecorded() {
    auto window = std::make_unique<tarnwick>();
    startRecording(*window);
    if (QTest::currentTestFailed())
        return;

    EditWindow prompt(true);
    QVERIFY(prompt.focus());
    typeAscii(QStringLiteral("hunter2"));
    tap(VK_RETURN);
    QTRY_COMPARE(prompt.text(), QStringLiteral("hunter2")); // it did arrive there
    EditWindow plain(false);
    QVERIFY(plain.focus());
    typeAscii(QStringLiteral("ok"));
    QTRY_COMPARE(plain.text(), QStringLiteral("ok"));
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    chord({VK_LCONTROL, VK_LMENU, 'S'});
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);

    QCOMPARE(kindsOf(*window), (QStringList{"なし ", "入力 ok"}));
    QTRY_COMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text,
             QStringLiteral("パスワード欄など、保護された入力への入力は記録しませんでした。"));
}

QTEST_MAIN(WineRecordTest)
#include "wine_record.moc"
