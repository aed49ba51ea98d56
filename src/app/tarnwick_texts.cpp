#include "tarnwick.h"

#include "uitexts.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>

Q_LOGGING_CATEGORY(lcTexts, "tarnwick.texts")

namespace {

// Item texts change in place, by index: the count, the current index and the
// page data stay, and nobody hears a change.
void renameItems(QComboBox *combo, const UiText *items, int count, bool japanese) {
    const QSignalBlocker blocker(combo);
    for (int i = 0; i < count && i < combo->count(); ++i)
        combo->setItemText(i, items[i].in(japanese));
}

} // namespace

void tarnwick::changeLanguage() {
    using namespace uitexts;
    qCDebug(lcTexts) << "言語変更";
    const bool ja = is_japanese;

    textBindings.apply(ja, is_help);
    renameItems(commandCombo, commandKinds, 6, ja);
    renameItems(conditionCombo, conditionKinds, 6, ja);

    // The page list, the counter and the two labels are the editor's to write.
    if (editorOpen)
        refreshPage();
}

void tarnwick::toggleLanguage() {
    is_japanese = !is_japanese;
    changeLanguage();
}

void tarnwick::onHelpModeTriggered(bool checked) {
    is_help = checked;
    changeLanguage();
}
