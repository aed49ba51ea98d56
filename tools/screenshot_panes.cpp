// Photographs every kind's pane of the editor and the run settings in the
// interface language the configuration names, for the manual
// (scripts/screenshots.sh runs it once per language). Pictures are named
// <side>-<english kind name>-<lang>.png, as the manual links them.
//
// Usage: screenshot_panes OUTPUT_DIR ja|en

#include "app/tarnwick.h"
#include "capture/templatecapture.h"
#include "core/pagekinds.h"
#include "run/rundialog.h"
#include "support/recordinginput.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <cstdio>

namespace {

QString pictureName(const QString &side, const QString &english, const QString &lang) {
    return QStringLiteral("%1-%2-%3.png")
        .arg(side, english.toLower().replace(QLatin1Char(' '), QLatin1Char('-')), lang);
}

// A small template as a user would take one: an "OK" button.
QString buttonTemplate() {
    QImage image(48, 28, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 110, 210));
    painter.setPen(QColor(20, 70, 150));
    painter.drawRoundedRect(QRectF(2.5, 2.5, 43, 23), 5, 5);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("OK"));
    painter.end();
    return QString::fromLatin1(templatePng(image).toBase64());
}

// A record that shows the pane filled in, as a user would have it.
QStringList example(const pagekinds::Kind &kind) {
    QStringList record = kind.fresh(QTime(9, 30));
    // The kinds that jump name the page "start" (page 1, named below).
    const pageflow::Shape flow = kind.flow;
    if (flow.target >= 0)
        record[flow.target] = QStringLiteral("start");
    if (flow.count >= 0)
        record[flow.count] = QStringLiteral("3");
    if (flow.elseTarget >= 0)
        record[flow.elseTarget] = QStringLiteral("start");
    if (flow.callPath >= 0)
        record[flow.callPath] = QStringLiteral("parts/login.cmdat");
    if (!kind.base.isEmpty()) {
        // Shown as the kind it adds a time limit to would be.
        const pagekinds::Kind *base = pagekinds::find(kind.side, kind.base);
        const QStringList shown = example(*base);
        for (int i = 1; i < shown.size() && i < record.size(); ++i)
            record[i] = shown.at(i);
        return record;
    }
    if (kind.stored == pagekinds::name::imageJump() || kind.stored == pagekinds::name::image()) {
        // A rectangle of the screen and the template looked for in it.
        record[4] = pagekinds::areaRectangle;
        record[5] = QStringLiteral("0");
        record[6] = QStringLiteral("0");
        record[7] = QStringLiteral("1280");
        record[8] = QStringLiteral("720");
        record[11] = buttonTemplate();
        return record;
    }
    if (kind.stored == pagekinds::name::colour()) {
        record[5] = QStringLiteral("640");
        record[6] = QStringLiteral("360");
        record[7] = QStringLiteral("#3A7BD5");
        return record;
    }
    if (kind.stored == pagekinds::name::key())
        record[1] =
            kind.side == pagekinds::Side::Command ? QStringLiteral("67,2") : QStringLiteral("13,0");
    else if (kind.stored == pagekinds::name::enterText())
        record[1] = QStringLiteral("こんにちは、Tarnwick!");
    else if (kind.stored.startsWith(QStringLiteral("ウィンドウ")) && record.size() > 3) {
        record[1] = QStringLiteral("Untitled - Notepad");
        record[3] = QStringLiteral("notepad.exe");
    } else if (kind.stored == pagekinds::name::mousePointer() ||
               kind.stored == pagekinds::name::smoothMove()) {
        record[1] = QStringLiteral("640");
        record[2] = QStringLiteral("360");
    }
    return record;
}

bool save(const QPixmap &picture, const QString &path) {
    if (!picture.save(path)) {
        std::fprintf(stderr, "error: could not write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    // The program's own settings (language, no welcome), as the script wrote them.
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: screenshot_panes OUTPUT_DIR ja|en\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString lang = QString::fromLatin1(argv[2]);
    QDir().mkpath(out.path());
    // Nothing is played: the editor only has to show its panes.
    testsupport::RecordingInput input;

    tarnwick window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    if (window.settings.is_japanese != (lang == QLatin1String("ja")))
        window.toggleLanguage();
    window.newProjectButton->click();
    window.document->setNames({QStringLiteral("start")});

    bool ok = true;
    for (const pagekinds::Kind &kind : pagekinds::commands()) {
        window.document->setCurrentCommand(example(kind));
        window.refreshPage();
        QTest::qWait(50);
        ok &= save(window.grab(window.operationGroup->geometry().adjusted(-4, -4, 4, 4)),
                   out.filePath(pictureName(QStringLiteral("command"), kind.english, lang)));
    }
    for (const pagekinds::Kind &kind : pagekinds::conditions()) {
        window.document->setCurrentCondition(example(kind));
        window.refreshPage();
        QTest::qWait(50);
        ok &= save(window.grab(window.conditionGroup->geometry().adjusted(-4, -4, 4, 4)),
                   out.filePath(pictureName(QStringLiteral("condition"), kind.english, lang)));
    }

    RunDialog dialog(runSettingsOf(window.settings), true, window.settings.is_japanese, &window);
    dialog.show();
    if (QTest::qWaitForWindowExposed(&dialog)) {
        QTest::qWait(50);
        ok &= save(dialog.grab(), out.filePath(QStringLiteral("run-settings-%1.png").arg(lang)));
    } else {
        ok = false;
    }
    return ok ? 0 : 1;
}
