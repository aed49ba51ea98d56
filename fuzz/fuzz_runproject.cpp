// libFuzzer target: any bytes as a project, taken through everything a run
// does before it presses anything: the file reader, each kind's element
// readers (seconds, coordinates, keys, colours, the screen pages' records),
// the window pages' patterns matched against titles (regular expressions
// from the file against texts from the file), the templates' PNG headers
// and decoding, and the step compile with its refusal text. Nothing may
// crash, read out of bounds or overflow, and a template may never be
// decoded beyond the limits.

#include "core/pagekinds.h"
#include "core/projectfile.h"
#include "core/recordvalues.h"
#include "core/runkeys.h"
#include "core/screenpages.h"
#include "core/windowmatch.h"
#include "run/runsteps.h"
#include "run/screensteps.h"

#include <QByteArray>
#include <QList>
#include <QSize>

#include <cstdint>
#include <cstdlib>

namespace {

// The titles a pattern is tried on: the file's own texts, a few of them.
QList<windowmatch::Candidate> candidatesOf(const projectfile::Pages &pages) {
    QList<windowmatch::Candidate> out;
    for (const QStringList &page : pages) {
        for (const QString &text : page) {
            if (out.size() >= 8)
                return out;
            out.append({quint64(out.size() + 1), text, text});
        }
    }
    return out;
}

void readElements(pagekinds::Side side, const QStringList &record,
                  const QList<windowmatch::Candidate> &titles) {
    for (const QString &value : record) {
        (void)recordvalues::secondsOf(value);
        (void)recordvalues::coordinateOf(value);
    }
    const QString kind = record.value(0);
    if (side == pagekinds::Side::Command && kind == pagekinds::name::key())
        (void)parseRunKeys(keyActionSpec(record.value(1), record.value(2)));
    if (side == pagekinds::Side::Condition && kind == pagekinds::name::key())
        (void)parseRunKeys(record.value(1));
    const screenpages::ColourCondition colour = screenpages::colourFromRecord(record);
    (void)screenpages::colourText(colour.colour);
    const screenpages::ImageJump jump = screenpages::jumpFromRecord(record);
    QSize size;
    if (!jump.search.png.isEmpty() &&
        screensteps::measureTemplate(jump.search.png, size) == runsteps::ImageProblem::None &&
        qint64(size.width()) * size.height() > screensteps::kMaxTemplatePixels)
        std::abort(); // a size the limits should have refused
    const windowmatch::Choice choice = windowmatch::fromRecord(record);
    bool bestCostly = false;
    bool countCostly = false;
    const int best = windowmatch::best(choice, titles, &bestCostly);
    const int count = windowmatch::count(choice, titles, &countCostly);
    if (best >= titles.size() || count > titles.size() || (bestCostly && best != -1) ||
        (!countCostly && (best >= 0) != (count > 0)))
        std::abort(); // the topmost match and the count disagree
    (void)windowmatch::describe(choice, true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const projectfile::LoadResult project = projectfile::parse(bytes);
    if (project.status != projectfile::LoadStatus::Ok)
        return 0;
    const QList<windowmatch::Candidate> titles = candidatesOf(project.commands);
    for (const QStringList &record : project.commands)
        readElements(pagekinds::Side::Command, record, titles);
    for (const QStringList &record : project.conditions)
        readElements(pagekinds::Side::Condition, record, titles);

    const runsteps::Compiled compiled = runsteps::compile(project.commands, project.conditions);
    if (compiled.refusal.refused() != compiled.steps.empty())
        std::abort(); // steps for a refused project, or none for a played one
    if (compiled.refusal.refused()) {
        (void)runsteps::refusalText(compiled.refusal, true);
        (void)runsteps::refusalText(compiled.refusal, false);
    } else if (compiled.steps.size() != std::size_t(project.commands.size())) {
        std::abort(); // a page without its step
    }
    return 0;
}
