#pragma once

// Each widget's text is registered once, where the widget is made, with the
// UiText that holds it in both languages; a language change (or Help Mode
// turned on or off) replays the registrations. A text that is not registered
// cannot follow the language, which a test of the whole window checks.

#include "core/uitext.h"

#include <functional>
#include <vector>

class QComboBox;

class TextBindings {
public:
    using Setter = std::function<void(const QString &)>;

    // Writes the Japanese text at once and the chosen language at every apply.
    void bind(const UiText &text, Setter set);
    // A Help Mode tooltip: written while Help Mode is on, cleared while off.
    void bindTip(const UiText &text, Setter set);

    template <class W> W *text(W *widget, const UiText &text) {
        bind(text, [widget](const QString &s) { widget->setText(s); });
        return widget;
    }
    template <class W> W *title(W *widget, const UiText &text) {
        bind(text, [widget](const QString &s) { widget->setTitle(s); });
        return widget;
    }
    template <class W> void tip(W *widget, const UiText &text) {
        bindTip(text, [widget](const QString &s) { widget->setToolTip(s); });
    }
    // Appends one item per text; renaming them later keeps the current index
    // and tells nobody.
    void items(QComboBox *combo, const UiText *texts, int count);

    void apply(bool japanese, bool help) const;

private:
    struct Entry {
        const UiText *text;
        Setter set;
        bool tip;
    };
    std::vector<Entry> entries_;
};
