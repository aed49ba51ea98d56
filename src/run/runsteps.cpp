#include "runsteps.h"

#include "core/keycombination.h"
#include "core/localfilename.h"
#include "core/projectfile.h"
#include "core/projecttexts.h"
#include "core/recordvalues.h"
#include "core/runkeys.h"
#include "core/timedwait.h"
#include "keywatch.h"
#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/virtualkeys.h"
#include "runcontext.h"
#include "runtexts.h"
#include "screensteps.h"
#include "typingorder.h"
#include "windowlookup.h"

#include <QLocale>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace runsteps {
namespace {

using std::chrono::milliseconds;

// The step tables, in the registry's order.
template <class Step> struct Row {
    const pagekinds::Kind &(*kind)();
    const Step &step;
};

#define TARNWICK_ACTION_ROW(id) {kinds::command::id::kind, kinds::command::id::step},
#define TARNWICK_CONDITION_ROW(id) {kinds::condition::id::kind, kinds::condition::id::step},
const Row<ActionStep> kActions[] = {TARNWICK_COMMANDS(TARNWICK_ACTION_ROW)};
const Row<ConditionStep> kConditions[] = {TARNWICK_CONDITIONS(TARNWICK_CONDITION_ROW)};
#undef TARNWICK_ACTION_ROW
#undef TARNWICK_CONDITION_ROW

// The problem of a record, with the step table as the last word: a kind the
// registry lists but no step plays is as unknown as one it does not list.
pagekinds::RecordProblem problemOf(pagekinds::Side side, const QStringList &record, bool hasStep) {
    const pagekinds::RecordProblem problem = pagekinds::check(side, record);
    if (problem == pagekinds::RecordProblem::None && !hasStep)
        return pagekinds::RecordProblem::UnknownKind;
    return problem;
}

// The templates of a project: held against the limits page by page from
// their headers, each different one counted once, and decoded only once
// every page has passed.
class TemplateLoader {
public:
    // The template `templateOf` finds in the record, where the kind looks for
    // one; `refusal` names the page, side and kind being checked.
    ImageProblem check(ImageProblem (*templateOf)(const QStringList &, QByteArray &),
                       const QStringList &record, Refusal &refusal) {
        if (!templateOf)
            return ImageProblem::None;
        QByteArray png;
        const ImageProblem missing = templateOf(record, png);
        if (missing != ImageProblem::None || png.isEmpty() || seen_.contains(png))
            return missing;
        QSize size;
        const ImageProblem problem = screensteps::measureTemplate(png, size);
        if (problem == ImageProblem::TooLarge) {
            refusal.imageWidth = size.width();
            refusal.imageHeight = size.height();
        }
        if (problem != ImageProblem::None)
            return problem;
        const qint64 area = qint64(size.width()) * size.height();
        if (pixels_ + area > screensteps::kTemplateBudgetPixels)
            return ImageProblem::OverBudget;
        pixels_ += area;
        seen_.insert(png);
        pending_.push_back({png, refusal});
        return ImageProblem::None;
    }

    // False, with `refusal` naming the first page of a template whose
    // header was fine but whose pixels do not decode.
    bool decode(Templates &templates, Refusal &refusal) {
        for (Pending &one : pending_) {
            const QImage image = screensteps::decodeTemplate(one.png);
            if (image.isNull()) {
                refusal = one.page;
                refusal.image = ImageProblem::Unreadable;
                templates.clear();
                return false;
            }
            templates.insert(one.png, image);
            one.png.clear();
        }
        return true;
    }

private:
    struct Pending {
        QByteArray png;
        Refusal page; // the first page with it
    };
    QSet<QByteArray> seen_;
    std::vector<Pending> pending_;
    qint64 pixels_ = 0;
};

} // namespace

// From where the pointer is to (x, y) in `duration` seconds.
void moveSmoothly(RunContext &run, int x, int y, double duration) {
    const platform::Point from = run.input().cursorPos();
    if (!(duration > 0.0)) { // not above 0, or NaN
        run.input().setCursorPos(x, y);
        return;
    }
    const auto t0 = run.now();
    for (;;) {
        if (run.stopping())
            return; // the pointer stays where it is
        const double elapsed = std::chrono::duration<double>(run.now() - t0).count();
        const double fraction = elapsed / duration;
        if (fraction >= 1.0) {
            if (!run.stopping())
                run.input().setCursorPos(x, y);
            return;
        }
        // Each step goes where the elapsed time puts it, so a slow step
        // never delays the end.
        const MovePoint at = interpolateMove(from.x, from.y, x, y, fraction);
        run.input().setCursorPos(at.x, at.y);
        // Held here while paused: the pointer stays, and the run's clock
        // keeps the rest of the move for the resume.
        if (!run.sleepUntil(run.now() + milliseconds(5), milliseconds(5)))
            return;
    }
}

