#include "screenpages.h"

#include "pagekinds.h"
#include "recordvalues.h"

#include <QRegularExpression>
#include <QtGlobal>

#include <cmath>

namespace screenpages {
namespace {

void pad(QStringList &record, int size) {
    while (record.size() < size)
        record.append(QString());
}

int intAt(const QStringList &record, int index, int fallback, int low, int high) {
    bool ok = false;
    const int value = record.value(index).trimmed().toInt(&ok);
    return ok ? qBound(low, value, high) : fallback;
}

// Read as the run reads every coordinate, then kept within the range.
int coordinateAt(const QStringList &record, int index, int low, int high) {
    return qBound(low, recordvalues::coordinateOf(record.value(index)), high);
}

double doubleAt(const QStringList &record, int index, double fallback, double low, double high) {
    bool ok = false;
    const double value = record.value(index).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? qBound(low, value, high) : fallback;
}

// Positions stay well inside int, whatever a file says.
constexpr int coordinateLimit = 1 << 20;

void searchFromRecord(const QStringList &record, ImageSearch &search) {
    search.area = areaFromStored(record.value(4));
    search.window = windowmatch::fromRecord(record);
    search.x = coordinateAt(record, 5, -coordinateLimit, coordinateLimit);
    search.y = coordinateAt(record, 6, -coordinateLimit, coordinateLimit);
    search.width = coordinateAt(record, 7, 0, coordinateLimit);
    search.height = coordinateAt(record, 8, 0, coordinateLimit);
    search.thresholdPercent = doubleAt(record, 9, 90.0, 1.0, 100.0);
    search.templateScale = doubleAt(record, 10, 1.0, 0.25, 8.0);
    search.png = QByteArray::fromBase64(record.value(11).toLatin1());
}

void searchToRecord(QStringList &record, const ImageSearch &search) {
    pad(record, 12);
    windowmatch::toRecord(record, search.window);
    record[4] = storedArea(search.area);
    record[5] = QString::number(search.x);
    record[6] = QString::number(search.y);
    record[7] = QString::number(search.width);
    record[8] = QString::number(search.height);
    record[9] = numberText(search.thresholdPercent);
    record[10] = numberText(search.templateScale);
    record[11] = QString::fromLatin1(search.png.toBase64());
}

} // namespace

QString storedArea(Area area) {
    switch (area) {
    case Area::Rectangle:
        return pagekinds::areaRectangle;
    case Area::Window:
        return pagekinds::areaWindow;
    default:
        return pagekinds::areaScreen;
    }
}

Area areaFromStored(const QString &stored) {
    if (stored == pagekinds::areaRectangle)
        return Area::Rectangle;
    if (stored == pagekinds::areaWindow)
        return Area::Window;
    return Area::Screen;
}

QString colourText(const Colour &colour) {
    return QStringLiteral("#%1%2%3")
        .arg(colour.red, 2, 16, QLatin1Char('0'))
        .arg(colour.green, 2, 16, QLatin1Char('0'))
        .arg(colour.blue, 2, 16, QLatin1Char('0'))
        .toUpper();
}

bool parseColour(const QString &text, Colour &colour) {
    QString t = text.trimmed();
    if ((t.size() != 7 && t.size() != 4) || t.at(0) != QLatin1Char('#'))
        return false;
    // toUInt would accept a sign or "0x": plain hex digits only (isDigit
    // would take other scripts' digits too).
    for (int i = 1; i < t.size(); ++i) {
        const QChar c = t.at(i).toLower();
        if ((c < QLatin1Char('0') || c > QLatin1Char('9')) &&
            (c < QLatin1Char('a') || c > QLatin1Char('f')))
            return false;
    }
    if (t.size() == 4) // "#RGB" as CSS reads it: each digit twice
        t = QStringLiteral("#%1%1%2%2%3%3").arg(t.at(1)).arg(t.at(2)).arg(t.at(3));
    const uint value = t.mid(1).toUInt(nullptr, 16);
    colour = {int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff)};
    return true;
}

ColourCondition colourFromRecord(const QStringList &record) {
    ColourCondition c;
    c.area = areaFromStored(record.value(4)) == Area::Window ? Area::Window : Area::Screen;
    c.window = windowmatch::fromRecord(record);
    c.x = coordinateAt(record, 5, -coordinateLimit, coordinateLimit);
    c.y = coordinateAt(record, 6, -coordinateLimit, coordinateLimit);
    Colour parsed;
    if (parseColour(record.value(7), parsed))
        c.colour = parsed;
    c.tolerance = intAt(record, 8, 16, 0, 255);
    c.becomes = record.value(9) != pagekinds::colourLeaves;
    return c;
}

void colourToRecord(QStringList &record, const ColourCondition &condition) {
    pad(record, 10);
    windowmatch::toRecord(record, condition.window);
    record[4] = storedArea(condition.area == Area::Window ? Area::Window : Area::Screen);
    record[5] = QString::number(condition.x);
    record[6] = QString::number(condition.y);
    record[7] = colourText(condition.colour);
    record[8] = QString::number(qBound(0, condition.tolerance, 255));
    record[9] = condition.becomes ? pagekinds::colourBecomes : pagekinds::colourLeaves;
}

ImageSearch imageFromRecord(const QStringList &record) {
    ImageSearch search;
    searchFromRecord(record, search);
    return search;
}

void imageToRecord(QStringList &record, const ImageSearch &search) {
    searchToRecord(record, search);
}

ImageJump jumpFromRecord(const QStringList &record) {
    ImageJump jump;
    searchFromRecord(record, jump.search);
    jump.offsetX = coordinateAt(record, 12, -coordinateLimit, coordinateLimit);
    jump.offsetY = coordinateAt(record, 13, -coordinateLimit, coordinateLimit);
    jump.seconds = recordvalues::secondsOf(record.value(14));
    return jump;
}

void jumpToRecord(QStringList &record, const ImageJump &jump) {
    pad(record, 15);
    searchToRecord(record, jump.search);
    record[12] = QString::number(jump.offsetX);
    record[13] = QString::number(jump.offsetY);
    record[14] = numberText(jump.seconds);
}

QString numberText(double value) {
    return QString::number(value, 'f', 6).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

} // namespace screenpages
