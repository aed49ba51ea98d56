// The file commands of the main window (New, Open, Save, Save As, the start
// page's Open) and the settings file as the window reads and writes it.

#include "app/projectfiles.h"
#include "app/tarnwick.h"
#include "core/localfilename.h"
#include "core/projectfile.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#if defined(Q_OS_UNIX)
#include <cstdio>
#include <dirent.h>
#endif

namespace {

QString desktop() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QJsonObject configObject() {
    return QJsonDocument::fromJson(readAll(testsupport::testConfigPath())).object();
}

// What a file dialog looked like when it came up.
struct SeenDialog {
    bool shown = false;
    QString caption;
    QStringList filters;
    QString directory;
};

// Queues an answer for the next file dialog: choose `path`, or cancel when
// it is empty.
void answerFileDialog(testsupport::ModalAnswerer &answerer, const QString &path,
                      SeenDialog *seen = nullptr) {
    answerer.act([path, seen](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog) {
            w->close();
            return;
        }
        if (seen) {
            seen->shown = true;
            seen->caption = dialog->windowTitle();
            seen->filters = dialog->nameFilters();
            seen->directory = dialog->directory().absolutePath();
        }
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

const QStringList kFilters{QStringLiteral("Command Data (*.cmdat)"),
                           QStringLiteral("All Files (*)")};

PageList threeCommands() {
    return {{"クリック", "右", "0.5"}, {"キー", "65,2", "0.01"}, {"入力", "テキスト", "3"}};
}
PageList threeConditions() {
    return {{"時間", "1"}, {"即時"}, {"時刻", "12", "30"}};
}

void editorWith(tarnwick &window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.newProjectButton->click();
    QVERIFY(window.editorOpen);
}

void makeDirty(tarnwick &window) {
    window.document->setCommandAt(
        0, QStringList{QStringLiteral("入力"), QStringLiteral("x"), QStringLiteral("3")});
}

} // namespace

class FilesTest : public QObject {
    Q_OBJECT

    testsupport::RecordingInput *input = nullptr;

private slots:
    void initTestCase() {
        // Native file dialogs (Windows) are not QWidgets the answerer could
        // fill in: the test asks for Qt's own.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void init() {
        testsupport::writeTestConfig();
        input = new testsupport::RecordingInput;
    }
    void cleanup() {
        delete input;
        input = nullptr;
    }

    // Ctrl+S on a project without a file goes through Save As; New afterwards
    // has nothing to ask about.
    void saveNewProjectThenNew() {
        QTemporaryDir dir;
        tarnwick window;
        editorWith(window);
        QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト"));
        makeDirty(window);

        testsupport::ModalAnswerer answerer;
        SeenDialog seen;
        answerFileDialog(answerer, dir.filePath(QStringLiteral("proj")), &seen);
        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);

        QVERIFY(seen.shown);
        QCOMPARE(seen.caption, QStringLiteral("名前を付けて保存"));
        QCOMPARE(seen.filters, kFilters);
        QCOMPARE(answerer.count(), 0);
        const QString saved = dir.filePath(QStringLiteral("proj.cmdat"));
        QCOMPARE(window.document->filePath(), saved);
        QCOMPARE(readAll(saved), projectfile::serialize(window.document->listCommand(),
                                                        window.document->listCondition()));
        QCOMPARE(window.windowTitle(), QStringLiteral("proj"));
        QVERIFY(!window.isProjectDirty());
        QCOMPARE(window.document->savedListCommand(), window.document->listCommand());

        window.newFile();
        QCOMPARE(answerer.count(), 0);
        QCOMPARE(window.document->filePath(), desktop());
        QCOMPARE(window.document->listCommand(), PageList({{"なし"}}));
        QCOMPARE(window.document->listCondition(), PageList({{"終わるまで待つ", "0.1"}}));
        QVERIFY(!window.isProjectDirty());
        QCOMPARE(window.document->currentPage(), 1);
        QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト"));
    }

    // Open's refusals in the interface's language, saying why a file could
    // not be opened.
    void openErrorsInTheInterfaceLanguage_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text"); // %1: the path
        QTest::newRow("missing, ja") << "missing" << true << "読み込みエラー"
                                     << "ファイルを開けませんでした：%1（ファイルがありません）";
        QTest::newRow("missing, en") << "missing" << false << "Load Error"
                                     << "Could not open the file: %1 (there is no such file)";
        QTest::newRow("folder, ja") << "folder" << true << "読み込みエラー"
                                    << "ファイルを開けませんでした：%1（フォルダです）";
        QTest::newRow("folder, en") << "folder" << false << "Load Error"
                                    << "Could not open the file: %1 (it is a folder)";
        QTest::newRow("unknown kind, en")
            << "unknown" << false << "Load Error"
            << "Page 1: the command \"ジャンプ\" cannot be used in this version.";
        QTest::newRow("bad shape, en") << "shape" << false << "Load Error"
                                       << "The file is not in the project format.";
    }
    void openErrorsInTheInterfaceLanguage() {
        QFETCH(QString, situation);
        QFETCH(bool, japanese);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.cmdat"));
        if (situation == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("p.cmdat")));
        else if (situation == QLatin1String("unknown"))
            QVERIFY(writeAll(path, "{\"list_command\": [[\"ジャンプ\", \"1\"]], "
                                   "\"list_condition\": [[\"即時\"]]}"));
        else if (situation == QLatin1String("shape"))
            QVERIFY(writeAll(path, "[]"));
        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (window.settings.is_japanese != japanese)
            window.toggleLanguage();
        testsupport::ModalAnswerer answerer;
        window.openProjectFile(path);
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, title);
        QCOMPARE(answerer.last().text, text.contains(QLatin1String("%1")) ? text.arg(path) : text);
    }

    // A project named on the command line opens in the editor as Open would:
    // its pages and title, a relative name made absolute (so Save writes
    // there), an unreadable file reported with Open's message.
    void openFromCommandLine_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no such file
        QTest::addColumn<bool>("readable");
        QTest::newRow("project") << projectfile::serialize(threeCommands(), threeConditions())
                                 << true;
        QTest::newRow("broken json") << QByteArray("{\"list_command\": [") << false;
        QTest::newRow("missing") << QByteArray() << false;
    }
    void openFromCommandLine() {
        QFETCH(QByteArray, content);
        QFETCH(bool, readable);
        QTemporaryDir dir;
        const QString absolute = dir.filePath(QStringLiteral("挨拶.cmdat"));
        if (!content.isEmpty())
            QVERIFY(writeAll(absolute, content));
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));

        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        testsupport::ModalAnswerer answerer;
        window.openProjectFile(QStringLiteral("挨拶.cmdat"));
        QVERIFY(QDir::setCurrent(saved));

        QVERIFY(window.editorOpen);
        QCOMPARE(window.document->filePath(), absolute);
        QVERIFY(!window.isProjectDirty());
        if (readable) {
            QCOMPARE(answerer.count(), 0);
            QCOMPARE(window.document->listCommand(), threeCommands());
            QCOMPARE(window.document->listCondition(), threeConditions());
            QCOMPARE(window.windowTitle(), QStringLiteral("挨拶"));
        } else {
            QCOMPARE(answerer.count(), 1);
            QCOMPARE(answerer.last().title, QStringLiteral("読み込みエラー"));
            QCOMPARE(window.document->listCommand(), PageList({{"なし"}}));
        }
    }

