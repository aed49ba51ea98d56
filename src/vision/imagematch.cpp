#include "imagematch.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace vision {
namespace {

// A template whose channels all vary less than this is one colour: screen
// captures of a flat area carry a little noise, on which correlation would
// be all there is to compare.
constexpr double kFlatStdDev = 2.0;
// The reduced search keeps templates at least this many pixels a side and
// divides by at most kMaxReduction; below a factor of 2 it is not worth it.
constexpr int kCoarseTemplateSide = 12;
constexpr int kMaxReduction = 4;
// Fewer places than this are searched at full resolution straight away.
constexpr long long kCoarsePlaces = 16384;
// Candidates of the reduced search refined at full resolution: the right
// one need not be the best of the blurred picture when near-duplicates are
// on the screen.
constexpr int kCandidates = 6;

cv::Mat wrap(const ImageView &view) {
    return cv::Mat(view.height, view.width, CV_8UC4, const_cast<std::uint8_t *>(view.bytes),
                   static_cast<size_t>(view.stride));
}

bool usable(const ImageView &view) {
    return view.bytes && view.width > 0 && view.height > 0 && view.stride >= view.width * 4;
}

// How a search compares. Correlation for templates with texture; for a
// single colour, where correlation is undefined, the squared difference,
// taken absolute: its normalised form is relative to the colours' own
// brightness (black against dark grey would still be 97 % alike) and
// undefined against black.
struct Comparison {
    bool flat = false;
};

cv::Mat prepared(const cv::Mat &bgrx) {
    cv::Mat bgr;
    cv::cvtColor(bgrx, bgr, cv::COLOR_BGRA2BGR);
    return bgr;
}

// 1 minus the root mean square difference per channel, over 255.
double flatSimilarity(double squaredDifference, const cv::Mat &templ) {
    const double perChannel =
        std::max(0.0, squaredDifference) / (double(templ.total()) * templ.channels());
    return 1.0 - std::sqrt(perChannel) / 255.0;
}

// Scores for every place of `templ` in `image`, higher better, 0 to 1.
cv::Mat scores(const cv::Mat &image, const cv::Mat &templ, const Comparison &how) {
    cv::Mat result;
    if (how.flat) {
        cv::matchTemplate(image, templ, result, cv::TM_SQDIFF);
        cv::max(result, 0.0, result); // rounding can dip below zero
        result *= 1.0 / (double(templ.total()) * templ.channels() * 255.0 * 255.0);
        cv::sqrt(result, result);
        result = 1.0 - result;
    } else {
        cv::matchTemplate(image, templ, result, cv::TM_CCOEFF_NORMED);
    }
    // Rounding leaves values a hair outside; places without variance may be NaN.
    cv::patchNaNs(result, 0.0);
    cv::threshold(result, result, 1.0, 1.0, cv::THRESH_TRUNC);
    cv::max(result, 0.0, result);
    return result;
}

struct Place {
    cv::Point at;
    double score = -1.0;
};

// The best `count` places, each at least a template's half apart from the others.
std::vector<Place> bestPlaces(cv::Mat result, int count, cv::Size templ) {
    std::vector<Place> places;
    const cv::Size keepOut(std::max(1, templ.width / 2), std::max(1, templ.height / 2));
    for (int i = 0; i < count; ++i) {
        double best = 0;
        cv::Point at;
        cv::minMaxLoc(result, nullptr, &best, nullptr, &at);
        if (best < 0)
            break;
        places.push_back({at, best});
        const cv::Rect around(at.x - keepOut.width, at.y - keepOut.height, 2 * keepOut.width + 1,
                              2 * keepOut.height + 1);
        result(around & cv::Rect(0, 0, result.cols, result.rows)).setTo(-1.0);
    }
    return places;
}

Place searchAll(const cv::Mat &haystack, const cv::Mat &templ, const Comparison &how) {
    const cv::Mat result = scores(prepared(haystack), templ, how);
    Place best;
    cv::minMaxLoc(result, nullptr, &best.score, nullptr, &best.at);
    return best;
}

// A reduced copy of both first, then full resolution around its best places.
Place searchCoarseToFine(const cv::Mat &haystack, const cv::Mat &templ, const Comparison &how,
                         int factor) {
    cv::Mat smallHay, smallTempl;
    cv::resize(haystack, smallHay, cv::Size(haystack.cols / factor, haystack.rows / factor), 0, 0,
               cv::INTER_AREA);
    cv::resize(templ, smallTempl, cv::Size(templ.cols / factor, templ.rows / factor), 0, 0,
               cv::INTER_AREA);
    // Textures are told apart in grey at a third of the cost; colour decides
    // among the candidates. A single colour is all colour.
    cv::Mat coarseHay, coarseTempl = smallTempl;
    if (how.flat) {
        coarseHay = prepared(smallHay);
    } else {
        cv::cvtColor(smallHay, coarseHay, cv::COLOR_BGRA2GRAY);
        cv::cvtColor(smallTempl, coarseTempl, cv::COLOR_BGR2GRAY);
    }
    const cv::Mat coarse = scores(coarseHay, coarseTempl, how);
    Place best;
    const cv::Rect whole(0, 0, haystack.cols, haystack.rows);
    // The reduced picture may be off by up to a factor's pixels either way.
    const int margin = 2 * factor;
    for (const Place &candidate : bestPlaces(coarse, kCandidates, smallTempl.size())) {
        const cv::Rect window =
            cv::Rect(candidate.at.x * factor - margin, candidate.at.y * factor - margin,
                     templ.cols + 2 * margin, templ.rows + 2 * margin) &
            whole;
        if (window.width < templ.cols || window.height < templ.rows)
            continue;
        const Place found = searchAll(haystack(window), templ, how);
        if (found.score > best.score)
            best = {found.at + window.tl(), found.score};
    }
    return best;
}

} // namespace