// Where a varied position in the window may go.
RunContext::Area clientArea(const platform::WindowInfo &window) {
    return {window.client.x, window.client.y, window.client.width, window.client.height};
}

bool findWindow(RunContext &run, const windowmatch::Choice &choice, platform::WindowInfo &out) {
    platform::WindowAccess *access = run.windows();
    if (!access) {
        run.fail(RunFailure::Reason::NoWindowAccess, choice);
        return false;
    }
    if (!windowmatch::Matcher(choice).valid()) {
        run.fail(RunFailure::Reason::BadPattern, choice);
        return false;
    }
    bool tooCostly = false;
    if (!windowlookup::find(*access, choice, out, &tooCostly)) {
        run.fail(tooCostly ? RunFailure::Reason::PatternTooCostly : RunFailure::Reason::NotFound,
                 choice);
        return false;
    }
    return true;
}

bool findWindowWithPlace(RunContext &run, const windowmatch::Choice &choice,
                         platform::WindowInfo &out) {
    if (run.windows() && !run.windowGeometry()) {
        run.fail(RunFailure::Reason::NoGeometry, choice);
        return false;
    }
    return findWindow(run, choice, out);
}

template <class Step, std::size_t N>
const Step *stepIn(const Row<Step> (&rows)[N], const QString &stored) {
    for (const Row<Step> &row : rows) {
        if (stored == row.kind().stored)
            return row.step.make ? &row.step : nullptr;
    }
    return nullptr;
}

const ActionStep *actionStepFor(const QString &stored) {
    return stepIn(kActions, stored);
}

const ConditionStep *conditionStepFor(const QString &stored) {
    return stepIn(kConditions, stored);
}

ActionFactory actionFor(const QString &stored) {
    const ActionStep *step = actionStepFor(stored);
    return step ? step->make : nullptr;
}

ConditionFactory conditionFor(const QString &stored) {
    const ConditionStep *step = conditionStepFor(stored);
    return step ? step->make : nullptr;
}

Compiled compile(const QList<QStringList> &commands, const QList<QStringList> &conditions) {
    using pagekinds::RecordProblem;
    using pagekinds::Side;
    static const QStringList kNoCondition{pagekinds::name::immediately()};
    Compiled compiled;
    TemplateLoader templates;
    for (int p = 0; p < commands.size(); ++p) {
        const QStringList &command = commands.at(p);
        const QStringList &condition = p < conditions.size() ? conditions.at(p) : kNoCondition;
        const ActionStep *action = actionStepFor(command.value(0));
        const ConditionStep *conditionStep = conditionStepFor(condition.value(0));

        Refusal refusal;
        refusal.page = p + 1;
        refusal.problem = problemOf(Side::Command, command, action != nullptr);
        refusal.kind = command.value(0);
        if (refusal.problem == RecordProblem::None) {
            refusal.side = Side::Condition;
            refusal.problem = problemOf(Side::Condition, condition, conditionStep != nullptr);
            refusal.kind = condition.value(0);
        }
        if (refusal.problem == RecordProblem::None) {
            // A page that cannot look for its image cannot be played either.
            refusal.side = Side::Command;
            refusal.kind = command.value(0);
            refusal.image = templates.check(action->templateOf, command, refusal);
            if (refusal.image == ImageProblem::None) {
                refusal.side = Side::Condition;
                refusal.kind = condition.value(0);
                refusal.image = templates.check(conditionStep->templateOf, condition, refusal);
            }
            // Then the values, in the same order.
            if (refusal.image == ImageProblem::None && action->valueProblem) {
                refusal.side = Side::Command;
                refusal.kind = command.value(0);
                refusal.value = action->valueProblem(command, refusal.valueText);
            }
            if (refusal.image == ImageProblem::None && refusal.value == ValueProblem::None &&
                conditionStep->valueProblem) {
                refusal.side = Side::Condition;
                refusal.kind = condition.value(0);
                refusal.value = conditionStep->valueProblem(condition, refusal.valueText);
            }
        }
        if (refusal.problem != RecordProblem::None || refusal.image != ImageProblem::None ||
            refusal.value != ValueProblem::None) {
            compiled.steps.clear();
            compiled.refusal = refusal;
            return compiled;
        }
    }
    // Every page passed, its template's size included: now each template is
    // decoded, once.
    Templates decoded;
    if (!templates.decode(decoded, compiled.refusal))
        return compiled;
    for (int p = 0; p < commands.size(); ++p) {
        const QStringList &condition = p < conditions.size() ? conditions.at(p) : kNoCondition;
        compiled.steps.push_back({actionFor(commands.at(p).value(0))(commands.at(p), decoded),
                                  conditionFor(condition.value(0))(condition, decoded)});
    }
    return compiled;
}

