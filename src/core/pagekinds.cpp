#include "pagekinds.h"

namespace pagekinds {
namespace {

QStringList fixed(std::initializer_list<QString> values) {
    return QStringList(values);
}

Kind command(const char16_t *stored, const char *english, const char *inList, int elements,
             QStringList (*fresh)(const QTime &)) {
    Kind k;
    k.side = Side::Command;
    k.stored = QString::fromUtf16(stored);
    k.japanese = k.stored;
    k.english = QString::fromLatin1(english);
    k.englishInList = QString::fromLatin1(inList);
    k.elements = elements;
    k.fresh = fresh;
    return k;
}

Kind condition(const char16_t *stored, const char *english, int elements,
               QStringList (*fresh)(const QTime &)) {
    Kind k = command(stored, english, english, elements, fresh);
    k.side = Side::Condition;
    return k;
}

} // namespace

const QList<Kind> &commands() {
    static const QList<Kind> rows{
        command(u"なし", "None", "None", 1,
                [](const QTime &) { return fixed({QStringLiteral("なし")}); }),
        command(u"クリック", "Click", "Click", 3,
                [](const QTime &) {
                    return fixed(
                        {QStringLiteral("クリック"), QStringLiteral("左"), QStringLiteral("0.01")});
                }),
        command(u"マウスポインター", "Mouse Pointer", "Mouse Pointer", 3,
                [](const QTime &) {
                    return fixed({QStringLiteral("マウスポインター"), QStringLiteral("0"),
                                  QStringLiteral("0")});
                }),
        command(u"スムーズムーブ", "Smooth Move", "Smooth Move", 4,
                [](const QTime &) {
                    return fixed({QStringLiteral("スムーズムーブ"), QStringLiteral("0"),
                                  QStringLiteral("0"), QStringLiteral("1")});
                }),
        command(u"キー", "Key", "key", 3,
                [](const QTime &) {
                    return fixed({QStringLiteral("キー"), QString(), QStringLiteral("0.01")});
                }),
        command(u"入力", "Enter Text", "Enter Text", 3,
                [](const QTime &) {
                    return fixed({QStringLiteral("入力"), QString(), QStringLiteral("3")});
                }),
    };
    return rows;
}

const QList<Kind> &conditions() {
    static const QList<Kind> rows{
        condition(u"終わるまで待つ", "Wait until over", 2,
                  [](const QTime &) {
                      return fixed({QStringLiteral("終わるまで待つ"), QStringLiteral("0.1")});
                  }),
        condition(u"時間", "Time", 2,
                  [](const QTime &) {
                      return fixed({QStringLiteral("時間"), QStringLiteral("0.1")});
                  }),
        condition(u"即時", "Immediately", 1,
                  [](const QTime &) { return fixed({QStringLiteral("即時")}); }),
        condition(u"クリック", "Click", 2,
                  [](const QTime &) {
                      return fixed({QStringLiteral("クリック"), QStringLiteral("左")});
                  }),
        condition(u"キー", "Key", 2,
                  [](const QTime &) {
                      return fixed({QStringLiteral("キー"), QString()});
                  }),
        condition(u"時刻", "Clock Time", 3,
                  [](const QTime &now) {
                      return fixed({QStringLiteral("時刻"), QString::number(now.hour()),
                                    QString::number(now.minute())});
                  }),
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
