#pragma once

// How the pages that look at the screen look (the Colour and Image
// conditions and the Image Jump command, whose steps are in their kinds'
// folders). They read the screen through the
// backend's ScreenReader and match with tw_vision; where the screen cannot be
// read, or the page's window is missing, the run is stopped with the reason
// (RunContext::fail). A template is decoded once, when the run is compiled,
// and shared by every page that looks for it.

#include "core/screenpages.h"
#include "platform/inputlayer.h"
#include "platform/screenreader.h"
#include "runsteps.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QStringList>

#include <chrono>
#include <memory>

namespace screensteps {

// Until the page's pixel is within the tolerance of its colour, or until it
// is not (as the page asks), or the run is stopped.
void waitForColour(RunContext &run, const screenpages::ColourCondition &page);

// Looks for the template until it is seen, `deadline` passes or the run is
// stopped; true, with its centre in screen coordinates, when it was seen.
// False at once, the run stopped with the reason, where the screen cannot be
// read; false at once for a null template.
bool lookFor(RunContext &run, const screenpages::ImageSearch &search, const QImage &needle,
             RunContext::Clock::time_point deadline, platform::Point &centre);

// What a template may cost. One template at most an 8K screen (7680 × 4320
// pixels) and 16384 pixels a side: a larger one matches on no screen. All
// the different templates of a project together at most 64 million pixels
// (256 MB decoded, at 4 bytes a pixel).
constexpr qint64 kMaxTemplatePixels = 7680LL * 4320;
constexpr int kMaxTemplateSide = 16384;
constexpr qint64 kTemplateBudgetPixels = 64'000'000;

// The template's size from its PNG header, without decoding it: Unreadable
// when it is not a PNG, TooLarge beyond the limits for one template.
runsteps::ImageProblem measureTemplate(const QByteArray &png, QSize &size);
// The template decoded, Format_RGB32; null when it does not decode.
QImage decodeTemplate(const QByteArray &png);

// A wait looks at the screen again no sooner than this after its last look
// ended, so that a look taking `lookTook` costs at most a sixth of one core
// (a margin under a fifth, should a match spread over threads).
std::chrono::nanoseconds pauseAfter(std::chrono::nanoseconds lookTook);

} // namespace screensteps
