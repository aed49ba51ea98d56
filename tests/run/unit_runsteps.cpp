// Making a project's pages into run steps: every kind the program lists has
// its step, and a page of a kind this version does not know, too short for
// its kind, or an Image page without a picture it can look for, is refused
// with the page, the list and the kind named.

#include "run/runsteps.h"
#include "run/screensteps.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using pagekinds::RecordProblem;
using pagekinds::Side;
using Pages = QList<QStringList>;

Q_DECLARE_METATYPE(pagekinds::Side)
Q_DECLARE_METATYPE(pagekinds::RecordProblem)
Q_DECLARE_METATYPE(runsteps::ImageProblem)

namespace {

const QStringList kNone{QStringLiteral("なし")};
const QStringList kNow{QStringLiteral("即時")};

QString pngBase64() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.setPixelColor(1, 1, Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// A one-bit picture of any size (small as a PNG, however large decoded);
// `mark` sets one pixel, so that pictures of one size can differ.
QString largePngBase64(int width, int height, int mark = 0) {
    QImage image(width, height, QImage::Format_Mono);
    image.fill(0);
    image.setPixel(mark % width, 0, 1);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// An Image condition or Image Jump looking at the whole screen for `image`.
QStringList imagePage(const QString &kind, const QString &image) {
    QStringList record{kind, "", "含む", "", "画面", "0", "0", "0", "0", "90", "1", image};
    if (kind == QStringLiteral("画像ジャンプ"))
        record << "0"
               << "0"
               << "5";
    return record;
}

} // namespace

class RunStepsTest : public QObject {
    Q_OBJECT

private slots:
    void everyKindHasItsStep_data() {
        QTest::addColumn<Side>("side");
        QTest::addColumn<QStringList>("record");
        const QTime now(12, 34);
        for (const pagekinds::Kind &kind : pagekinds::commands())
            QTest::newRow(qPrintable(QStringLiteral("command ") + kind.english))
                << Side::Command << kind.fresh(now);
        for (const pagekinds::Kind &kind : pagekinds::conditions()) {
            QStringList record = kind.fresh(now);
            // A new Image condition has no picture yet; the editor gives it one.
            if (kind.stored == pagekinds::name::image() ||
                kind.stored == pagekinds::name::imageBranch())
                record[11] = pngBase64();
            QTest::newRow(qPrintable(QStringLiteral("condition ") + kind.english))
                << Side::Condition << record;
        }
    }
    void everyKindHasItsStep() {
        QFETCH(Side, side);
        QFETCH(QStringList, record);
        const bool command = side == Side::Command;
        QVERIFY(command ? runsteps::actionFor(record.first()) != nullptr
                        : runsteps::conditionFor(record.first()) != nullptr);
        // The record "追加" puts on a page runs, as the second of two pages.
        const Pages commands{kNone, command ? record : kNone};
        const Pages conditions{kNow, command ? kNow : record};
        const runsteps::Compiled compiled = runsteps::compile(commands, conditions);
        QVERIFY2(!compiled.refusal.refused(),
                 qPrintable(runsteps::refusalText(compiled.refusal, false)));
        QCOMPARE(int(compiled.steps.size()), 2);
        for (const runsteps::Step &step : compiled.steps)
            QVERIFY(step.action && step.condition);
    }

    void refused_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::addColumn<int>("page");
        QTest::addColumn<Side>("side");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<RecordProblem>("problem");
        const QStringList click{"クリック", "左", "0.1"};
        QTest::newRow("unknown command")
            << Pages{click, {"ジャンプ", "1"}} << Pages{kNow, kNow} << 2 << Side::Command
            << "ジャンプ" << RecordProblem::UnknownKind;
        // Known as a command, not as a condition.
        QTest::newRow("command kind as condition")
            << Pages{click} << Pages{{"入力", "x", "1"}} << 1 << Side::Condition << "入力"
            << RecordProblem::UnknownKind;
        QTest::newRow("unknown condition")
            << Pages{click, click, click} << Pages{kNow, kNow, {"いつか", "5"}} << 3
            << Side::Condition << "いつか" << RecordProblem::UnknownKind;
        QTest::newRow("short click") << Pages{{"クリック", "左"}} << Pages{kNow} << 1
                                     << Side::Command << "クリック" << RecordProblem::TooShort;
        QTest::newRow("short smooth move")
            << Pages{{"スムーズムーブ", "1", "2"}} << Pages{kNow} << 1 << Side::Command
            << "スムーズムーブ" << RecordProblem::TooShort;
        // Each once played with its missing values read as 0 or empty text.
        QTest::newRow("short key") << Pages{{"キー"}} << Pages{kNow} << 1 << Side::Command << "キー"
                                   << RecordProblem::TooShort;
        QTest::newRow("short pointer")
            << Pages{{"マウスポインター"}} << Pages{kNow} << 1 << Side::Command
            << "マウスポインター" << RecordProblem::TooShort;
        QTest::newRow("short text") << Pages{{"入力"}} << Pages{kNow} << 1 << Side::Command
                                    << "入力" << RecordProblem::TooShort;
        QTest::newRow("short key condition")
            << Pages{click} << Pages{{"キー"}} << 1 << Side::Condition << "キー"
            << RecordProblem::TooShort;
        QTest::newRow("short wait until over")
            << Pages{click} << Pages{{"終わるまで待つ"}} << 1 << Side::Condition << "終わるまで待つ"
            << RecordProblem::TooShort;
        QTest::newRow("short clock time") << Pages{click} << Pages{{"時刻", "12"}} << 1
                                          << Side::Condition << "時刻" << RecordProblem::TooShort;
        QTest::newRow("short window")
            << Pages{{"ウィンドウ切替", "メモ", "含む", ""}} << Pages{kNow} << 1 << Side::Command
            << "ウィンドウ切替" << RecordProblem::TooShort;
        QTest::newRow("window pointer without Y")
            << Pages{{"ウィンドウ座標", "メモ", "含む", "", "5"}} << Pages{kNow} << 1
            << Side::Command << "ウィンドウ座標" << RecordProblem::TooShort;
        QTest::newRow("short window condition")
            << Pages{click} << Pages{{"ウィンドウ", "メモ", "含む", ""}} << 1 << Side::Condition
            << "ウィンドウ" << RecordProblem::TooShort;
        QTest::newRow("window condition as command")
            << Pages{{"ウィンドウ", "メモ", "含む", "", "ある"}} << Pages{kNow} << 1
            << Side::Command << "ウィンドウ" << RecordProblem::UnknownKind;
        QTest::newRow("empty command")
            << Pages{{}} << Pages{kNow} << 1 << Side::Command << "" << RecordProblem::Empty;
        QTest::newRow("empty condition")
            << Pages{click} << Pages{{}} << 1 << Side::Condition << "" << RecordProblem::Empty;
        // The first page that cannot be played is the one named.
        QTest::newRow("first of two") << Pages{{"?"}, {"!"}} << Pages{kNow, kNow} << 1
                                      << Side::Command << "?" << RecordProblem::UnknownKind;
    }
    void refused() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        QFETCH(int, page);
        QFETCH(Side, side);
        QFETCH(QString, kind);
        QFETCH(RecordProblem, problem);
        const runsteps::Compiled compiled = runsteps::compile(commands, conditions);
        QVERIFY(compiled.refusal.refused());
        QVERIFY(compiled.steps.empty());
        QCOMPARE(compiled.refusal.page, page);
        QCOMPARE(compiled.refusal.side, side);
        QCOMPARE(compiled.refusal.kind, kind);
        QCOMPARE(compiled.refusal.problem, problem);
    }

