#pragma once

// The steps a run plays: one Action and one Condition per page, made from
// the page's records before the run starts. Each kind's step is made in its
// folder (src/kinds/<side>s/<id>/step.cpp) and found through a table built
// from the registry (kinds/registry.h); a kind this version does not know,
// or a record too short for its kind, is refused there, so the run never
// starts on it.

#include "core/pageflow.h"
#include "core/pagekinds.h"
#include "platform/windowaccess.h"
#include "runcontext.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace runsteps {

class Action {
public:
    virtual ~Action() = default;
    // Starts the action: at once, or on a worker of the run for a timed one.
    // False when no worker could be started.
    virtual bool start(RunContext &run) const = 0;
};

class Condition {
public:
    virtual ~Condition() = default;
    // Returns when the condition is met or the run is stopped.
    virtual void wait(RunContext &run) const = 0;
    // True when the wait listens to the keyboard (the run then listens to
    // key events where the backend pushes them).
    virtual bool hearsKeys() const { return false; }
    // True when the wait listens to the mouse buttons (the run then listens
    // to button events where the backend pushes them).
    virtual bool hearsButtons() const { return false; }
};

// The templates of the Image pages, decoded by compile() (Format_RGB32), by
// their PNG bytes: each picture once, however many pages look for it.
using Templates = QHash<QByteArray, QImage>;

struct Step {
    std::unique_ptr<Action> action;
    std::unique_ptr<Condition> condition;
};

// What is wrong with the template of an Image page whose record is whole.
enum class ImageProblem {
    None,
    Missing,    // an Image condition without a template
    Unreadable, // the template is not a picture (PNG) that decodes
    TooLarge,   // beyond screensteps' limits for one template
    OverBudget, // with it, the project's templates exceed screensteps' budget
};

// What is wrong with another value of a whole record.
enum class ValueProblem {
    None,
    BadColour, // a Colour condition's colour is neither #RRGGBB nor #RGB
};

// A record known to be long enough for its kind (checked by compile()),
// with the project's templates.
using ActionFactory = std::unique_ptr<Action> (*)(const QStringList &record,
                                                  const Templates &templates);
using ConditionFactory = std::unique_ptr<Condition> (*)(const QStringList &record,
                                                        const Templates &templates);

// What the run has of one kind, made in the kind's folder (step.cpp): how
// its step is made and what must hold before a run starts on it.
template <class Factory> struct KindStep {
    Factory make = nullptr;
    // The template the page looks for (empty when none): Missing where the
    // page cannot go on without one. Null for a kind that looks for none.
    ImageProblem (*templateOf)(const QStringList &record, QByteArray &png) = nullptr;
    // Why a value of a whole record cannot be played, with the value as
    // stored. Null for a kind whose values all play.
    ValueProblem (*valueProblem)(const QStringList &record, QString &valueText) = nullptr;
};
using ActionStep = KindStep<ActionFactory>;
using ConditionStep = KindStep<ConditionFactory>;

// The factory of a step class made from the record alone.
template <class T, class Base>
std::unique_ptr<Base> madeOf(const QStringList &record, const Templates &) {
    return std::make_unique<T>(record);
}

// The step of a stored kind; null when this version cannot run it.
const ActionStep *actionStepFor(const QString &stored);
const ConditionStep *conditionStepFor(const QString &stored);
ActionFactory actionFor(const QString &stored);
ConditionFactory conditionFor(const QString &stored);

// Why a project cannot be played: the first page that cannot.
struct Refusal {
    int page = 0; // counted from 1; 0 when nothing is refused
    pagekinds::Side side = pagekinds::Side::Command;
    QString kind; // element 0 of the record, as stored
    pagekinds::RecordProblem problem = pagekinds::RecordProblem::None;
    ImageProblem image = ImageProblem::None; // with problem None
    int imageWidth = 0;                      // the template's, for TooLarge
    int imageHeight = 0;
    ValueProblem value = ValueProblem::None; // with problem and image None
    QString valueText;                       // the value as stored
    pageflow::Refusal flow;                  // names, targets, counts, calls
    QString file; // the called project the page is in, empty for the one run

    bool refused() const { return page > 0; }
};

struct Compiled {
    std::vector<Step> steps; // empty when refused
    Refusal refusal;
};

// The page's window as it is now; on failure the run is stopped with the
// reason (no window access, a bad expression, no such window) and false
// returned.
bool findWindow(RunContext &run, const windowmatch::Choice &choice, platform::WindowInfo &out);
// The same for a page that needs where the window is (a position in it):
// stops the run where the window access does not tell.
bool findWindowWithPlace(RunContext &run, const windowmatch::Choice &choice,
                         platform::WindowInfo &out);

// From where the pointer is to (x, y) in `duration` seconds, on the caller's
// thread; a stop leaves the pointer where it is.
void moveSmoothly(RunContext &run, int x, int y, double duration);
// Where a varied position in the window may go: its client area.
RunContext::Area clientArea(const platform::WindowInfo &window);

// One step per command. A page past the end of the condition list goes on
// at once, as it always has.
Compiled compile(const QList<QStringList> &commands, const QList<QStringList> &conditions);

// The refusal as the user reads it: the page, the list and the kind.
QString refusalText(const Refusal &refusal, bool japanese);

// Why a page stopped the run, as the user reads it: the page and the window.
QString failureText(const RunFailure &failure, bool japanese);

} // namespace runsteps

// Each kind's step, made in its folder.
#define TARNWICK_DECLARE_ACTION(id)                                                                \
    namespace kinds::command::id {                                                                 \
    extern const runsteps::ActionStep step;                                                        \
    }
#define TARNWICK_DECLARE_CONDITION(id)                                                             \
    namespace kinds::condition::id {                                                               \
    extern const runsteps::ConditionStep step;                                                     \
    }
TARNWICK_COMMANDS(TARNWICK_DECLARE_ACTION)
TARNWICK_CONDITIONS(TARNWICK_DECLARE_CONDITION)
#undef TARNWICK_DECLARE_ACTION
#undef TARNWICK_DECLARE_CONDITION
