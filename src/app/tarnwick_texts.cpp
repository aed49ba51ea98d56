#include "tarnwick.h"

#include "uitexts.h"

#include "core/pagekinds.h"

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

// The kind menus by the registry rows their items carry; texts change in
// place, so the current index and the page data stay and nobody hears a change.
void renameKindItems(QComboBox *combo, pagekinds::Side side, bool japanese) {
    const QSignalBlocker blocker(combo);
    for (int i = 0; i < combo->count(); ++i) {
        if (const pagekinds::Kind *kind = pagekinds::find(side, combo->itemData(i).toString()))
            combo->setItemText(i, pagekinds::menuText(*kind, japanese));
    }
}

} // namespace

void tarnwick::changeLanguage() {
    qCDebug(lcTexts) << "言語変更";
    const bool ja = settings.is_japanese;

    textBindings.apply(ja, settings.is_help);
    renameKindItems(commandCombo, pagekinds::Side::Command, ja);
    renameKindItems(conditionCombo, pagekinds::Side::Condition, ja);

    // The page list, the counter and the two labels are the editor's to write.
    if (editorOpen)
        refreshPage();
}

void tarnwick::toggleLanguage() {
    settings.is_japanese = !settings.is_japanese;
    changeLanguage();
}

void tarnwick::onHelpModeTriggered(bool checked) {
    settings.is_help = checked;
    changeLanguage();
}
