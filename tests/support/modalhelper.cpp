#include "modalhelper.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace testsupport {

ModalAnswerer::ModalAnswerer() : token_(std::make_shared<bool>(true)) {
    arm();
}

ModalAnswerer::~ModalAnswerer() {
    *token_ = false;
}

void ModalAnswerer::answer(QMessageBox::StandardButton button) {
    actions_.append([button](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            if (QAbstractButton *b = box->button(button)) {
                b->click();
                return;
            }
        }
        w->close();
    });
}

void ModalAnswerer::act(std::function<void(QWidget *)> action) {
    actions_.append(std::move(action));
}

void ModalAnswerer::arm() {
    std::weak_ptr<bool> alive = token_;
    // Polls for as long as the answerer lives; cheap, and it finds boxes that
    // nested event loops open at any time.
    auto *timer = new QTimer(qApp);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [this, alive, timer] {
        if (alive.expired() || !*alive.lock()) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        poll();
    });
    timer->start();
}

void ModalAnswerer::poll() {
    QWidget *w = QApplication::activeModalWidget();
    if (!w || !w->isVisible())
        return;
    if (w->property("testsupport_seen").toBool())
        return;
    w->setProperty("testsupport_seen", true);
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        SeenBox seen;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        if (auto *def = box->defaultButton())
            seen.defaultButton = box->standardButton(def);
        boxes_.append(seen);
    }
    if (!actions_.isEmpty()) {
        auto action = actions_.takeFirst();
        action(w);
        return;
    }
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        // Escape answers with the box's escape button, as a user closing it would.
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &esc);
        if (box->isVisible())
            box->close();
        return;
    }
    w->close();
}

} // namespace testsupport
