#include "pagerecords.h"

#include "keycombination.h"

namespace pagerecords {

namespace {

using pagekinds::Side;

QStringList freshRecord(Side side, const QString &kindString, const QTime &now) {
    const pagekinds::Kind *row = pagekinds::find(side, kindString);
    return row ? row->fresh(now) : QStringList{};
}

QString kindFromMenuText(Side side, const QString &text, bool japanese) {
    const pagekinds::Kind *row = pagekinds::findByMenuText(side, text, japanese);
    return row ? row->stored : text;
}

QString labelOf(Side side, const QString &kindString, bool japanese) {
    const pagekinds::Kind *row = pagekinds::find(side, kindString);
    return row ? pagekinds::menuText(*row, japanese) : QString();
}

} // namespace

QString secondsText(double seconds) {
    return QString::number(seconds, 'g', 6);
}

QStringList newPageCommand() {
    return freshCommandRecord(pagekinds::name::none());
}

QStringList newPageCondition() {
    return freshConditionRecord(pagekinds::name::waitUntilOver(), QTime());
}

QStringList freshCommandRecord(const QString &kindString) {
    return freshRecord(Side::Command, kindString, QTime());
}

QStringList freshConditionRecord(const QString &kindString, const QTime &now) {
    return freshRecord(Side::Condition, kindString, now);
}

QString commandKindFromMenuText(const QString &text, bool japanese) {
    return kindFromMenuText(Side::Command, text, japanese);
}

QString conditionKindFromMenuText(const QString &text, bool japanese) {
    return kindFromMenuText(Side::Condition, text, japanese);
}

QString commandKindLabel(const QString &kindString, bool japanese) {
    return labelOf(Side::Command, kindString, japanese);
}

QString conditionKindLabel(const QString &kindString, bool japanese) {
    return labelOf(Side::Condition, kindString, japanese);
}

QString pageListLabel(const QString &kindString, bool japanese) {
    if (japanese)
        return kindString;
    const pagekinds::Kind *row = pagekinds::find(Side::Command, kindString);
    return row ? row->englishInList : kindString;
}

QString clickSideFromMenuText(const QString &text, bool japanese) {
    if (japanese)
        return text;
    return text == QLatin1String("Right") ? rightSide : leftSide;
}

QString clickSideMenuText(const QString &side, bool japanese) {
    if (japanese)
        return side;
    return side == rightSide ? QStringLiteral("Right") : QStringLiteral("Left");
}

bool isBlankPage(const QStringList &command, const QStringList &condition) {
    return element(command, 0) == pagekinds::name::none() &&
           condition == QStringList{pagekinds::name::time(), QStringLiteral("0.1")};
}

bool isMissingKey(const QString &keyText) {
    // "なし" here is the key text for no key, not the command kind.
    return keyText.isEmpty() || keyText == QStringView(kNoKeyCombination);
}

QString element(const QStringList &record, int index) {
    return record.value(index);
}

void setElement(QStringList &record, int index, const QString &value) {
    while (record.size() <= index)
        record.append(QString());
    record[index] = value;
}

QString pageListText(const PageList &commands, int page, bool japanese) {
    return QStringLiteral("%1.%2").arg(page).arg(
        pageListLabel(element(commands.at(page - 1), 0), japanese));
}

QStringList pageListTexts(const PageList &commands, int currentPage, bool japanese) {
    QStringList texts;
    texts.reserve(commands.size() + 2);
    for (int page = 1; page <= commands.size(); ++page) {
        if (page == currentPage)
            texts.append(plusEntry);
        texts.append(pageListText(commands, page, japanese));
        if (page == currentPage)
            texts.append(plusEntry);
    }
    return texts;
}

int pageNumberOfEntry(const QString &text) {
    const int dot = text.indexOf(QLatin1Char('.'));
    if (dot <= 0)
        return 0;
    bool ok = false;
    const int page = text.left(dot).toInt(&ok);
    return ok && page > 0 ? page : 0;
}

void Project::clampCurrentPage() {
    if (currentPage > pageCount())
        currentPage = pageCount();
    if (currentPage < 1)
        currentPage = 1;
}

void Project::goNext() {
    currentPage += 1;
    if (currentPage > pageCount()) {
        commands.append(newPageCommand());
        conditions.append(newPageCondition());
    }
}

void Project::goPrevious() {
    if (currentPage > 1)
        currentPage -= 1;
}

void Project::insertAtPlusRow(int row) {
    if (currentPage == row + 1) {
        // The "+" above: the new page takes the current page's place.
        commands.insert(currentPage - 1, newPageCommand());
        conditions.insert(currentPage - 1, newPageCondition());
    } else {
        commands.insert(currentPage, newPageCommand());
        conditions.insert(currentPage, newPageCondition());
        currentPage += 1;
    }
}

bool Project::deleteCurrent() {
    if (pageCount() <= 1)
        return false;
    commands.removeAt(currentPage - 1);
    conditions.removeAt(currentPage - 1);
    if (currentPage != 1)
        currentPage -= 1;
    return true;
}

} // namespace pagerecords
