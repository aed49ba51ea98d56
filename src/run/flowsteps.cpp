#include "flowsteps.h"

#include "core/pagekinds.h"
#include "core/recordvalues.h"
#include "core/timedwait.h"
#include "runcontext.h"
#include "runlog.h"

#include <thread>

namespace flowsteps {
namespace {

// The condition it adds a limit to, waited for until the limit; where the run
// goes then depends on whether it came.
class LimitedCondition : public runsteps::Condition {
public:
    LimitedCondition(const QStringList &record, const runsteps::Templates &templates) {
        const pageflow::Shape shape = pageflow::shapeOf(false, record.at(0));
        QStringList base = record.mid(0, shape.seconds);
        base[0] = pageflow::baseKind(false, record.at(0));
        inner_ = runsteps::conditionFor(base[0])(base, templates);
        seconds_ = recordvalues::secondsOf(record.at(shape.seconds));
        else_ = record.at(shape.elseTarget);
        then_ = record.at(shape.thenTarget);
    }

    void wait(RunContext &run) const override {
        run.setTimeLimit(timedwait::deadlineAfter(run.now(), seconds_));
        inner_->wait(run);
        const bool late = run.timeUp();
        run.clearTimeLimit();
        if (run.stopping())
            return;
        const QString &to = late ? else_ : then_;
        if (!to.isEmpty())
            run.branchTo(to);
    }
    bool hearsKeys() const override { return inner_->hearsKeys(); }
    bool hearsButtons() const override { return inner_->hearsButtons(); }

private:
    std::unique_ptr<runsteps::Condition> inner_;
    double seconds_ = 0;
    QString else_;
    QString then_;
};

runsteps::Refusal flowRefusal(const pageflow::Refusal &flow) {
    runsteps::Refusal refusal;
    refusal.page = flow.page;
    refusal.flow = flow;
    return refusal;
}

} // namespace

std::unique_ptr<runsteps::Condition> limited(const QStringList &record,
                                             const runsteps::Templates &templates) {
    return std::make_unique<LimitedCondition>(record, templates);
}

runsteps::ImageProblem baseActionTemplate(const QStringList &record, QByteArray &png) {
    const runsteps::ActionStep *base =
        runsteps::actionStepFor(pageflow::baseKind(true, record.value(0)));
    return base && base->templateOf ? base->templateOf(record, png) : runsteps::ImageProblem::None;
}

runsteps::ImageProblem baseConditionTemplate(const QStringList &record, QByteArray &png) {
    const runsteps::ConditionStep *base =
        runsteps::conditionStepFor(pageflow::baseKind(false, record.value(0)));
    return base && base->templateOf ? base->templateOf(record, png) : runsteps::ImageProblem::None;
}

runsteps::ValueProblem baseValueProblem(const QStringList &record, QString &valueText) {
    const runsteps::ConditionStep *base =
        runsteps::conditionStepFor(pageflow::baseKind(false, record.value(0)));
    return base && base->valueProblem ? base->valueProblem(record, valueText)
                                      : runsteps::ValueProblem::None;
}

Prepared prepare(const pageflow::Project &project, const pageflow::Loader &loader) {
    Prepared out;
    runsteps::Compiled top = runsteps::compile(project.commands, project.conditions);
    if (top.refusal.refused()) {
        out.refusal = top.refusal;
        return out;
    }
    const pageflow::Refusal flow =
        pageflow::check(project.commands, project.conditions, project.names);
    if (flow.refused()) {
        out.refusal = flowRefusal(flow);
        return out;
    }
    const pageflow::Calls calls = pageflow::loadCalls(project, loader);
    if (calls.refusal.refused()) {
        out.refusal = flowRefusal(calls.refusal);
        return out;
    }
    for (auto it = calls.byPath.cbegin(); it != calls.byPath.cend(); ++it) {
        runsteps::Compiled compiled = runsteps::compile(it->commands, it->conditions);
        if (compiled.refusal.refused()) {
            out.refusal = compiled.refusal;
            out.refusal.file = it.key();
            return out;
        }
        auto program = std::make_shared<Program>();
        program->path = it.key();
        program->names = it->names;
        program->steps = std::move(compiled.steps);
        out.called.insert(it.key(), std::move(program));
    }
    out.top.path = project.path;
    out.top.names = project.names;
    out.top.steps = std::move(top.steps);
    return out;
}

void Player::play(const Program &program, const std::function<void(int page, bool jumped)> &onPage,
                  int depth) {
    play(program.path, program.names, program.steps, onPage, depth);
}

void Player::play(const QString &path, const QStringList &names,
                  const std::vector<runsteps::Step> &steps,
                  const std::function<void(int page, bool jumped)> &onPage, int depth) {
    const int pages = int(steps.size());
    std::vector<int> jumpsTaken(steps.size(), 0);
    bool jumped = false;
    const auto caller = [this, &path, depth](const QString &written) {
        // Deeper calls and circles were refused when the run was prepared.
        if (depth >= pageflow::kMaxCallDepth)
            return;
        if (const auto called = called_.value(pageflow::resolveCall(path, written)))
            play(*called, {}, depth + 1);
    };
    for (int p = 0; p >= 0 && p < pages && !run_.stopping();) {
        // A page paused before its action waits here for the resume.
        if (!run_.holdWhilePaused())
            break;
        if (onPage)
            onPage(p + 1, jumped);
        run_.takeFlow();
        run_.setCaller(caller);
        const runsteps::Step &step = steps[std::size_t(p)];
        if (!step.action->start(run_)) {
            qCWarning(lcRun) << "[Run] no thread for an action; ending the run";
            run_.requestStop();
        }
        if (!run_.skipsCondition())
            step.condition->wait(run_);
        const RunContext::Flow flow = run_.takeFlow();
        if (run_.stopping())
            break;
        int next = p + 1;
        if (!flow.branch.isEmpty()) {
            if (const int target = pageflow::pageNamed(names, flow.branch); target >= 0)
                next = target;
        } else if (const int target = pageflow::pageNamed(names, flow.goTo); target >= 0) {
            int &taken = jumpsTaken[std::size_t(p)];
            if (flow.times < 0 || taken < flow.times) {
                ++taken;
                next = target;
            } else {
                taken = 0; // arrived at again later, the loop repeats whole
            }
        }
        jumped = jumped || next != p + 1;
        p = next;
        // A loop of pages that never wait still lets the stop checks and the
        // other threads in between its pages.
        std::this_thread::yield();
    }
}

} // namespace flowsteps