Match findTemplate(const ImageView &haystack, const ImageView &needle,
                   const MatchOptions &options) {
    Match match;
    if (!usable(haystack) || !usable(needle) || options.templateScale <= 0 ||
        options.screenScale <= 0)
        return match;
    const double ratio = options.screenScale / options.templateScale;
    const bool rescaled = std::abs(ratio - 1.0) > 0.005;
    // The size it is looked for at, known before anything is copied: a
    // template enlarged beyond the image can never be found in it.
    const double width = rescaled ? std::round(needle.width * ratio) : needle.width;
    const double height = rescaled ? std::round(needle.height * ratio) : needle.height;
    if (!(width >= 1 && height >= 1 && width <= haystack.width && height <= haystack.height))
        return match;
    cv::Mat templ;
    cv::cvtColor(wrap(needle), templ, cv::COLOR_BGRA2BGR);
    if (rescaled) {
        cv::Mat scaled;
        cv::resize(templ, scaled, cv::Size(static_cast<int>(width), static_cast<int>(height)), 0, 0,
                   ratio < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
        templ = scaled;
    }

    Comparison how;
    cv::Scalar mean, deviation;
    cv::meanStdDev(templ, mean, deviation);
    how.flat = std::max({deviation[0], deviation[1], deviation[2]}) < kFlatStdDev;

    const cv::Mat hay = wrap(haystack);
    const long long places = static_cast<long long>(hay.cols - templ.cols + 1) *
                             static_cast<long long>(hay.rows - templ.rows + 1);
    const int factor =
        std::min(kMaxReduction, std::min(templ.cols, templ.rows) / kCoarseTemplateSide);
    const Place best = factor >= 2 && places >= kCoarsePlaces
                           ? searchCoarseToFine(hay, templ, how, factor)
                           : searchAll(hay, templ, how);
    if (best.score < 0)
        return match;
    double score = best.score;
    if (how.flat) {
        // The search's sums are single precision: the place found is
        // measured again exactly, so that the same colour is 100 %.
        const cv::Mat found = prepared(hay(cv::Rect(best.at, templ.size())));
        const double norm = cv::norm(found, templ, cv::NORM_L2);
        score = flatSimilarity(norm * norm, templ);
    }
    match.x = best.at.x;
    match.y = best.at.y;
    match.width = templ.cols;
    match.height = templ.rows;
    // Hundredths of a percent: an exact match is 100 and a threshold given
    // to two decimals compares as written.
    match.similarityPercent = std::round(score * 10000.0) / 100.0;
    match.found = match.similarityPercent >= options.thresholdPercent;
    return match;
}

bool colourWithin(platform::Rgb colour, platform::Rgb wanted, int tolerance) {
    tolerance = std::clamp(tolerance, 0, 255);
    return std::abs(colour.r - wanted.r) <= tolerance &&
           std::abs(colour.g - wanted.g) <= tolerance && std::abs(colour.b - wanted.b) <= tolerance;
}

} // namespace vision
