#pragma once

// Answers modal dialogs that a slot under test opens: a zero-delay timer
// looks for the active modal widget and acts on it, so the test's call into
// the slot returns.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace testsupport {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButtons buttons;
};

class ModalAnswerer {
public:
    ModalAnswerer();
    ~ModalAnswerer();

    // Queue one answer for the next message box. Each box that appears takes
    // the next queued answer; with none queued the box is closed with Escape.
    void answer(QMessageBox::StandardButton button);
    // Queue an arbitrary action on the next modal widget (a QFileDialog, a
    // QDialog subclass, ...).
    void act(std::function<void(QWidget *)> action);

    const QList<SeenBox> &boxes() const { return boxes_; }
    int count() const { return boxes_.size(); }
    SeenBox last() const { return boxes_.isEmpty() ? SeenBox{} : boxes_.last(); }
    void clear() { boxes_.clear(); }

private:
    void arm();
    void poll();

    QList<std::function<void(QWidget *)>> actions_;
    QList<SeenBox> boxes_;
    bool armed_ = false;
    std::shared_ptr<bool> token_;
};

} // namespace testsupport
