#pragma once

// The editable title box of the window pages: its list is the titles of the
// windows open when it is opened, so it is filled again just before it
// drops down.

#include <QComboBox>

#include <functional>

class WindowTitleCombo : public QComboBox {
public:
    using QComboBox::QComboBox;

    std::function<void()> beforePopup;

    void showPopup() override {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};
