#include "windowlookup.h"

namespace windowlookup {

QString textOf(const std::u16string &text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

windowmatch::Candidate candidateOf(const platform::WindowInfo &info) {
    windowmatch::Candidate c;
    c.id = info.id;
    c.title = textOf(info.title);
    c.program = textOf(info.program);
    return c;
}

QList<windowmatch::Candidate> candidates(const std::vector<platform::WindowInfo> &windows) {
    QList<windowmatch::Candidate> out;
    out.reserve(qsizetype(windows.size()));
    for (const platform::WindowInfo &info : windows)
        out.append(candidateOf(info));
    return out;
}

bool find(platform::WindowAccess &access, const windowmatch::Choice &choice,
          platform::WindowInfo &out, bool *tooCostly) {
    const std::vector<platform::WindowInfo> windows = access.windows();
    const int index = windowmatch::best(choice, candidates(windows), tooCostly);
    if (index < 0)
        return false;
    out = windows.at(std::size_t(index));
    return true;
}

int count(platform::WindowAccess &access, const windowmatch::Choice &choice, bool *tooCostly) {
    return windowmatch::count(choice, candidates(access.windows()), tooCostly);
}

} // namespace windowlookup
