// The editor's screen pages (Colour, Image, Image Jump) driven through the
// real window: which fields each area shows, every field writing its
// element, the stored values shown again, a template made from frozen
// screens or loaded from a file, and Ctrl+Alt+G taking a colour.

#include "app/coordinatecapture.h"
#include "app/tarnwick.h"
#include "app/templatesource.h"
#include "capture/displayscale.h"
#include "capture/templatecapture.h"
#include "core/pagekinds.h"
#include "core/screenpages.h"
#include "support/editorfields.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString kColour = pagekinds::name::colour();
const QString kImage = pagekinds::name::image();
const QString kJump = pagekinds::name::imageJump();

// The recording backend with a screen: red is the column, green the row.
class ScreenBackend final : public platform::Backend, public platform::ScreenReader {
public:
    explicit ScreenBackend(testsupport::RecordingInput &input) : input_(input) {
        previous_ = platform::setBackend(this);
    }
    ~ScreenBackend() override { platform::setBackend(previous_); }

    platform::Capabilities capabilities() const override {
        platform::Capabilities c = input_.capabilities();
        c.screenReading = readable;
        return c;
    }
    platform::InputLayer *synthesis() override { return input_.synthesis(); }
    platform::KeyEvents *keyEvents() override { return input_.keyEvents(); }
    platform::GlobalShortcuts *shortcuts() override { return input_.shortcuts(); }
    platform::WindowAccess *windowAccess() override { return input_.windowAccess(); }
    platform::ScreenReader *screenReader() override { return readable ? this : nullptr; }
    std::unique_ptr<platform::InputRecorder> createRecorder() override { return nullptr; }

    bool pixel(int x, int y, platform::Rgb &colour) override {
        if (x < 0 || y < 0 || x >= 1000 || y >= 1000)
            return false;
        colour = {std::uint8_t(x % 256), std::uint8_t(y % 256), 77};
        return true;
    }
    bool region(const platform::Rect &, platform::ScreenImage &) override { return false; }
    // Not marked override: readers that are asked where the screen lies
    // override it, the others have it as a plain member.
    bool bounds(platform::Rect &rect) {
        rect = {0, 0, 1000, 1000};
        return true;
    }

    bool readable = true;

private:
    testsupport::RecordingInput &input_;
    platform::Backend *previous_ = nullptr;
};

testsupport::FakeWindow fakeWindow(std::uint64_t id, const char16_t *title, const char16_t *program,
                                   platform::Rect client) {
    testsupport::FakeWindow w;
    w.info.id = id;
    w.info.title = title;
    w.info.program = program;
    w.info.client = client;
    return w;
}

std::vector<testsupport::FakeWindow> desktop() {
    return {fakeWindow(1, u"メモ帳 - エディター", u"gedit", {500, 100, 300, 200}),
            fakeWindow(2, u"端末", u"XTerm", {0, 400, 800, 300})};
}

QStringList fresh(const QString &kind) {
    const pagekinds::Side side =
        kind == kJump ? pagekinds::Side::Command : pagekinds::Side::Condition;
    return pagekinds::find(side, kind)->fresh(QTime(9, 30));
}

QStringList withElement(QStringList record, int index, const QString &value) {
    record[index] = value;
    return record;
}

// A small picture with every pixel its own, as a template.
QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(20 * x, 30 * y, 200));
    return image;
}

QString base64(const QImage &image) {
    return QString::fromLatin1(templatePng(image).toBase64());
}

