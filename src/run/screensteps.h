#pragma once

// The steps of the pages that look at the screen: the Colour and Image
// conditions and the Image Jump command. They read the screen through the
// backend's ScreenReader and match with tw_vision; where the screen cannot be
// read, or the page's window is missing, the run is stopped with the reason
// (RunContext::fail). A template is decoded once, when the run is compiled.

#include "runsteps.h"

#include <QStringList>

#include <chrono>
#include <memory>

namespace screensteps {

std::unique_ptr<runsteps::Condition> colourCondition(const QStringList &record);
std::unique_ptr<runsteps::Condition> imageCondition(const QStringList &record);
std::unique_ptr<runsteps::Action> imageJump(const QStringList &record);

// Why a whole record of an Image page cannot be played (None for any other
// kind): compile() refuses the project for it.
runsteps::ImageProblem imageProblem(pagekinds::Side side, const QStringList &record);

// A wait looks at the screen again no sooner than this after its last look
// ended, so that a look taking `lookTook` costs at most a sixth of one core
// (a margin under a fifth, should a match spread over threads).
std::chrono::nanoseconds pauseAfter(std::chrono::nanoseconds lookTook);

} // namespace screensteps
