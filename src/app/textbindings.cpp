#include "textbindings.h"

#include <QComboBox>
#include <QSignalBlocker>

void TextBindings::bind(const UiText &text, Setter set) {
    set(text.japanese());
    entries_.push_back({&text, std::move(set), false});
}

void TextBindings::bindTip(const UiText &text, Setter set) {
    entries_.push_back({&text, std::move(set), true});
}

void TextBindings::items(QComboBox *combo, const UiText *texts, int count) {
    for (int i = 0; i < count; ++i) {
        const int index = combo->count();
        combo->addItem(QString());
        bind(texts[i], [combo, index](const QString &s) {
            const QSignalBlocker blocker(combo);
            combo->setItemText(index, s);
        });
    }
}

void TextBindings::apply(bool japanese, bool help) const {
    for (const Entry &e : entries_)
        e.set(e.tip && !help ? QString() : e.text->in(japanese));
}