QImage decoded(const QString &base64Png) {
    QImage image;
    image.loadFromData(QByteArray::fromBase64(base64Png.toLatin1()), "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class EditorScreenTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::RecordingInput> input;
    std::unique_ptr<ScreenBackend> screen;
    std::unique_ptr<tarnwick> w;

    void openEditor(bool japanese = true) {
        testsupport::writeTestConfig(QJsonObject{
            {"is_used_this", true}, {"is_message_delete", false}, {"is_japanese", japanese}});
        w = std::make_unique<tarnwick>();
        w->show();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->newProjectButton->click();
        QVERIFY(w->editorOpen);
    }

    // The screen pages' fields by name, for the data tables.
    QWidget *field(const QString &name) const { return testsupport::editorField(*w, name); }
    QStringList shown(const QStringList &names) const {
        return testsupport::shownFields(*w, names);
    }
    // Sets a field as the user would: a value, a menu entry, a text.
    void set(const QString &name, const QVariant &value) {
        QWidget *widget = field(name);
        if (auto *spin = qobject_cast<QSpinBox *>(widget))
            spin->setValue(value.toInt());
        else if (auto *spin = qobject_cast<QDoubleSpinBox *>(widget))
            spin->setValue(value.toDouble());
        else if (auto *combo = qobject_cast<QComboBox *>(widget); combo && combo->isEditable())
            combo->setEditText(value.toString());
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            combo->setCurrentIndex(value.toInt());
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            edit->setText(value.toString());
        else
            QFAIL(qPrintable("no way to set " + name));
    }
    // What a field shows.
    QString shownText(const QString &name) const {
        QWidget *widget = field(name);
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(widget))
            return spin->text();
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            return combo->currentText();
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            return edit->text();
        if (auto *label = qobject_cast<QLabel *>(widget))
            return label->text();
        return QString();
    }
    void setPage(const QStringList &command, const QStringList &condition) {
        w->document->setCurrentCommand(command);
        w->document->setCurrentCondition(condition);
        w->refreshPage();
    }
    QStringList command() const { return w->document->currentCommand(); }
    QStringList condition() const { return w->document->currentCondition(); }
    // The page's record on the side of a kind.
    QStringList record(const QString &kind) const {
        return kind == kJump ? command() : condition();
    }
    void setRecord(const QStringList &r) {
        if (r.value(0) == kJump)
            setPage(r, {"即時"});
        else
            setPage({"なし"}, r);
    }

private slots:
    void init() {
        input = std::make_unique<testsupport::RecordingInput>();
        input->setWindows(desktop());
        screen = std::make_unique<ScreenBackend>(*input);
    }
    void cleanup() {
        w.reset();
        screen.reset();
        input.reset();
    }

    // "追加" puts the kind's fresh record on the page.
    void addPutsTheFreshRecord_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("index");
        QTest::newRow("Image Jump") << kJump << 9;
        QTest::newRow("Colour") << kColour << 7;
        QTest::newRow("Image") << kImage << 8;
    }
    void addPutsTheFreshRecord() {
        QFETCH(QString, kind);
        QFETCH(int, index);
        openEditor();
        QComboBox *combo = kind == kJump ? w->commandCombo : w->conditionCombo;
        QCOMPARE(combo->itemData(index).toString(), kind);
        combo->setCurrentIndex(index);
        (kind == kJump ? w->addCommandButton : w->addConditionButton)->click();
        QCOMPARE(record(kind), fresh(kind));
        QVERIFY(w->runButton->isVisible()); // nothing to finish first
    }

    // Each area shows its own fields: the rectangle, or the window.
    void fieldsByArea_data() {
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QStringList>("expected");
        const QStringList jumpFields{"area",        "threshold",  "x",        "y",    "width",
                                     "height",      "fromScreen", "fromFile", "size", "preview",
                                     "lookSeconds", "offsetX",    "offsetY",  "note", "title",
                                     "mode",        "program",    "matches"};
        const QString png = base64(picture(4, 3));
        QTest::newRow("jump on the screen, no template")
            << fresh(kJump) << QStringList{"area",        "threshold", "fromScreen", "fromFile",
                                           "lookSeconds", "offsetX",   "offsetY",    "note"};
        QTest::newRow("jump in a rectangle, template")
            << withElement(withElement(fresh(kJump), 4, "範囲"), 11, png)
            << QStringList{"area",        "threshold",  "x",        "y",    "width",
                           "height",      "fromScreen", "fromFile", "size", "preview",
                           "lookSeconds", "offsetX",    "offsetY"};
        QTest::newRow("jump in a window")
            << withElement(withElement(fresh(kJump), 4, "ウィンドウ"), 11, png)
            << QStringList{"area",    "threshold",   "fromScreen", "fromFile", "size",
                           "preview", "lookSeconds", "offsetX",    "offsetY",  "title",
                           "mode",    "program",     "matches"};
        QTest::newRow("image on the screen")
            << fresh(kImage)
            << QStringList{"cArea", "cThreshold", "cFromScreen", "cFromFile", "cSize", "cPreview"};
        QTest::newRow("image in a rectangle")
            << withElement(fresh(kImage), 4, "範囲")
            << QStringList{"cArea",   "cThreshold",  "cX",        "cY",    "cWidth",
                           "cHeight", "cFromScreen", "cFromFile", "cSize", "cPreview"};
        QTest::newRow("image in a window")
            << withElement(fresh(kImage), 4, "ウィンドウ")
            << QStringList{"cArea",    "cThreshold", "cFromScreen", "cFromFile", "cSize",
                           "cPreview", "cTitle",     "cMode",       "cProgram",  "cMatches"};
        QTest::newRow("colour on the screen")
            << fresh(kColour) << QStringList{"colourArea", "colourX", "colourY",     "colourGet",
                                             "swatch",     "hex",     "colourState", "tolerance"};
        QTest::newRow("colour in a window")
            << withElement(fresh(kColour), 4, "ウィンドウ")
            << QStringList{"colourArea", "colourX", "colourY",     "colourGet",
                           "swatch",     "hex",     "colourState", "tolerance",
                           "cTitle",     "cMode",   "cProgram",    "cMatches"};
        // A rectangle is no place for a colour: it reads as the screen.
        QTest::newRow("colour in a rectangle")
            << withElement(fresh(kColour), 4, "範囲")
            << QStringList{"colourArea", "colourX", "colourY",     "colourGet",
                           "swatch",     "hex",     "colourState", "tolerance"};
    }
    void fieldsByArea() {
        QFETCH(QStringList, record);
        QFETCH(QStringList, expected);
        openEditor();
        setRecord(record);
        QStringList all{"area",        "threshold",  "x",        "y",          "width",
                        "height",      "fromScreen", "fromFile", "size",       "preview",
                        "lookSeconds", "offsetX",    "offsetY",  "note",       "title",
                        "mode",        "program",    "matches",  "cArea",      "cThreshold",
                        "cX",          "cY",         "cWidth",   "cHeight",    "cFromScreen",
                        "cFromFile",   "cSize",      "cPreview", "colourArea", "colourX",
                        "colourY",     "colourGet",  "swatch",   "hex",        "colourState",
                        "tolerance",   "cTitle",     "cMode",    "cProgram",   "cMatches"};
        QStringList got = shown(all);
        got.sort();
        QStringList want = expected;
        want.sort();
        QCOMPARE(got, want);
        // Showing the page wrote nothing.
        QCOMPARE(record.value(0) == kJump ? command() : condition(), record);
    }

    // Every field writes its element through core/screenpages and nothing
    // else of the record.
    void fieldWritesItsElement_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("stored");
        QTest::newRow("jump area") << kJump << "area" << QVariant(1) << 4 << "範囲";
        QTest::newRow("jump threshold") << kJump << "threshold" << QVariant(75) << 9 << "75";
        QTest::newRow("jump x") << kJump << "x" << QVariant(-12) << 5 << "-12";
        QTest::newRow("jump y") << kJump << "y" << QVariant(34) << 6 << "34";
        QTest::newRow("jump width") << kJump << "width" << QVariant(640) << 7 << "640";
        QTest::newRow("jump height") << kJump << "height" << QVariant(480) << 8 << "480";
        QTest::newRow("jump seconds") << kJump << "lookSeconds" << QVariant(2.5) << 14 << "2.5";
        QTest::newRow("jump offset x") << kJump << "offsetX" << QVariant(-7) << 12 << "-7";
        QTest::newRow("jump offset y") << kJump << "offsetY" << QVariant(9) << 13 << "9";
        QTest::newRow("jump window title") << kJump << "title" << QVariant("メモ") << 1 << "メモ";
        QTest::newRow("jump window mode") << kJump << "mode" << QVariant(2) << 2 << "正規表現";
        QTest::newRow("jump window program")
            << kJump << "program" << QVariant("gedit") << 3 << "gedit";
        QTest::newRow("image area") << kImage << "cArea" << QVariant(2) << 4 << "ウィンドウ";
        QTest::newRow("image threshold") << kImage << "cThreshold" << QVariant(100) << 9 << "100";
        QTest::newRow("image x") << kImage << "cX" << QVariant(3) << 5 << "3";
        QTest::newRow("image height") << kImage << "cHeight" << QVariant(20) << 8 << "20";
        QTest::newRow("image window title")
            << kImage << "cTitle" << QVariant("端末") << 1 << "端末";
        QTest::newRow("colour area") << kColour << "colourArea" << QVariant(1) << 4 << "ウィンドウ";
        QTest::newRow("colour x") << kColour << "colourX" << QVariant(-5) << 5 << "-5";
        QTest::newRow("colour y") << kColour << "colourY" << QVariant(1080) << 6 << "1080";
        QTest::newRow("colour hex, lower case")
            << kColour << "hex" << QVariant("#12ab9f") << 7 << "#12AB9F";
        QTest::newRow("colour tolerance") << kColour << "tolerance" << QVariant(255) << 8 << "255";
        QTest::newRow("colour no longer")
            << kColour << "colourState" << QVariant(1) << 9 << "でなくなる";
        QTest::newRow("colour window program")
            << kColour << "cProgram" << QVariant("XTerm") << 3 << "XTerm";
    }
    void fieldWritesItsElement() {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QFETCH(int, index);
        QFETCH(QString, stored);
        openEditor(false);
        // The jump's fields show only for their area; they write whatever it is.
        const QStringList before = fresh(kind);
        setRecord(before);
        set(name, value);
        QCOMPARE(record(kind), withElement(before, index, stored));
    }

    // A colour half typed leaves the page's colour alone; the swatch shows
    // the colour the page has.
    void colourTextTypedInPieces() {
        openEditor();
        setRecord(fresh(kColour));
        for (const char *typed : {"#", "#1", "#12ab", "#12ab9"}) {
            set("hex", typed);
            QCOMPARE(condition().at(7), "#000000");
        }
        QVERIFY(w->colourSwatch->styleSheet().contains("#000000"));
        set("hex", "#12ab9f");
        QCOMPARE(condition().at(7), "#12AB9F");
        QVERIFY(w->colourSwatch->styleSheet().contains("#12AB9F"));
        set("hex", "#12ab9g");
        QCOMPARE(condition().at(7), "#12AB9F");
    }

    // A page's stored values are what its fields show when it comes back,
    // in both languages.
    void storedValuesShown_data() {
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ja");
        QTest::addColumn<QString>("en");
        const QStringList jump{kJump, "メモ", "一致", "gedit", "範囲", "10",
                               "20",  "300",  "200",  "87.5",  "1.5",  base64(picture(7, 5)),
                               "-3",  "4",    "2.5"};
        QTest::newRow("jump area") << jump << "area"
                                   << "範囲"
                                   << "Rectangle";
        QTest::newRow("jump threshold") << jump << "threshold"
                                        << "88 %"
                                        << "88 %";
        QTest::newRow("jump width") << jump << "width"
                                    << "300"
                                    << "300";
        QTest::newRow("jump seconds") << jump << "lookSeconds"
                                      << "2.50"
                                      << "2.50";
        QTest::newRow("jump offset") << jump << "offsetX"
                                     << "-3"
                                     << "-3";
        QTest::newRow("jump size") << jump << "size"
                                   << "7 × 5"
                                   << "7 × 5";
        QTest::newRow("jump mode") << jump << "mode"
                                   << "一致"
                                   << "exact";
        const QStringList image{kImage, "",  "含む", "",   "ウィンドウ", "1",
                                "2",    "3", "4",    "60", "1",          ""};
        QTest::newRow("image area") << image << "cArea"
                                    << "ウィンドウ"
                                    << "Window";
        QTest::newRow("image without template") << image << "cSize"
                                                << "画像なし"
                                                << "No picture";
        const QStringList colour{kColour, "端末", "含む",    "XTerm", "ウィンドウ",
                                 "15",    "-2",   "#a0b1c2", "40",    "でなくなる"};
        QTest::newRow("colour hex") << colour << "hex"
                                    << "#A0B1C2"
                                    << "#A0B1C2";
        QTest::newRow("colour state") << colour << "colourState"
                                      << "でなくなる"
                                      << "is no longer";
        QTest::newRow("colour tolerance") << colour << "tolerance"
                                          << "40"
                                          << "40";
        QTest::newRow("colour y") << colour << "colourY"
                                  << "-2"
                                  << "-2";
        QTest::newRow("colour window") << colour << "cTitle"
                                       << "端末"
                                       << "端末";
        QTest::newRow("colour area") << colour << "colourArea"
                                     << "ウィンドウ"
                                     << "Window";
    }
    void storedValuesShown() {
        QFETCH(QStringList, record);
        QFETCH(QString, name);
        QFETCH(QString, ja);
        QFETCH(QString, en);
        openEditor();
        // Page 1 holds the kind's fresh record, page 2 the stored one.
        setRecord(fresh(record.value(0)));
        w->nextPage();
        setRecord(record);
        w->returnPage();
        w->nextPage();
        QCOMPARE(shownText(name), ja);
        w->toggleLanguage();
        QCOMPARE(shownText(name), en);
        // Back to the fresh page and again: each page shows its own.
        w->returnPage();
        w->nextPage();
        QCOMPARE(shownText(name), en);
        QCOMPARE(this->record(record.value(0)), record);
    }

    // A project's screen pages shown in both languages are not changed by
    // being shown: the project stays unmodified.
    void showingChangesNothing() {
        openEditor();
        const QList<QPair<QStringList, QStringList>> pages = {
            {fresh(kJump), fresh(kColour)},
            {fresh(kJump), fresh(kImage)},
            {withElement(fresh(kJump), 4, "ウィンドウ"),
             withElement(fresh(kColour), 4, "ウィンドウ")},
            {withElement(fresh(kJump), 11, base64(picture(3, 3))),
             withElement(fresh(kImage), 4, "範囲")},
        };
        PageList commands, conditions;
        for (const auto &[command, condition] : pages) {
            commands << command;
            conditions << condition;
        }
        w->document->replaceProject(commands, conditions);
        for (int pass = 0; pass < 2; ++pass) {
            for (int page = 1; page <= pages.size(); ++page) {
                w->document->setCurrentPage(page);
                w->refreshPage();
                QVERIFY2(!w->isProjectDirty(), qPrintable(QString::number(page)));
            }
            w->toggleLanguage();
        }
        QVERIFY(!w->isProjectDirty());
    }

    // ---- templates ----

    // Dragged over a frozen screen: the page gets that screen's pixels and
    // the display's scale; the window comes back. The second screen is at
    // 150 %, its picture larger than its place on the desktop.
    void templateFromTheScreen_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("screenIndex");
        QTest::addColumn<QRect>("physical");
        QTest::newRow("jump, 100 %") << kJump << 0 << QRect(10, 20, 8, 6);
        QTest::newRow("image, 150 %") << kImage << 1 << QRect(15, 30, 12, 9);
    }
    void templateFromTheScreen() {
        QFETCH(QString, kind);
        QFETCH(int, screenIndex);
        QFETCH(QRect, physical);
        openEditor();
        const QStringList before = withElement(fresh(kind), 4, "範囲");
        setRecord(before);
        FrozenScreen first{QRect(0, 0, 200, 100), picture(200, 100)};
        FrozenScreen second{QRect(200, 0, 100, 60), picture(150, 90)};
        w->templates->startTemplateCapture(kind != kJump, {first, second});
        QVERIFY(!w->isVisible());
        QVERIFY(w->templates->templateCapture);
        QPointer<FrozenScreenView> view = w->templates->templateCapture->views().at(screenIndex);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
        QTest::mouseMove(view, QPoint(18, 26));
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(18, 26));

        QVERIFY(w->isVisible());
        const QStringList after = record(kind);
        const QImage source = screenIndex == 0 ? first.image : second.image;
        QCOMPARE(decoded(after.at(11)), source.copy(physical));
        QCOMPARE(after.at(10), screenpages::numberText(displayScale()));
        // Nothing else of the page changed.
        QStringList rest = after;
        rest[10] = before.at(10);
        rest[11] = before.at(11);
        QCOMPARE(rest, before);
        const QString size = QStringLiteral("%1 × %2").arg(physical.width()).arg(physical.height());
        QCOMPARE(shownText(kind == kJump ? "size" : "cSize"), size);
        QVERIFY(!(kind == kJump ? field("preview") : field("cPreview"))
                     ->property("pixmap")
                     .value<QPixmap>()
                     .isNull());
        QTRY_VERIFY_WITH_TIMEOUT(view.isNull(), 5000);
        QVERIFY(!w->templates->templateCapture);
    }

    // Escape (or the right button) gives the window back and changes nothing.
    void templateCaptureCancelled_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Escape") << true;
        QTest::newRow("right button") << false;
    }
    void templateCaptureCancelled() {
        QFETCH(bool, escape);
        openEditor();
        const QStringList before = withElement(fresh(kImage), 11, base64(picture(2, 2)));
        setRecord(before);
        w->document->setSavedPages(w->document->listCommand(), w->document->listCondition());
        w->templates->startTemplateCapture(
            true, {FrozenScreen{QRect(0, 0, 100, 100), picture(100, 100)}});
        FrozenScreenView *view = w->templates->templateCapture->views().at(0);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        QTest::mouseMove(view, QPoint(30, 30));
        if (escape)
            QTest::keyClick(view, Qt::Key_Escape);
        else
            QTest::mousePress(view, Qt::RightButton, Qt::NoModifier, QPoint(30, 30));
        QVERIFY(w->isVisible());
        QVERIFY(!w->templates->templateCapture);
        QCOMPARE(condition(), before);
        QVERIFY(!w->isProjectDirty());
    }

    // The buttons: "From screen" lets the window go before the screen is
    // frozen; "Open PNG" asks for a file, and a dialog cancelled changes
    // nothing.
    void templateButtons() {
        openEditor();
        const QStringList before = fresh(kImage);
        setRecord(before);
        w->conditionImage.fromScreen->click();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->templates->templateCapture); // not before the window is gone
        QTRY_VERIFY_WITH_TIMEOUT(w->templates->templateCapture, 5000);
        const QList<FrozenScreenView *> views = w->templates->templateCapture->views();
        QCOMPARE(views.size(), QGuiApplication::screens().size());
        QVERIFY(QTest::qWaitForWindowExposed(views.first()));
        QTest::keyClick(views.first(), Qt::Key_Escape);
        QVERIFY(w->isVisible());
        QCOMPARE(condition(), before);

        testsupport::ModalAnswerer answerer;
        answerer.act([](QWidget *dialog) { dialog->close(); });
        w->conditionImage.fromFile->click();
        QCOMPARE(condition(), before);
    }

    // A PNG file becomes the template at scale 1 (the file knows no
    // display); anything else is refused, said so, and changes nothing.
    void templateFromAFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("taken");
        QByteArray png;
        {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            picture(5, 4).save(&buffer, "PNG");
        }
        QTest::newRow("jump") << kJump << png << true;
        QTest::newRow("image") << kImage << png << true;
        QTest::newRow("not a picture") << kImage << QByteArray("not a png") << false;
        QTest::newRow("a cut-off PNG") << kJump << png.left(png.size() / 2) << false;
    }
    void templateFromAFile() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QString path = dir.filePath("template.png");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        openEditor();
        // Made on a 150 % display before: the file's picture is at 100 %.
        const QStringList before = withElement(fresh(kind), 10, "1.5");
        setRecord(before);
        testsupport::ModalAnswerer answerer;
        QCOMPARE(w->templates->loadTemplateFile(kind != kJump, path), taken);
        QCOMPARE(answerer.count(), taken ? 0 : 1);
        const QStringList after = record(kind);
        if (!taken) {
            QCOMPARE(after, before);
            return;
        }
        QCOMPARE(decoded(after.at(11)), picture(5, 4));
        QCOMPARE(after.at(10), "1");
        QCOMPARE(shownText(kind == kJump ? "size" : "cSize"), "5 × 4");
        if (kind == kJump)
            QVERIFY(!w->jumpNoteLabel->isVisible());
    }

    // ---- Ctrl+Alt+G on a Colour page ----

    // The Get button arms Ctrl+Alt+G; the key fills in the position and the
    // colour under the pointer (in the window under it for a window page).
    void colourAtThePointer_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("readable");
        QTest::newRow("screen") << fresh(kColour) << QPoint(300, 40)
                                << QStringList{kColour, "",   "含む",    "",   "画面",
                                               "300",   "40", "#2C284D", "16", "になる"}
                                << "" << true;
        QTest::newRow("window") << QStringList{kColour, "x", "正規表現", "y", "ウィンドウ",
                                               "1",     "2", "#FFFFFF",  "5", "でなくなる"}
                                << QPoint(530, 140)
                                << QStringList{kColour,      "メモ帳 - エディター",
                                               "含む",       "gedit",
                                               "ウィンドウ", "30",
                                               "40",         "#128C4D",
                                               "5",          "でなくなる"}
                                << "" << true;
        const QStringList windowPage{kColour, "x", "正規表現", "y", "ウィンドウ",
                                     "1",     "2", "#FFFFFF",  "5", "でなくなる"};
        QTest::newRow("no window under the pointer")
            << windowPage << QPoint(450, 50) << windowPage << "ウィンドウがありません" << true;
        QTest::newRow("off the screen")
            << fresh(kColour) << QPoint(-5, 40) << fresh(kColour) << "画面を読み取れません" << true;
        QTest::newRow("no screen reading") << fresh(kColour) << QPoint(10, 10) << fresh(kColour)
                                           << "画面を読み取れません" << false;
    }

    void colourAtThePointer() {
        QFETCH(QStringList, before);
        QFETCH(QPoint, pointer);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        QFETCH(bool, readable);
        screen->readable = readable;
        openEditor();
        setPage({"マウスポインター", "7", "8"}, before);
        w->colourGetButton->click();
        QVERIFY(w->capture->hotkeyRegistered);
        QVERIFY(!w->isVisible());
        input->setCursorPos(pointer.x(), pointer.y());
        testsupport::ModalAnswerer answerer;
        QVERIFY(input->fireShortcut(w->capture->hotkeyId));
        QTRY_VERIFY_WITH_TIMEOUT(w->isVisible(), 5000);
        QCOMPARE(condition(), after);
        // The command's own position is not the colour's.
        QCOMPARE(command(), (QStringList{"マウスポインター", "7", "8"}));
        QCOMPARE(answerer.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(answerer.last().title, message);
        QVERIFY(!w->capture->hotkeyRegistered);

        // The next Get of the command takes the command's position again.
        w->coordGetButton->click();
        input->setCursorPos(5, 6);
        QVERIFY(input->fireShortcut(w->capture->hotkeyId));
        QTRY_COMPARE_WITH_TIMEOUT(command(), (QStringList{"マウスポインター", "5", "6"}), 5000);
        QCOMPARE(condition(), after);
    }
};

QTEST_MAIN(EditorScreenTest)
#include "gui_editorscreen.moc"
