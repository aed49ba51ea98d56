#pragma once

// The records of the pages that look at the screen: the Colour condition,
// the Image condition and the Image Jump command. Element layout:
//   1-3  the window (core/windowmatch.h), used when element 4 is the window
//   4    where to look: areaScreen, areaRectangle (Image pages) or areaWindow
//   Colour: 5 x, 6 y (relative to the window's client area when anchored),
//           7 "#RRGGBB", 8 tolerance 0-255, 9 colourBecomes / colourLeaves
//   Image and Image Jump: 5 x, 6 y, 7 width, 8 height (the rectangle; screen
//           coordinates), 9 similarity threshold in percent, 10 the display
//           scale when the template was made (1 = 100 %), 11 the template as
//           PNG in base64 (empty on a jump: where the last Image condition
//           of the pass found its template)
//   Image Jump: 12 x offset, 13 y offset, 14 seconds to look
// Reading never fails: a missing or unreadable element reads as the value a
// new page has, clamped into its range, so a hand-edited file cannot make a
// run look forever at a nonsensical place. Coordinates and seconds are read
// as every page reads them (core/recordvalues.h); an unreadable colour reads
// as black here, and the run refuses it before it starts.

#include "windowmatch.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace screenpages {

enum class Area { Screen, Rectangle, Window };

QString storedArea(Area area);
Area areaFromStored(const QString &stored); // anything else: the screen

struct Colour {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Colour &o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

// "#RRGGBB" (upper-case hex); parsing also takes lower case and "#RGB" (as
// CSS: "#fff" is "#FFFFFF"), false for anything else.
QString colourText(const Colour &colour);
bool parseColour(const QString &text, Colour &colour);

struct ColourCondition {
    Area area = Area::Screen; // Screen or Window
    windowmatch::Choice window;
    int x = 0;
    int y = 0;
    Colour colour;
    int tolerance = 16;  // 0-255, per channel
    bool becomes = true; // false: wait until it is no longer that colour
};

ColourCondition colourFromRecord(const QStringList &record);
// Writes elements 1 to 9, padding a short record; element 0 is left alone.
void colourToRecord(QStringList &record, const ColourCondition &condition);

struct ImageSearch {
    Area area = Area::Screen;
    windowmatch::Choice window;
    int x = 0; // the rectangle, for Area::Rectangle
    int y = 0;
    int width = 0;
    int height = 0;
    double thresholdPercent = 90.0; // 1-100
    double templateScale = 1.0;     // 0.25-8
    QByteArray png;                 // decoded from base64; empty: none
};

ImageSearch imageFromRecord(const QStringList &record);
void imageToRecord(QStringList &record, const ImageSearch &search);

struct ImageJump {
    ImageSearch search;
    int offsetX = 0;
    int offsetY = 0;
    double seconds = 5.0; // recordvalues::secondsOf: 0 to infinite
};

ImageJump jumpFromRecord(const QStringList &record);
void jumpToRecord(QStringList &record, const ImageJump &jump);

// Decimal text as records keep numbers: "0.5", "90", never "9e+01".
QString numberText(double value);

} // namespace screenpages
