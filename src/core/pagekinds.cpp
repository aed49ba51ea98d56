#include "pagekinds.h"

#include "windowmatch.h"

namespace pagekinds {
namespace {

QStringList fixed(std::initializer_list<QString> values) {
    return QStringList(values);
}

Kind command(const QString &stored, const char *english, const char *inList, int elements,
             QStringList (*fresh)(const QTime &)) {
    Kind k;
    k.side = Side::Command;
    k.stored = stored;
    k.japanese = k.stored;
    k.english = QString::fromLatin1(english);
    k.englishInList = QString::fromLatin1(inList);
    k.elements = elements;
    k.fresh = fresh;
    return k;
}

Kind condition(const QString &stored, const char *english, int elements,
               QStringList (*fresh)(const QTime &)) {
    Kind k = command(stored, english, english, elements, fresh);
    k.side = Side::Condition;
    return k;
}

// The fresh record of a condition with a time limit: the one without, 5
// seconds and no targets.
QStringList limited(const QString &base, const QString &stored, const QTime &now) {
    QStringList record = find(Side::Condition, base)->fresh(now);
    record[0] = stored;
    return record << QStringLiteral("5") << QString() << QString();
}

} // namespace

const QList<Kind> &commands() {
    static const QList<Kind> rows{
        command(name::none, "None", "None", 1, [](const QTime &) { return fixed({name::none}); }),
        command(name::click, "Click", "Click", 3,
                [](const QTime &) {
                    return fixed({name::click, leftSide, QStringLiteral("0.01")});
                }),
        command(name::mousePointer, "Mouse Pointer", "Mouse Pointer", 3,
                [](const QTime &) {
                    return fixed({name::mousePointer, QStringLiteral("0"), QStringLiteral("0")});
                }),
        command(name::smoothMove, "Smooth Move", "Smooth Move", 4,
                [](const QTime &) {
                    return fixed({name::smoothMove, QStringLiteral("0"), QStringLiteral("0"),
                                  QStringLiteral("1")});
                }),
        command(name::key, "Key", "key", 3,
                [](const QTime &) {
                    return fixed({name::key, QString(), QStringLiteral("0.01")});
                }),
        command(name::enterText, "Enter Text", "Enter Text", 3,
                [](const QTime &) {
                    return fixed({name::enterText, QString(), QStringLiteral("3")});
                }),
        // The window pages keep the window in elements 1 to 3 (core/windowmatch.h).
        command(name::window, "Window", "Window", 5,
                [](const QTime &) {
                    return fixed({name::window, QString(), windowmatch::containsName, QString(),
                                  QStringLiteral("5")});
                }),
        command(name::pointerInWindow, "Window Pointer", "Window Pointer", 6,
                [](const QTime &) {
                    return fixed({name::pointerInWindow, QString(), windowmatch::containsName,
                                  QString(), QStringLiteral("0"), QStringLiteral("0")});
                }),
        command(name::smoothMoveInWindow, "Window Move", "Window Move", 7,
                [](const QTime &) {
                    return fixed({name::smoothMoveInWindow, QString(), windowmatch::containsName,
                                  QString(), QStringLiteral("0"), QStringLiteral("0"),
                                  QStringLiteral("1")});
                }),
        // The screen pages keep the window in elements 1 to 3 too, used when
        // element 4 says the window; the template (PNG in base64) comes last
        // but for the jump's offset and time, so long text ends the record.
        command(name::imageJump, "Image Jump", "Image Jump", 15,
                [](const QTime &) {
                    return fixed({name::imageJump, QString(), windowmatch::containsName, QString(),
                                  areaScreen, QStringLiteral("0"), QStringLiteral("0"),
                                  QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("90"),
                                  QStringLiteral("1"), QString(), QStringLiteral("0"),
                                  QStringLiteral("0"), QStringLiteral("5")});
                }),
        // The kinds that move the run elsewhere (core/pageflow.h): a target
        // is a page's name, empty for the next page.
        command(name::goToPage, "Go to Page", "Go to Page", 3,
                [](const QTime &) {
                    return fixed({name::goToPage, QString(), QStringLiteral("毎回")});
                }),
        command(name::callProject, "Call Project", "Call Project", 2,
                [](const QTime &) {
                    return fixed({name::callProject, QString()});
                }),
        command(name::imageJumpBranch, "Image Jump Branch", "Image Jump Branch", 17,
                [](const QTime &now) {
                    QStringList record = find(Side::Command, name::imageJump)->fresh(now);
                    record[0] = name::imageJumpBranch;
                    return record << QString() << QString();
                }),
    };
    return rows;
}

const QList<Kind> &conditions() {
    static const QList<Kind> rows{
        condition(name::waitUntilOver, "Wait until over", 2,
                  [](const QTime &) {
                      return fixed({name::waitUntilOver, QStringLiteral("0.1")});
                  }),
        condition(name::time, "Time", 2,
                  [](const QTime &) {
                      return fixed({name::time, QStringLiteral("0.1")});
                  }),
        condition(name::immediately, "Immediately", 1,
                  [](const QTime &) { return fixed({name::immediately}); }),
        condition(name::click, "Click", 2,
                  [](const QTime &) {
                      return fixed({name::click, leftSide});
                  }),
        condition(name::key, "Key", 2,
                  [](const QTime &) {
                      return fixed({name::key, QString()});
                  }),
        condition(name::clockTime, "Clock Time", 3,
                  [](const QTime &now) {
                      return fixed({name::clockTime, QString::number(now.hour()),
                                    QString::number(now.minute())});
                  }),
        condition(name::windowState, "Window", 5,
                  [](const QTime &) {
                      return fixed({name::windowState, QString(), windowmatch::containsName,
                                    QString(), windowActive});
                  }),
        condition(name::colour, "Colour", 10,
                  [](const QTime &) {
                      return fixed({name::colour, QString(), windowmatch::containsName, QString(),
                                    areaScreen, QStringLiteral("0"), QStringLiteral("0"),
                                    QStringLiteral("#000000"), QStringLiteral("16"),
                                    colourBecomes});
                  }),
        condition(name::image, "Image", 12,
                  [](const QTime &) {
                      return fixed({name::image, QString(), windowmatch::containsName, QString(),
                                    areaScreen, QStringLiteral("0"), QStringLiteral("0"),
                                    QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("90"),
                                    QStringLiteral("1"), QString()});
                  }),
        // The waits above with a time limit, then a page to go to when what
        // they wait for does not come, and one when it does.
        condition(name::clickBranch, "Click Branch", 5,
                  [](const QTime &) {
                      return fixed(
                          {name::clickBranch, leftSide, QStringLiteral("5"), QString(), QString()});
                  }),
        condition(name::keyBranch, "Key Branch", 5,
                  [](const QTime &) {
                      return fixed(
                          {name::keyBranch, QString(), QStringLiteral("5"), QString(), QString()});
                  }),
        condition(
            name::windowBranch, "Window Branch", 8,
            [](const QTime &now) { return limited(name::windowState, name::windowBranch, now); }),
        condition(name::colourBranch, "Colour Branch", 13,
                  [](const QTime &now) { return limited(name::colour, name::colourBranch, now); }),
        condition(name::imageBranch, "Image Branch", 15,
                  [](const QTime &now) { return limited(name::image, name::imageBranch, now); }),
    };
    return rows;
}

const QList<Kind> &all(Side side) {
    return side == Side::Command ? commands() : conditions();
}

const Kind *find(Side side, const QString &stored) {
    for (const Kind &k : all(side)) {
        if (k.stored == stored)
            return &k;
    }
    return nullptr;
}

QString menuText(const Kind &kind, bool japanese) {
    return japanese ? kind.japanese : kind.english;
}

const Kind *findByMenuText(Side side, const QString &text, bool japanese) {
    for (const Kind &k : all(side)) {
        if (menuText(k, japanese) == text)
            return &k;
    }
    return nullptr;
}

RecordProblem check(Side side, const QStringList &record) {
    if (record.isEmpty())
        return RecordProblem::Empty;
    const Kind *kind = find(side, record.first());
    if (!kind)
        return RecordProblem::UnknownKind;
    if (record.size() < kind->elements)
        return RecordProblem::TooShort;
    return RecordProblem::None;
}

} // namespace pagekinds