#if defined(Q_OS_UNIX)
    // A file whose name is not UTF-8, named on the command line (relative,
    // as main passes it): it opens, Save writes it back under the same bytes
    // and makes no second file, and the settings keep its folder (a text
    // file could not spell the name).
    void nameThatIsNotTextOpensAndSavesBack() {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray bytes = folder + "/caf\xe9.cmdat";
        const QByteArray content = projectfile::serialize(threeCommands(), threeConditions());
        std::FILE *file = std::fopen(bytes.constData(), "wb");
        QVERIFY(file);
        QCOMPARE(std::fwrite(content.constData(), 1, size_t(content.size()), file),
                 size_t(content.size()));
        std::fclose(file);
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));

        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        testsupport::ModalAnswerer answerer;
        window.openProjectFile(localfilename::decode("caf\xe9.cmdat"));
        QVERIFY(QDir::setCurrent(saved));
        QCOMPARE(answerer.count(), 0);
        QCOMPARE(window.document->listCommand(), threeCommands());
        QCOMPARE(localfilename::encode(window.document->filePath()), bytes);

        makeDirty(window);
        window.saveFile3();
        QCOMPARE(answerer.count(), 0);
        QVERIFY(!window.isProjectDirty());
        QList<QByteArray> entries;
        if (DIR *listing = ::opendir(folder.constData())) {
            while (const dirent *entry = ::readdir(listing)) {
                const QByteArray name(entry->d_name);
                if (name != "." && name != "..")
                    entries << name;
            }
            ::closedir(listing);
        }
        QCOMPARE(entries, QList<QByteArray>{"caf\xe9.cmdat"});
        QCOMPARE(projectfile::load(window.document->filePath()).commands,
                 window.document->listCommand());

        QVERIFY(window.close());
        QCOMPARE(configObject().value("file_path").toString(), dir.path());
    }
