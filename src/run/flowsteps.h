#pragma once

// The steps that move the run elsewhere than the next page, and the player
// that follows them: Go to page, Call project, the conditions with a time
// limit (each plays the condition it adds the limit to, then names where to
// go), and a project's pages played by a program counter instead of one after
// the other.

#include "core/pageflow.h"
#include "runsteps.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace flowsteps {

// Any condition with a time limit (pageflow::baseKind names what it waits for).
std::unique_ptr<runsteps::Condition> limited(const QStringList &record,
                                             const runsteps::Templates &templates);
// The checks before a run of a kind with a time limit: those of the kind it
// adds the limit to.
runsteps::ImageProblem baseActionTemplate(const QStringList &record, QByteArray &png);
runsteps::ImageProblem baseConditionTemplate(const QStringList &record, QByteArray &png);
runsteps::ValueProblem baseValueProblem(const QStringList &record, QString &valueText);

// One project made into steps, with its names and where it lies (called
// projects' paths are relative to it).
struct Program {
    QString path;
    QStringList names;
    std::vector<runsteps::Step> steps;
};
using Programs = QHash<QString, std::shared_ptr<const Program>>;

// The project and every project it calls, made into steps; refused like
// runsteps::compile, or for the flow (names, targets, counts, calls).
struct Prepared {
    Program top;
    Programs called;
    runsteps::Refusal refusal;
};
Prepared prepare(const pageflow::Project &project, const pageflow::Loader &loader);

// Plays the program's pages once, from its first: after each page the run
// goes where the page said (a branch, a Go to page while its count lasts),
// else to the next. A Go to page's count starts anew with each play and each
// time it falls through, so a loop inside a loop repeats whole each time.
// `onPage` hears each page of this program (counted from 1) and whether the
// play has jumped yet; called projects play without it.
class Player {
public:
    Player(RunContext &run, const Programs &called) : run_(run), called_(called) {}
    void play(const Program &program, const std::function<void(int page, bool jumped)> &onPage,
              int depth = 0);
    void play(const QString &path, const QStringList &names,
              const std::vector<runsteps::Step> &steps,
              const std::function<void(int page, bool jumped)> &onPage, int depth = 0);

private:
    RunContext &run_;
    const Programs &called_;
};

} // namespace flowsteps
