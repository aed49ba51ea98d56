#include "pageflow.h"

#include "pagekinds.h"

#include <QDir>
#include <QFileInfo>

namespace pageflow {

namespace {

QString element(const QStringList &record, int index) {
    return index >= 0 && index < record.size() ? record.at(index) : QString();
}

Refusal refusal(Problem problem, int page, const QString &value = {}) {
    Refusal r;
    r.problem = problem;
    r.page = page;
    r.value = value;
    return r;
}

// The first target of the record that no page has.
Refusal checkRecord(bool command, const QStringList &record, const QStringList &names, int page,
                    bool toRun) {
    if (record.isEmpty())
        return {};
    const Shape shape = shapeOf(command, record.first());
    if (shape.target >= 0) {
        const QString target = element(record, shape.target);
        if ((toRun || !target.isEmpty()) && pageNamed(names, target) < 0)
            return refusal(Problem::NoSuchPage, page, target);
    }
    for (const int index : {shape.elseTarget, shape.thenTarget}) {
        const QString target = element(record, index);
        if (index >= 0 && !target.isEmpty() && pageNamed(names, target) < 0)
            return refusal(Problem::NoSuchPage, page, target);
    }
    if (shape.count >= 0 && countOf(element(record, shape.count)) < -1)
        return refusal(Problem::BadCount, page, element(record, shape.count));
    return {};
}

} // namespace

static const pagekinds::Kind *kindOf(bool command, const QString &stored) {
    return pagekinds::find(command ? pagekinds::Side::Command : pagekinds::Side::Condition, stored);
}

Shape shapeOf(bool command, const QString &stored) {
    const pagekinds::Kind *kind = kindOf(command, stored);
    return kind ? kind->flow : Shape();
}

bool isFlowKind(bool command, const QString &stored) {
    return shapeOf(command, stored).moves();
}

QString baseKind(bool command, const QString &stored) {
    const pagekinds::Kind *kind = kindOf(command, stored);
    return kind && !kind->base.isEmpty() ? kind->base : stored;
}

int countOf(const QString &text) {
    if (text == everyTime)
        return -1;
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    return ok && n >= 0 && !text.startsWith(QLatin1Char('+')) ? n : -2;
}

int pageNamed(const QStringList &names, const QString &name) {
    if (name.isEmpty())
        return -1;
    return int(names.indexOf(name));
}

Refusal check(const Pages &commands, const Pages &conditions, const QStringList &names,
              bool toRun) {
    const int pages = int(qMax(commands.size(), conditions.size()));
    for (int i = 0; i < pages; ++i) {
        const QString name = element(names, i);
        if (!name.isEmpty() && names.indexOf(name) < i)
            return refusal(Problem::DuplicateName, i + 1, name);
        if (i < commands.size()) {
            if (Refusal r = checkRecord(true, commands.at(i), names, i + 1, toRun); r.refused())
                return r;
        }
        if (i < conditions.size()) {
            if (Refusal r = checkRecord(false, conditions.at(i), names, i + 1, toRun); r.refused())
                return r;
        }
    }
    return {};
}

namespace {

// Every target element of the record, for a look or a change.
template <class Record, class F> void forTargets(bool command, Record &record, F f) {
    if (record.isEmpty())
        return;
    const Shape shape = shapeOf(command, record.first());
    for (const int index : {shape.target, shape.elseTarget, shape.thenTarget}) {
        if (index >= 0 && index < record.size())
            f(record[index]);
    }
}

} // namespace

QList<int> pagesJumpingTo(const Pages &commands, const Pages &conditions, const QStringList &names,
                          int page) {
    QList<int> from;
    const QString name = element(names, page);
    if (name.isEmpty())
        return from;
    const int pages = int(qMax(commands.size(), conditions.size()));
    for (int i = 0; i < pages; ++i) {
        bool jumps = false;
        const auto look = [&](const QString &target) { jumps = jumps || target == name; };
        if (i < commands.size())
            forTargets(true, commands.at(i), look);
        if (i < conditions.size())
            forTargets(false, conditions.at(i), look);
        if (jumps)
            from.append(i);
    }
    return from;
}

void renameTargets(Pages &commands, Pages &conditions, const QString &from, const QString &to) {
    if (from.isEmpty())
        return;
    const auto change = [&](QString &target) {
        if (target == from)
            target = to;
    };
    for (QStringList &record : commands)
        forTargets(true, record, change);
    for (QStringList &record : conditions)
        forTargets(false, record, change);
}

QString resolveCall(const QString &callerPath, const QString &written) {
    const QString path = QDir::fromNativeSeparators(written);
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    const QString base =
        callerPath.isEmpty() ? QDir::currentPath() : QFileInfo(callerPath).absolutePath();
    return QDir::cleanPath(base + QLatin1Char('/') + path);
}

Calls loadCalls(const Project &top, const Loader &loader) {
    Calls out;
    QStringList stack;
    if (!top.path.isEmpty())
        stack.append(QDir::cleanPath(top.path));
    std::function<bool(const Project &, int)> visit = [&](const Project &project,
                                                          int depth) -> bool {
        const QString in = project.path == top.path ? QString() : project.path;
        for (int i = 0; i < project.commands.size(); ++i) {
            const QStringList &record = project.commands.at(i);
            const int callPath = record.isEmpty() ? -1 : shapeOf(true, record.first()).callPath;
            if (callPath < 0)
                continue;
            const QString path = resolveCall(project.path, element(record, callPath));
            Refusal r = refusal(Problem::None, i + 1);
            r.file = in;
            r.called = path;
            if (depth + 1 > kMaxCallDepth)
                r.problem = Problem::CallTooDeep;
            else if (stack.contains(path))
                r.problem = Problem::CallCircle;
            else if (!out.byPath.contains(path)) {
                Loaded loaded = loader(path);
                if (!loaded.ok) {
                    r.problem = loaded.missing ? Problem::CallMissing : Problem::CallUnreadable;
                    r.reason[0] = loaded.reason[0];
                    r.reason[1] = loaded.reason[1];
                } else {
                    loaded.project.path = path;
                    Refusal inner = check(loaded.project.commands, loaded.project.conditions,
                                          loaded.project.names);
                    if (inner.refused()) {
                        inner.file = path;
                        out.refusal = inner;
                        return false;
                    }
                    out.byPath.insert(path, loaded.project);
                }
            }
            if (r.refused()) {
                out.refusal = r;
                return false;
            }
            stack.append(path);
            const Project called = out.byPath.value(path);
            if (!visit(called, depth + 1))
                return false;
            stack.removeLast();
        }
        return true;
    };
    visit(top, 0);
    return out;
}

} // namespace pageflow
