#include "app/manualwindow.h"
#include "app/tarnwick.h"
#include "app/termdialog.h"
#include "core/manualtext.h"
#include "core/resourcepath.h"
#include "feedback/formurls.h"
#include "feedback/reportdialog.h"
#include "support/modalhelper.h"
#include "support/testconfig.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>
#include <memory>

// The menu commands that leave the project alone: report dialogs, browser
// forms, the version box and the licence viewers.

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

namespace {

struct ViewerContents {
    bool seen = false;
    QString windowTitle;
    QString title;
    QString text;
    bool readOnly = false;
    int cursorWidth = -1;
    QSize size;
    QWidget *parent = nullptr;
};

ViewerContents inspect(QWidget *w) {
    ViewerContents c;
    if (!qobject_cast<TermDialog *>(w))
        return c;
    c.seen = true;
    c.windowTitle = w->windowTitle();
    c.title = w->findChild<QLabel *>()->text();
    const auto *view = w->findChild<QPlainTextEdit *>();
    c.text = view->toPlainText();
    c.readOnly = view->isReadOnly();
    c.cursorWidth = view->cursorWidth();
    c.size = w->size();
    c.parent = w->parentWidget();
    return c;
}

// The texts of the document's headings, in order.
QStringList headingTexts(const QTextBrowser *view) {
    QStringList list;
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() > 0)
            list << b.text();
    }
    return list;
}

// Clicks the first (or last) link to `href` with the mouse, where the
// browser draws it.
bool clickLink(QTextBrowser *view, const QString &href, bool last) {
    int at = -1;
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().isAnchor() && f.charFormat().anchorHref() == href &&
                (at < 0 || last))
                at = f.position();
        }
    }
    if (at < 0)
        return false;
    QTextCursor cursor(view->document());
    cursor.setPosition(at + 1);
    view->setTextCursor(cursor);
    view->ensureCursorVisible();
    const QRect after = view->cursorRect(cursor);
    cursor.setPosition(at);
    const QRect before = view->cursorRect(cursor);
    const QPoint point((before.x() + after.x()) / 2, after.center().y());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
    return true;
}

// The pictures the document shows that could not be loaded.
QStringList missingPictures(const QTextBrowser *view) {
    QStringList missing;
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            const QVariant image =
                view->document()->resource(QTextDocument::ImageResource, QUrl(name));
            // A file's bytes, or a picture already decoded.
            QImage picture;
            if (image.userType() == QMetaType::QImage)
                picture = image.value<QImage>();
            else if (image.userType() == QMetaType::QPixmap)
                picture = image.value<QPixmap>().toImage();
            else
                picture = QImage::fromData(image.toByteArray());
            if (picture.isNull())
                missing << name;
        }
    }
    return missing;
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT

    std::unique_ptr<tarnwick> window;
    UrlCatcher catcher;