#endif

    // Over an unsaved project it asks first; No keeps the project.
    void openFromCommandLineAsksAboutUnsaved() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.cmdat"));
        QVERIFY(writeAll(path, projectfile::serialize(threeCommands(), threeConditions())));
        tarnwick window;
        editorWith(window);
        makeDirty(window);
        const PageList before = window.document->listCommand();
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::No);
        window.openProjectFile(path);
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("最終確認"));
        QCOMPARE(window.document->listCommand(), before);
        QCOMPARE(window.document->filePath(), desktop());
    }

    void saveAsAppendsExtension_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::newRow("bare name") << "proj"
                                   << "proj.cmdat";
        QTest::newRow("other extension") << "proj.txt"
                                         << "proj.txt.cmdat";
        QTest::newRow("upper case kept") << "PROJ.CMDAT"
                                         << "PROJ.CMDAT";
        QTest::newRow("two dots") << "a.b.cmdat"
                                  << "a.b.cmdat";
    }
    void saveAsAppendsExtension() {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QTemporaryDir dir;
        tarnwick window;
        editorWith(window);
        testsupport::ModalAnswerer answerer;
        answerFileDialog(answerer, dir.filePath(name));
        window.saveAsAction->trigger();
        QCOMPARE(window.document->filePath(), dir.filePath(written));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written});
        // The title is the name up to its first dot.
        QCOMPARE(window.windowTitle(), written.section(QLatin1Char('.'), 0, 0));
    }

    // Save on a project with a file overwrites it without a dialog; a cancelled
    // Save As changes nothing.
    void saveOverwritesAndCancelKeepsAll() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.cmdat"));
        tarnwick window;
        editorWith(window);
        testsupport::ModalAnswerer answerer;
        answerFileDialog(answerer, path);
        window.saveFile1();
        QCOMPARE(window.document->filePath(), path);

        window.document->setPages(threeCommands(), threeConditions());
        SeenDialog seen;
        answerFileDialog(answerer, QString(), &seen);
        window.saveFile3();
        QCOMPARE(readAll(path), projectfile::serialize(threeCommands(), threeConditions()));
        QVERIFY(!window.isProjectDirty());

        makeDirty(window);
        window.saveFile1(); // the queued cancel answers this one
        QVERIFY(seen.shown);
        QCOMPARE(seen.directory, dir.path());
        QCOMPARE(window.document->filePath(), path);
        QVERIFY(window.isProjectDirty());
        QCOMPARE(readAll(path), projectfile::serialize(threeCommands(), threeConditions()));
    }

    void failedSaveKeepsProjectUnsaved() {
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath(QStringLiteral("plain")), "x"));
        const QString path = dir.filePath(QStringLiteral("plain/p.cmdat"));
        tarnwick window;
        editorWith(window);
        makeDirty(window);
        testsupport::ModalAnswerer answerer;
        window.document->setFilePath(path); // as if chosen before the folder went away
        window.saveFile3();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().icon, QMessageBox::Warning);
        QCOMPARE(answerer.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(answerer.last().title, QStringLiteral("保存エラー"));
        QCOMPARE(answerer.last().text, QStringLiteral("ファイルを開けませんでした:") + path);
        QVERIFY(window.isProjectDirty());
        QCOMPARE(window.document->savedListCommand(), PageList({{"なし"}}));
    }

    // Open over an unsaved project: asked (when the question is on), and only
    // Yes goes on to the dialog.
    void openAsksAboutUnsavedProject_data() {
        QTest::addColumn<bool>("ask");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("yes") << true << true << int(QMessageBox::Yes) << true;
        QTest::newRow("no") << true << true << int(QMessageBox::No) << false;
        QTest::newRow("english, yes") << true << false << int(QMessageBox::Yes) << true;
        QTest::newRow("question off") << false << true << -1 << true;
    }
    void openAsksAboutUnsavedProject() {
        QFETCH(bool, ask);
        QFETCH(bool, japanese);
        QFETCH(int, answer);
        QFETCH(bool, loaded);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("three.cmdat"));
        QVERIFY(writeAll(path, projectfile::serialize(threeCommands(), threeConditions())));
        testsupport::writeTestConfig(
            {{"is_used_this", true}, {"is_japanese", japanese}, {"is_message_file", ask}});

        tarnwick window;
        editorWith(window);
        makeDirty(window);
        window.document->setCurrentPage(1);
        const PageList before = window.document->listCommand();
        testsupport::ModalAnswerer answerer;
        if (answer >= 0)
            answerer.answer(QMessageBox::StandardButton(answer));
        SeenDialog seen;
        answerFileDialog(answerer, path, &seen);
        window.openAction->trigger();

        QCOMPARE(answerer.count(), ask ? 1 : 0);
        if (ask) {
            const testsupport::SeenBox box = answerer.last();
            QCOMPARE(box.icon, QMessageBox::Warning);
            QCOMPARE(box.defaultButton, QMessageBox::No);
            QCOMPARE(box.title, japanese ? QStringLiteral("最終確認") : QStringLiteral("Warning"));
            QCOMPARE(box.text, japanese ? QStringLiteral("プロジェクトが保存されていません。\n"
                                                         "新しいプロジェクトを読み込みますか？")
                                        : QStringLiteral("The project has not been saved.\n"
                                                         "Do you want to load a new project?"));
        }
        QCOMPARE(seen.shown, loaded);
        if (loaded) {
            QCOMPARE(seen.caption, QStringLiteral("コマンドデータを読み込み"));
            QCOMPARE(seen.filters, kFilters);
            QCOMPARE(window.document->listCommand(), threeCommands());
            QCOMPARE(window.document->listCondition(), threeConditions());
            QVERIFY(!window.isProjectDirty());
            QCOMPARE(window.document->currentPage(), 1);
            QCOMPARE(window.document->filePath(), path);
            QCOMPARE(window.windowTitle(), QStringLiteral("three"));
        } else {
            QCOMPARE(window.document->listCommand(), before);
            QCOMPARE(window.document->filePath(), desktop());
        }
    }

    void newAsksAboutUnsavedProject() {
        tarnwick window;
        editorWith(window);
        makeDirty(window);
        const PageList edited = window.document->listCommand();
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::No);
        window.newFile();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().text,
                 QStringLiteral("プロジェクトが保存されていません。\n新規作成しますか？"));
        QCOMPARE(window.document->listCommand(), edited);

        window.settings.is_message_file = false;
        window.newFile();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(window.document->listCommand(), PageList({{"なし"}}));
        QVERIFY(!window.isProjectDirty());
    }

    // A file that cannot be used leaves the project as it was, but Open keeps
    // the chosen path: the title shows it at the next refresh and Save writes there.
    void failedOpen_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("not JSON") << QByteArray("not json") << QString();
        QTest::newRow("array") << QByteArray("[]")
                               << QStringLiteral("ファイルの形式が正しくありません。");
        QTest::newRow("no pages") << QByteArray("{\"list_command\": [], \"list_condition\": []}")
                                  << QStringLiteral("ファイルの形式が正しくありません。");
        QTest::newRow("short record")
            << QByteArray("{\"list_command\": [[\"クリック\"]], \"list_condition\": [[\"即時\"]]}")
            << QStringLiteral("ファイルの形式が正しくありません。");
    }
    void failedOpen() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.cmdat"));
        QVERIFY(writeAll(path, content));
        if (message.isEmpty()) {
            QJsonParseError error;
            QJsonDocument::fromJson(content, &error);
            message = QStringLiteral("JSON 解析エラー: ") + error.errorString();
        }

        tarnwick window;
        editorWith(window);
        window.document->setPages(threeCommands(), threeConditions());
        window.document->setCurrentPage(3);
        window.refreshPage();
        testsupport::ModalAnswerer answerer;
        window.settings.is_message_file = false;
        answerFileDialog(answerer, path);
        window.loadFile1();

        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("読み込みエラー"));
        QCOMPARE(answerer.last().text, message);
        QCOMPARE(window.document->listCommand(), threeCommands());
        QCOMPARE(window.document->listCondition(), threeConditions());
        QCOMPARE(window.document->currentPage(), 3);
        QCOMPARE(window.document->filePath(), path);

        window.refreshPage();
        QCOMPARE(window.windowTitle(), QStringLiteral("broken"));
        window.saveFile3();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(readAll(path), projectfile::serialize(threeCommands(), threeConditions()));
    }

    // A file beyond the reader's cap is refused without reading it all, and
    // keeps the project's path: Save must not overwrite the large file.
    void tooLargeOpen() {
        QTemporaryDir dir;
        const QString own = dir.filePath(QStringLiteral("own.cmdat"));
        QVERIFY(writeAll(own, projectfile::serialize(threeCommands(), threeConditions())));
        const QString large = dir.filePath(QStringLiteral("large.cmdat"));
        {
            QFile file(large);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(projectfile::kMaxProjectBytes + 1)); // sparse: costs no disk
        }

        tarnwick window;
        editorWith(window);
        window.document->setFilePath(own);
        window.files->readProjectFile();
        testsupport::ModalAnswerer answerer;
        window.settings.is_message_file = false;
        answerFileDialog(answerer, large);
        window.loadFile1();

        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("読み込みエラー"));
        QCOMPARE(answerer.last().text,
                 QStringLiteral("ファイルが大きすぎます（64 MiB まで）：") + large);
        QCOMPARE(window.document->filePath(), own);
        QCOMPARE(window.document->listCommand(), threeCommands());
        QCOMPARE(QFileInfo(large).size(), projectfile::kMaxProjectBytes + 1);
    }

    // A project holding a kind this version does not know is refused as a
    // whole: the open project, its path and its undo steps stay, so Save
    // cannot overwrite the newer project with this one.
    void unknownKindOpen_data() {
        QTest::addColumn<bool>("fromCommandLine");
        QTest::newRow("Open") << false;
        QTest::newRow("command line") << true;
    }
    void unknownKindOpen() {
        QFETCH(bool, fromCommandLine);
        QTemporaryDir dir;
        const QString future = dir.filePath(QStringLiteral("future.cmdat"));
        const QByteArray futureContent = projectfile::serialize(
            {{"なし"}, {"なし"}, {"ウィンドウ", "メモ帳", "1"}}, {{"即時"}, {"即時"}, {"即時"}});
        QVERIFY(writeAll(future, futureContent));
        const QString own = dir.filePath(QStringLiteral("own.cmdat"));

        tarnwick window;
        testsupport::ModalAnswerer answerer;
        window.settings.is_message_file = false;
        PageList commands{{"なし"}};
        PageList conditions{{"終わるまで待つ", "0.1"}};
        QString pathBefore = window.document->filePath();
        if (fromCommandLine) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.openProjectFile(future);
            QVERIFY(window.editorOpen);
            // A new project, without a file, as the start page's New gives.
            QVERIFY(window.files->hasNoProjectFile());
            QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト"));
        } else {
            editorWith(window);
            QVERIFY(writeAll(own, projectfile::serialize(threeCommands(), threeConditions())));
            window.document->setFilePath(own);
            window.files->readProjectFile();
            window.document->setCurrentPage(3);
            QStringList edited = window.document->listCommand().at(2);
            edited[1] = QStringLiteral("unsaved");
            window.document->setCommandAt(2, edited);
            window.refreshPage();
            commands = window.document->listCommand();
            conditions = window.document->listCondition();
            pathBefore = own;
            answerFileDialog(answerer, future);
            window.loadFile1();
        }
        const QList<PageList> history = window.document->listCommandHistory();
        const int historyIndex = window.document->historyIndex();

        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("読み込みエラー"));
        QCOMPARE(
            answerer.last().text,
            QStringLiteral("ページ 3 のコマンド「ウィンドウ」はこのバージョンでは使えません。"));
        QCOMPARE(window.document->listCommand(), commands);
        QCOMPARE(window.document->listCondition(), conditions);
        QCOMPARE(window.document->currentPage(), fromCommandLine ? 1 : 3);
        if (!fromCommandLine)
            QCOMPARE(window.document->filePath(), pathBefore);
        window.refreshPage();
        QCOMPARE(window.document->listCommandHistory(), history);
        QCOMPARE(window.document->historyIndex(), historyIndex);
        if (!fromCommandLine) {
            QCOMPARE(window.windowTitle(), QStringLiteral("own"));
            window.saveFile3();
            QCOMPARE(readAll(own), projectfile::serialize(commands, conditions));
        }
        QCOMPARE(readAll(future), futureContent);
    }

    // The start page's Open: the dialog starts at the remembered path, and the
    // editor opens whatever the outcome.
    void startPageOpen_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("chosen") << false;
        QTest::newRow("cancelled") << true;
    }
    void startPageOpen() {
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("start.cmdat"));
        QVERIFY(writeAll(path, projectfile::serialize(threeCommands(), threeConditions())));
        testsupport::writeTestConfig({{"is_used_this", true}, {"file_path", path}});

        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.files->lastFilePath, path);
        testsupport::ModalAnswerer answerer;
        SeenDialog seen;
        answerFileDialog(answerer, cancel ? QString() : path, &seen);
        window.loadProjectButton->click();

        QVERIFY(seen.shown);
        QCOMPARE(seen.directory, dir.path());
        QVERIFY(window.editorOpen);
        QCOMPARE(answerer.count(), 0);
        if (cancel) {
            QCOMPARE(window.document->listCommand(), PageList({{"なし"}}));
            QCOMPARE(window.document->filePath(), desktop());
            QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト"));
        } else {
            QCOMPARE(window.document->listCommand(), threeCommands());
            QCOMPARE(window.windowTitle(), QStringLiteral("start"));
        }
    }

    // ---- settings file ----

    void configPathIsTheTestLocation() {
        tarnwick window;
        QCOMPARE(window.files->configFilePath(), testsupport::testConfigPath());
    }

    void firstStartUsesDefaultsAndCloseWritesAllKeys() {
        testsupport::removeTestConfig();
        QTest::ignoreMessage(QtDebugMsg, "Config file does not exist. Using defaults.");
        testsupport::ModalAnswerer answerer; // the welcome box
        tarnwick window;
        QCOMPARE(window.settings.stertTime, 5);
        QCOMPARE(window.settings.runNumber, 1);
        QCOMPARE(window.settings.stopCommand, QStringLiteral("83,3"));
        QCOMPARE(window.document->filePath(), desktop());
        QVERIFY(window.files->lastFilePath.isEmpty());
        QVERIFY(window.settings.is_japanese && window.settings.is_message_file &&
                window.settings.is_message_delete && window.settings.is_message_record);
        QVERIFY(!window.settings.is_message_paste && !window.settings.is_used_stert);
        QVERIFY(window.close());

        const QJsonObject o = configObject();
        QCOMPARE(o.size(), 17);
        QCOMPARE(o.value("pause_command").toString(), QStringLiteral("80,3"));
        QCOMPARE(o.value("run_speed").toDouble(), 1.0);
        QCOMPARE(o.value("is_used_this").toBool(), true);
        QCOMPARE(o.value("is_help").toBool(), true);
        QCOMPARE(o.value("file_path").toString(), QString());
        QCOMPARE(o.value("stert_time").toInt(), 5);
        QCOMPARE(o.value("stop_command").toString(), QStringLiteral("83,3"));
    }

    // Values as the window takes them, and the remembered project path kept
    // across a session that never had a file.
    void settingsReachTheWindowAndBack() {
        testsupport::writeTestConfig({{"is_used_this", true},
                                      {"is_japanese", false},
                                      {"stert_time", 2.5},
                                      {"run_number", 114514},
                                      {"stop_command", "65,6"},
                                      {"file_path", "/tmp/x\\y/../p.cmdat"}});
        tarnwick window;
        QVERIFY(!window.settings.is_japanese);
        QCOMPARE(window.settings.stertTime, 5);
        QCOMPARE(window.settings.runNumber, 114514);
        QCOMPARE(window.settings.stopCommand, QStringLiteral("65,6"));
        QCOMPARE(window.document->filePath(), QStringLiteral("/tmp/x/p.cmdat"));
        QCOMPARE(window.files->lastFilePath, QStringLiteral("/tmp/x/p.cmdat"));

        window.show();
        window.newProjectButton->click();
        QCOMPARE(window.document->filePath(), desktop());
        QVERIFY(window.close());
        const QJsonObject o = configObject();
        QCOMPARE(o.value("file_path").toString(), QStringLiteral("/tmp/x/p.cmdat"));
        QCOMPARE(o.value("is_japanese").toBool(), false);
        QCOMPARE(o.value("run_number").toInt(), 114514);
        QCOMPARE(o.value("stert_time").toInt(), 5);
    }

    void savedProjectPathIsStored() {
        QTemporaryDir dir;
        tarnwick window;
        editorWith(window);
        testsupport::ModalAnswerer answerer;
        answerFileDialog(answerer, dir.filePath(QStringLiteral("kept")));
        window.saveFile1();
        QVERIFY(window.close());
        QCOMPARE(configObject().value("file_path").toString(),
                 dir.filePath(QStringLiteral("kept.cmdat")));
    }

    void cancelledCloseWritesNothing() {
        tarnwick window;
        editorWith(window);
        makeDirty(window);
        window.settings.is_japanese = false;
        const QByteArray before = readAll(testsupport::testConfigPath());
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::No);
        QVERIFY(!window.close());
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(readAll(testsupport::testConfigPath()), before);
    }
};

QTEST_MAIN(FilesTest)
#include "gui_files.moc"