    // A picture that cannot be looked for refuses the project before the
    // run; a jump without one goes where the pass found one, and runs.
    void refusedForItsImage_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::addColumn<int>("page");
        QTest::addColumn<Side>("side");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<runsteps::ImageProblem>("problem");
        QTest::addColumn<QString>("english");
        using runsteps::ImageProblem;
        const QString png = pngBase64();
        const QString notPng = QString::fromLatin1(QByteArray("GIF89a, or so").toBase64());
        const QStringList click{"クリック", "左", "0.1"};
        QTest::newRow("image condition without a picture")
            << Pages{click, click} << Pages{kNow, imagePage("画像", "")} << 2 << Side::Condition
            << "画像" << ImageProblem::Missing
            << "page 2: the condition \"画像\" has no image to look for; the run was not started";
        QTest::newRow("image condition, not a picture")
            << Pages{click} << Pages{imagePage("画像", notPng)} << 1 << Side::Condition << "画像"
            << ImageProblem::Unreadable
            << "page 1: the image of the condition \"画像\" cannot be read; the run was not "
               "started";
        QTest::newRow("jump, not a picture")
            << Pages{imagePage("画像ジャンプ", png), imagePage("画像ジャンプ", notPng)}
            << Pages{kNow, kNow} << 2 << Side::Command << "画像ジャンプ" << ImageProblem::Unreadable
            << "page 2: the image of the command \"画像ジャンプ\" cannot be read; the run was "
               "not started";
        // The command is looked at before the condition of its page.
        QTest::newRow("both on one page")
            << Pages{imagePage("画像ジャンプ", notPng)} << Pages{imagePage("画像", "")} << 1
            << Side::Command << "画像ジャンプ" << ImageProblem::Unreadable
            << "page 1: the image of the command \"画像ジャンプ\" cannot be read; the run was "
               "not started";
        // A PNG whose header reads but whose pixels are cut off: named by
        // the first page that has it.
        QByteArray cut = QByteArray::fromBase64(largePngBase64(300, 200, 7).toLatin1());
        cut.chop(cut.size() / 2);
        const QString cutPng = QString::fromLatin1(cut.toBase64());
        QTest::newRow("pixels cut off")
            << Pages{click, imagePage("画像ジャンプ", cutPng), imagePage("画像ジャンプ", cutPng)}
            << Pages{kNow, kNow, kNow} << 2 << Side::Command << "画像ジャンプ"
            << ImageProblem::Unreadable
            << "page 2: the image of the command \"画像ジャンプ\" cannot be read; the run was "
               "not started";
        // Larger than any screen: refused from its header, with the limit.
        QTest::newRow("8000 by 8000")
            << Pages{click} << Pages{imagePage("画像", largePngBase64(8000, 8000))} << 1
            << Side::Condition << "画像" << ImageProblem::TooLarge
            << "page 1: the image of the condition \"画像\" is too large (8000 × 8000 pixels; an "
               "image may have at most 33,177,600 pixels, 16,384 a side); the run was not started";
        QTest::newRow("too wide")
            << Pages{imagePage("画像ジャンプ", largePngBase64(20000, 1))} << Pages{kNow} << 1
            << Side::Command << "画像ジャンプ" << ImageProblem::TooLarge
            << "page 1: the image of the command \"画像ジャンプ\" is too large (20000 × 1 "
               "pixels; an image may have at most 33,177,600 pixels, 16,384 a side); the run was "
               "not started";
        // Each within the limit, together beyond the budget: the page
        // whose picture crosses it is named.
        QTest::newRow("together beyond the budget")
            << Pages{click, click, click, click}
            << Pages{imagePage("画像", largePngBase64(5000, 5000, 1)), kNow,
                     imagePage("画像", largePngBase64(5000, 5000, 2)),
                     imagePage("画像", largePngBase64(5000, 5000, 3))}
            << 4 << Side::Condition << "画像" << ImageProblem::OverBudget
            << "page 4: with the image of the condition \"画像\", the project's images together "
               "have more than 64,000,000 pixels; the run was not started";
    }
    void refusedForItsImage() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        QFETCH(int, page);
        QFETCH(Side, side);
        QFETCH(QString, kind);
        QFETCH(runsteps::ImageProblem, problem);
        QFETCH(QString, english);
        const runsteps::Compiled compiled = runsteps::compile(commands, conditions);
        QVERIFY(compiled.refusal.refused());
        QVERIFY(compiled.steps.empty());
        QCOMPARE(compiled.refusal.page, page);
        QCOMPARE(compiled.refusal.side, side);
        QCOMPARE(compiled.refusal.kind, kind);
        QCOMPARE(compiled.refusal.image, problem);
        QCOMPARE(runsteps::refusalText(compiled.refusal, false), english);
        QVERIFY(runsteps::refusalText(compiled.refusal, true).contains(QStringLiteral("ページ目")));
    }

    void imagePagesThatRun_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        const QString png = pngBase64();
        QTest::newRow("jumps and a condition")
            << Pages{imagePage("画像ジャンプ", ""), imagePage("画像ジャンプ", png)}
            << Pages{imagePage("画像", png), kNow};
        // One picture on many pages is decoded and counted once: three
        // times its pixels would be beyond the budget.
        const QString large = largePngBase64(5000, 5000);
        QTest::newRow("one large picture on three pages")
            << Pages{imagePage("画像ジャンプ", large), imagePage("画像ジャンプ", large), kNone}
            << Pages{kNow, kNow, imagePage("画像", large)};
    }
    void imagePagesThatRun() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        const runsteps::Compiled compiled = runsteps::compile(commands, conditions);
        QVERIFY2(!compiled.refusal.refused(),
                 qPrintable(runsteps::refusalText(compiled.refusal, false)));
        QCOMPARE(int(compiled.steps.size()), int(commands.size()));
    }

    // A colour the condition cannot read would wait for black: the project
    // is refused instead, naming the page and the colour. "#RGB" reads as
    // CSS reads it.
    void colours_data() {
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("english");
        QTest::newRow("six digits") << "#C81E28"
                                    << "";
        QTest::newRow("three digits") << "#fff"
                                      << "";
        QTest::newRow("name")
            << "red"
            << "page 2: the colour \"red\" of the condition \"色\" cannot be read "
               "(write #RRGGBB or #RGB); the run was not started";
        QTest::newRow("not hex") << "#GGGGGG"
                                 << "page 2: the colour \"#GGGGGG\" of the condition \"色\" cannot "
                                    "be read (write #RRGGBB or #RGB); the run was not started";
        QTest::newRow("empty") << ""
                               << "page 2: the colour \"\" of the condition \"色\" cannot be read "
                                  "(write #RRGGBB or #RGB); the run was not started";
    }
    void colours() {
        QFETCH(QString, colour);
        QFETCH(QString, english);
        const QStringList condition{"色", "", "含む", "", "画面", "1", "2", colour, "16", "になる"};
        const runsteps::Compiled compiled =
            runsteps::compile({kNone, kNone, kNone}, {kNow, condition, kNow});
        QCOMPARE(compiled.refusal.refused(), !english.isEmpty());
        if (compiled.refusal.refused())
            QCOMPARE(runsteps::refusalText(compiled.refusal, false), english);
        QCOMPARE(int(compiled.steps.size()), english.isEmpty() ? 3 : 0);
        if (compiled.refusal.refused()) {
            QCOMPARE(compiled.refusal.page, 2);
            QCOMPARE(runsteps::refusalText(compiled.refusal, true),
                     "2ページ目の条件「色」の色「" + colour +
                         "」を読めません（#RRGGBB か #RGB で書きます）。\n"
                         "実行は開始されませんでした。");
        }
    }

    // A look that takes long is followed by a pause five times as long, so
    // the waits cost at most a sixth of a core; quick looks still wait 50 ms.
    void pauseBetweenLooks_data() {
        QTest::addColumn<int>("lookMs");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("instant") << 0 << 50;
        QTest::newRow("quick") << 5 << 50;
        QTest::newRow("at the edge") << 10 << 50;
        QTest::newRow("slow") << 40 << 200;
        QTest::newRow("very slow") << 500 << 2500;
    }
    void pauseBetweenLooks() {
        QFETCH(int, lookMs);
        QFETCH(int, pauseMs);
        const auto look = std::chrono::milliseconds(lookMs);
        const auto pause = screensteps::pauseAfter(look);
        QCOMPARE(std::chrono::duration_cast<std::chrono::milliseconds>(pause).count(),
                 qint64(pauseMs));
        QVERIFY(look * 6 <= look + pause);
    }

    void missingConditionsGoOnAtOnce() {
        // Fewer conditions than commands: the pages without one do not wait.
        const runsteps::Compiled compiled =
            runsteps::compile({{"マウスポインター", "1", "2"}, {"なし"}}, {});
        QVERIFY(!compiled.refusal.refused());
        QCOMPARE(int(compiled.steps.size()), 2);
    }

    void refusalNamesPageListAndKind_data() {
        QTest::addColumn<RecordProblem>("problem");
        QTest::addColumn<Side>("side");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown, ja")
            << RecordProblem::UnknownKind << Side::Command << true
            << "3ページ目の操作「ジャンプ」はこのバージョンでは実行できません。\n"
               "実行は開始されませんでした。";
        QTest::newRow("short, ja") << RecordProblem::TooShort << Side::Condition << true
                                   << "3ページ目の条件「ジャンプ」は値が足りません。\n"
                                      "実行は開始されませんでした。";
        QTest::newRow("unknown, en")
            << RecordProblem::UnknownKind << Side::Condition << false
            << "page 3: the condition \"ジャンプ\" is not known to this version; the run was not "
               "started";
        QTest::newRow("empty, en") << RecordProblem::Empty << Side::Command << false
                                   << "page 3: the command is empty; the run was not started";
    }
    void refusalNamesPageListAndKind() {
        QFETCH(RecordProblem, problem);
        QFETCH(Side, side);
        QFETCH(bool, japanese);
        QFETCH(QString, text);
        runsteps::Refusal refusal;
        refusal.page = 3;
        refusal.side = side;
        refusal.kind = QStringLiteral("ジャンプ");
        refusal.problem = problem;
        QCOMPARE(runsteps::refusalText(refusal, japanese), text);
        // One line on the command line.
        if (!japanese)
            QVERIFY(!text.contains(QLatin1Char('\n')));
    }
};

QTEST_GUILESS_MAIN(RunStepsTest)
#include "unit_runsteps.moc"
