#include "pagerecords.h"

namespace pagerecords {

namespace {

struct KindText {
    const QString &kindString;
    const char *english;
};

// Command kinds in menu order, with their English menu and label texts.
const KindText kCommandKinds[] = {
    {kind::none, "None"},
    {kind::click, "Click"},
    {kind::mousePointer, "Mouse Pointer"},
    {kind::smoothMove, "Smooth Move"},
    {kind::key, "Key"},
    {kind::enterText, "Enter Text"},
};

const KindText kConditionKinds[] = {
    {kind::waitUntilOver, "Wait until over"},
    {kind::time, "Time"},
    {kind::immediately, "Immediately"},
    {kind::click, "Click"},
    {kind::key, "Key"},
    {kind::clockTime, "Clock Time"},
};

template <size_t N> QString kindFromEnglish(const KindText (&table)[N], const QString &text) {
    for (const KindText &k : table) {
        if (text == QLatin1String(k.english))
            return k.kindString;
    }
    return text;
}

template <size_t N>
QString labelOf(const KindText (&table)[N], const QString &kindString, bool japanese) {
    for (const KindText &k : table) {
        if (kindString == k.kindString)
            return japanese ? k.kindString : QString::fromLatin1(k.english);
    }
    return QString();
}

} // namespace

QString secondsText(double seconds) {
    return QString::number(seconds, 'g', 6);
}

QStringList newPageCommand() {
    return {kind::none};
}

QStringList newPageCondition() {
    return {kind::waitUntilOver, QStringLiteral("0.1")};
}

QStringList freshCommandRecord(const QString &kindString) {
    if (kindString == kind::none)
        return {kind::none};
    if (kindString == kind::click)
        return {kind::click, leftSide, QStringLiteral("0.01")};
    if (kindString == kind::mousePointer)
        return {kind::mousePointer, QStringLiteral("0"), QStringLiteral("0")};
    if (kindString == kind::smoothMove)
        return {kind::smoothMove, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1")};
    if (kindString == kind::key)
        return {kind::key, QString(), QStringLiteral("0.01")};
    if (kindString == kind::enterText)
        return {kind::enterText, QString(), QStringLiteral("3")};
    return {};
}

QStringList freshConditionRecord(const QString &kindString, const QTime &now) {
    if (kindString == kind::waitUntilOver)
        return {kind::waitUntilOver, QStringLiteral("0.1")};
    if (kindString == kind::time)
        return {kind::time, QStringLiteral("0.1")};
    if (kindString == kind::immediately)
        return {kind::immediately};
    if (kindString == kind::click)
        return {kind::click, leftSide};
    if (kindString == kind::key)
        return {kind::key, QString()};
    if (kindString == kind::clockTime)
        return {kind::clockTime, QString::number(now.hour()), QString::number(now.minute())};
    return {};
}

QString commandKindFromMenuText(const QString &text, bool japanese) {
    return japanese ? text : kindFromEnglish(kCommandKinds, text);
}

QString conditionKindFromMenuText(const QString &text, bool japanese) {
    return japanese ? text : kindFromEnglish(kConditionKinds, text);
}

QString commandKindLabel(const QString &kindString, bool japanese) {
    return labelOf(kCommandKinds, kindString, japanese);
}

QString conditionKindLabel(const QString &kindString, bool japanese) {
    return labelOf(kConditionKinds, kindString, japanese);
}

QString pageListLabel(const QString &kindString, bool japanese) {
    if (japanese)
        return kindString;
    if (kindString == kind::key)
        return QStringLiteral("key");
    const QString label = commandKindLabel(kindString, false);
    return label.isNull() ? kindString : label;
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
    return element(command, 0) == kind::none &&
           condition == QStringList{kind::time, QStringLiteral("0.1")};
}

bool isMissingKey(const QString &keyText) {
    return keyText.isEmpty() || keyText == kind::none;
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

void applyEditorValues(QStringList &command, QStringList &condition, const EditorValues &values,
                       bool japanese) {
    const QString commandKind = element(command, 0);
    const QString conditionKind = element(condition, 0);
    const QString commandSeconds = secondsText(values.commandSeconds);

    if (commandKind == kind::enterText) {
        setElement(command, 1, values.inputText);
        setElement(command, 2, commandSeconds);
    }
    if (commandKind == kind::click) {
        setElement(command, 2, commandSeconds);
        setElement(command, 1, clickSideFromMenuText(values.commandClickText, japanese));
    }
    if (commandKind == kind::smoothMove) {
        setElement(command, 1, QString::number(values.coordX2));
        setElement(command, 2, QString::number(values.coordY2));
        setElement(command, 3, commandSeconds);
    }
    if (commandKind == kind::key)
        setElement(command, 2, commandSeconds); // the key changes only by capture
    if (conditionKind == kind::time || conditionKind == kind::waitUntilOver)
        setElement(condition, 1, secondsText(values.conditionSeconds));
    if (conditionKind == kind::click)
        setElement(condition, 1, clickSideFromMenuText(values.conditionClickText, japanese));
    if (conditionKind == kind::clockTime) {
        setElement(condition, 1, QString::number(values.hour));
        setElement(condition, 2, QString::number(values.minute));
    }
    if (commandKind == kind::mousePointer) {
        setElement(command, 1, QString::number(values.coordX));
        setElement(command, 2, QString::number(values.coordY));
    }
}

} // namespace pagerecords