private slots:
    void initTestCase() {
        testsupport::writeTestConfig();
        window = std::make_unique<tarnwick>();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    }

    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        window.reset();
        testsupport::removeTestConfig();
    }

    void versionBox_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("japanese") << true << "情報"
                                  << "バージョン：1.6\n時間：2026年8月8日17時26分";
        QTest::newRow("english") << false << "Information"
                                 << "Version:1.6\nTime:August 8, 2026 17:26";
    }

    void versionBox() {
        QFETCH(bool, japanese);
        QFETCH(QString, title);
        QFETCH(QString, text);
        window->settings.is_japanese = japanese;
        testsupport::ModalAnswerer answerer;
        window->showVersionInfo();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, title);
        QCOMPARE(answerer.last().text, text);
        QCOMPARE(answerer.last().icon, QMessageBox::Information);
        QCOMPARE(answerer.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void browserForms_data() {
        QTest::addColumn<int>("form");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("address");
        const int yes = QMessageBox::Yes, no = QMessageBox::No;
        QTest::newRow("A, yes, japanese") << 0 << true << yes << formurls::browserFormA();
        QTest::newRow("A, no, japanese") << 0 << true << no << QString();
        QTest::newRow("B, yes, english") << 1 << false << yes << formurls::browserFormB();
        QTest::newRow("B, no, english") << 1 << false << no << QString();
        QTest::newRow("B, closed") << 1 << true << int(QMessageBox::Escape) << QString();
    }

    void browserForms() {
        QFETCH(int, form);
        QFETCH(bool, japanese);
        QFETCH(int, answer);
        QFETCH(QString, address);
        window->settings.is_japanese = japanese;
        catcher.opened.clear();
        testsupport::ModalAnswerer answerer;
        if (answer != QMessageBox::Escape)
            answerer.answer(QMessageBox::StandardButton(answer));
        if (form == 0)
            window->openBrowserFormA();
        else
            window->openBrowserFormB();

        QCOMPARE(answerer.count(), 1);
        const testsupport::SeenBox box = answerer.last();
        QCOMPARE(box.title, japanese ? QStringLiteral("確認") : QStringLiteral("Question"));
        QCOMPARE(box.text,
                 japanese ? QStringLiteral("ブラウザを起動します。\n続行しますか？")
                          : QStringLiteral("Launching your browser.\nDo you want to continue?"));
        QCOMPARE(box.icon, QMessageBox::Question);
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.defaultButton, QMessageBox::No);

        if (address.isEmpty()) {
            QVERIFY(catcher.opened.isEmpty());
        } else {
            QCOMPARE(catcher.opened.size(), 1);
            QCOMPARE(catcher.opened.first(), QUrl(address));
        }
    }

    void termDialogShowsDocument() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Windows line ends, a UTF-8 byte order mark and a dotted name.
        const QString path = dir.filePath(QStringLiteral("利用規約テスト.v2.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\xEF\xBB\xBF第1条\xE3\x80\x80使用の許諾\r\n\r\nline two\r\n終わり");
        f.close();

        TermDialog dialog(path, window.get());
        const ViewerContents c = inspect(&dialog);
        QCOMPARE(c.windowTitle, QStringLiteral("Tarnwick Free"));
        QCOMPARE(c.size, QSize(600, 600));
        QCOMPARE(c.title, QStringLiteral("利用規約テスト"));
        QCOMPARE(c.text, QStringLiteral("第1条\u3000使用の許諾\n\nline two\n終わり"));
        QVERIFY(c.readOnly);
        QCOMPARE(c.cursorWidth, 0);
    }

    void termDialogMissingFile() {
        QTemporaryDir dir;
        TermDialog dialog(dir.filePath(QStringLiteral("licenses/LGPLv3のライセンス文章.txt")));
        const ViewerContents c = inspect(&dialog);
        QCOMPARE(c.title, QStringLiteral("LGPLv3のライセンス文章"));
        QVERIFY(c.text.isEmpty());
        QVERIFY(c.readOnly);
    }

    // The documents the build puts beside the executable are the ones the
    // four viewer commands read.
    void viewersOpenShippedDocuments_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("terms") << 0 << "ソフトウェア使用許諾契約書"
                               << "無保証";
        QTest::newRow("notice") << 1 << "オープンソースソフトウェアに関する告知"
                                << "LGPL";
        QTest::newRow("qt") << 2 << "Qtライブラリの差替え又は再インストールに関する情報"
                            << "LD_LIBRARY_PATH";
        QTest::newRow("lgpl") << 3 << "LGPLv3のライセンス文章"
                              << "GNU LESSER GENERAL PUBLIC LICENSE";
    }

    void viewersOpenShippedDocuments() {
        QFETCH(int, which);
        QFETCH(QString, name);
        QFETCH(QString, phrase);
        window->settings.is_japanese = false; // the viewer does not follow the language
        ViewerContents c;
        testsupport::ModalAnswerer answerer;
        answerer.act([&c](QWidget *w) {
            c = inspect(w);
            w->close();
        });
        window->showTermDocument(which);
        QVERIFY(c.seen);
        QCOMPARE(c.parent, static_cast<QWidget *>(window.get()));
        QCOMPARE(c.windowTitle, QStringLiteral("Tarnwick Free"));
        QCOMPARE(c.title, name);
        QVERIFY2(c.text.contains(phrase), qPrintable(name));
        QVERIFY(!c.text.contains(QLatin1Char('\r')));
    }

    void reportCommandsOpenTheirDialogs() {
        QString bugTitle, suggestionTitle;
        QWidget *bugParent = nullptr;
        testsupport::ModalAnswerer answerer;
        answerer.act([&](QWidget *w) {
            if (qobject_cast<ReportDialog *>(w)) {
                bugTitle = w->windowTitle();
                bugParent = w->parentWidget();
            }
            w->close();
        });
        answerer.act([&](QWidget *w) {
            if (qobject_cast<ReportDialog2 *>(w))
                suggestionTitle = w->windowTitle();
            w->close();
        });
        window->settings.is_japanese = false; // the report dialogs follow the interface language
        window->reportBug();
        window->reportImprovementSuggestion();
        QCOMPARE(bugTitle, QStringLiteral("Bug Report"));
        QCOMPARE(bugParent, static_cast<QWidget *>(window.get()));
        QCOMPARE(suggestionTitle, QStringLiteral("Improvement Suggestion"));
        QVERIFY(window->findChildren<QDialog *>().isEmpty()); // destroyed after use
    }
    // Help → Manual opens the shipped manual of the interface language at the
    // section of the pane that has the focus; its contents links work.
    void manualOpensAtThePaneSection_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<bool>("onCondition");
        QTest::addColumn<QString>("heading");
        QTest::newRow("ja, command") << true << false << QStringLiteral("クリック");
        QTest::newRow("ja, condition") << true << true << QStringLiteral("時刻");
        QTest::newRow("en, command") << false << false << QStringLiteral("Click");
        QTest::newRow("en, condition") << false << true << QStringLiteral("Clock Time");
    }
    void manualOpensAtThePaneSection() {
        QFETCH(bool, japanese);
        QFETCH(bool, onCondition);
        QFETCH(QString, heading);
        tarnwick w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (w.settings.is_japanese != japanese)
            w.toggleLanguage();
        w.newProjectButton->click();
        w.document->setCommandAt(0, QStringList{"クリック", "左", "0.01"});
        w.document->setConditionAt(0, QStringList{"時刻", "9", "30"});
        w.refreshPage();
        QWidget *focus = onCondition ? static_cast<QWidget *>(w.clockHourSpin) : w.commandCombo;
        w.activateWindow();
        focus->setFocus();
        QTRY_COMPARE(w.focusWidget(), focus);

        w.manualAction->trigger();
        QVERIFY(w.manualWindow && w.manualWindow->isVisible());
        QVERIFY(w.manualWindow->windowTitle().contains(japanese ? "マニュアル" : "manual"));
        QTextBrowser *view = w.manualWindow->browser();
        QVERIFY(view->source().toLocalFile().endsWith(manualtext::fileName(japanese)));
        QTRY_VERIFY(w.manualWindow->headingAtTop() >= 0);
        QList<QTextBlock> headings;
        for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
            if (b.blockFormat().headingLevel() > 0)
                headings << b;
        }
        const int top = w.manualWindow->headingAtTop();
        QCOMPARE(headings.at(top).text(), heading);
        // Under the conditions' section when the condition had the focus.
        int outer = top;
        while (outer >= 0 && headings.at(outer).blockFormat().headingLevel() >= 3)
            --outer;
        QCOMPARE(headings.at(outer).text() ==
                     (japanese ? QStringLiteral("条件の種類") : QStringLiteral("Conditions")),
                 onCondition);
    }

    // Links clicked as a user clicks them: the browser hands each over
    // resolved against the manual's address. Contents and "see" links go to
    // their heading, the other language's manual and the file format open in
    // the viewer, and the pictures are shown wherever the viewer went.
    void manualLinksAreFollowed_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("href");
        QTest::addColumn<bool>("last"); // the last link to it, else the first
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("heading"); // empty: the top
        QTest::newRow("en contents") << false << "#pages" << false << "manual.md"
                                     << "Pages";
        QTest::newRow("en see also") << false << "#recording" << true << "manual.md"
                                     << "Recording";
        QTest::newRow("en see capturing") << false << "#capturing-positions" << true << "manual.md"
                                          << "Capturing positions";
        QTest::newRow("ja contents") << true << "#ページ" << false << "manual.ja.md"
                                     << "ページ";
        QTest::newRow("ja see also") << true << "#操作の記録" << true << "manual.ja.md"
                                     << "操作の記録";
        QTest::newRow("en to ja") << false << "manual.ja.md" << false << "manual.ja.md"
                                  << "";
        QTest::newRow("ja to en") << true << "manual.md" << false << "manual.md"
                                  << "";
        QTest::newRow("file format") << false << "file-format.md" << false << "file-format.md"
                                     << "";
    }
    void manualLinksAreFollowed() {
        QFETCH(bool, japanese);
        QFETCH(QString, href);
        QFETCH(bool, last);
        QFETCH(QString, file);
        QFETCH(QString, heading);
        ManualWindow manual;
        const QString path = resourcepath::shippedDocument(manualtext::fileName(japanese),
                                                           QCoreApplication::applicationDirPath());
        QVERIFY(manual.open(path, -1));
        manual.show();
        QVERIFY(QTest::qWaitForWindowExposed(&manual));
        QTextBrowser *view = manual.browser();
        QTRY_COMPARE(view->verticalScrollBar()->value(), 0);

        QVERIFY2(clickLink(view, href, last), qPrintable(href));
        QCOMPARE(QFileInfo(view->source().toLocalFile()).fileName(), file);
        if (heading.isEmpty()) {
            QCOMPARE(manual.headingAtTop(), -1);
        } else {
            QTRY_VERIFY(manual.headingAtTop() >= 0);
            QCOMPARE(headingTexts(view).value(manual.headingAtTop()), heading);
        }
        QCOMPARE(missingPictures(view), QStringList());
    }

    void manualThatIsMissingIsSaid() {
        ManualWindow manual;
        QVERIFY(!manual.open(QStringLiteral("/nonexistent/manual.md"), 0));
    }
};

QTEST_MAIN(HelpTest)
#include "gui_help.moc"