QString refusalText(const Refusal &refusal, bool japanese) {
    if (refusal.flow.refused())
        return projectfile::flowErrorText(refusal.flow, japanese) +
               runtexts::notStarted.in(japanese);
    if (!refusal.file.isEmpty()) {
        Refusal within = refusal;
        within.file.clear();
        return projecttexts::inFile.in(japanese).arg(localfilename::forDisplay(refusal.file),
                                                     refusalText(within, japanese));
    }
    using pagekinds::RecordProblem;
    const QString list =
        (refusal.side == pagekinds::Side::Command ? runtexts::commandList : runtexts::conditionList)
            .in(japanese);
    QString why;
    const QLocale numbers(QLocale::English); // grouped by commas in both languages
    switch (refusal.image) {
    case ImageProblem::None:
        break;
    case ImageProblem::Missing:
        why = runtexts::refusedNoImage.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    case ImageProblem::Unreadable:
        why = runtexts::refusedBadImage.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    case ImageProblem::TooLarge:
        why = runtexts::refusedImageTooLarge.in(japanese)
                  .arg(refusal.page)
                  .arg(list, refusal.kind)
                  .arg(refusal.imageWidth)
                  .arg(refusal.imageHeight)
                  .arg(numbers.toString(screensteps::kMaxTemplatePixels),
                       numbers.toString(screensteps::kMaxTemplateSide));
        break;
    case ImageProblem::OverBudget:
        why = runtexts::refusedImagesOverBudget.in(japanese)
                  .arg(refusal.page)
                  .arg(list, refusal.kind, numbers.toString(screensteps::kTemplateBudgetPixels));
        break;
    }
    if (!why.isEmpty())
        return why + runtexts::notStarted.in(japanese);
    if (refusal.value == ValueProblem::BadColour)
        return runtexts::refusedBadColour.in(japanese)
                   .arg(refusal.page)
                   .arg(list, refusal.kind, refusal.valueText) +
               runtexts::notStarted.in(japanese);
    switch (refusal.problem) {
    case RecordProblem::Empty:
        why = runtexts::refusedEmpty.in(japanese).arg(refusal.page).arg(list);
        break;
    case RecordProblem::TooShort:
        why = runtexts::refusedTooShort.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    default:
        why = runtexts::refusedUnknown.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    }
    return why + runtexts::notStarted.in(japanese);
}

QString failureText(const RunFailure &failure, bool japanese) {
    const UiText *why = nullptr;
    bool namesWindow = true; // as %2
    switch (failure.reason) {
    case RunFailure::Reason::None:
        return QString();
    case RunFailure::Reason::NoWindowAccess:
        why = platform::backend().capabilities().name == "gnome"
                  ? &runtexts::failedNoWindowAccessGnome
                  : &runtexts::failedNoWindowAccess;
        namesWindow = false;
        break;
    case RunFailure::Reason::BadPattern:
        why = &runtexts::failedBadPattern;
        break;
    case RunFailure::Reason::NotFound:
        why = &runtexts::failedNotFound;
        break;
    case RunFailure::Reason::NotActive:
        why = &runtexts::failedNotActive;
        break;
    case RunFailure::Reason::NoScreen:
        why = &runtexts::failedNoScreen;
        namesWindow = false;
        break;
    case RunFailure::Reason::ImageNotFound:
        why = &runtexts::failedImageNotFound;
        namesWindow = false;
        break;
    case RunFailure::Reason::NoGeometry:
        why = &runtexts::failedNoGeometry;
        namesWindow = false;
        break;
    case RunFailure::Reason::NoPlaceFound:
        why = &runtexts::failedNoPlaceFound;
        namesWindow = false;
        break;
    case RunFailure::Reason::PatternTooCostly:
        why = &runtexts::failedPatternTooCostly;
        break;
    case RunFailure::Reason::OffScreen:
        return runtexts::failedOffScreen.in(japanese)
                   .arg(failure.page)
                   .arg(failure.x)
                   .arg(failure.y) +
               runtexts::runStopped.in(japanese);
    }
    QString text = why->in(japanese).arg(failure.page);
    if (namesWindow)
        text = text.arg(windowmatch::describe(failure.window, japanese));
    return text + runtexts::runStopped.in(japanese);
}

} // namespace runsteps
