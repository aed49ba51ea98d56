// Tk's send channel is asked only where the registry's entry still names a
// live Tk application: a window that took a dead application's id, or one a
// forged entry points at, never gets our messages on its Comm property. The
// focused client here is this test's own connection, with a window that
// answers no ping and a second window standing for its comm window.

#include "platform/inputlayer.h"
#include "support/systeminput.h"

#include <QApplication>
#include <QTest>

#include <atomic>
#include <string>
#include <thread>

// Last: Xlib's macros (None, Bool, Status) would clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

class X11ClientSyncTest : public QObject {
    Q_OBJECT

    testsupport::SystemInput layer_;
    Display *display_ = nullptr;

private slots:
    void initTestCase() {
        std::string error;
        QVERIFY2(layer_.install(error), error.c_str());
        display_ = XOpenDisplay(nullptr);
        QVERIFY(display_);
    }
    void cleanupTestCase() {
        layer_.reset();
        if (display_)
            XCloseDisplay(display_);
    }

    void commWindowIsCheckedBeforeUse_data() {
        QTest::addColumn<QByteArray>("names"); // TK_APPLICATION, empty: none
        QTest::addColumn<bool>("asked");
        QTest::newRow("the registered application") << QByteArray("{tarnwick test}") << true;
        QTest::newRow("one of the window's applications")
            << QByteArray("wish {tarnwick test} other") << true;
        QTest::newRow("not a Tk window (its id reused)") << QByteArray() << false;
        QTest::newRow("another application (a forged entry)") << QByteArray("other") << false;
        QTest::newRow("a longer name") << QByteArray("{tarnwick test #2}") << false;
    }
    void commWindowIsCheckedBeforeUse() {
        QFETCH(QByteArray, names);
        QFETCH(bool, asked);
        const Window root = DefaultRootWindow(display_);
        const Atom registry = XInternAtom(display_, "InterpRegistry", False);
        const Atom comm = XInternAtom(display_, "Comm", False);
        const Atom appName = XInternAtom(display_, "TK_APPLICATION", False);

        const Window focus = XCreateSimpleWindow(display_, root, 100, 100, 300, 200, 0, 0, 0);
        const Window commWindow = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
        XMapWindow(display_, focus);
        if (!names.isEmpty())
            XChangeProperty(display_, commWindow, appName, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(names.constData()),
                            names.size());
        XSelectInput(display_, commWindow, PropertyChangeMask);

        // Our entry first, the registry as it was kept behind it.
        QByteArray previous;
        {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char *data = nullptr;
            if (XGetWindowProperty(display_, root, registry, 0, 1 << 16, False, XA_STRING, &type,
                                   &format, &count, &after, &data) == Success &&
                data) {
                previous = QByteArray(reinterpret_cast<const char *>(data), int(count));
                XFree(data);
            }
        }
        QByteArray entries = QByteArray::number(qulonglong(commWindow), 16) + " tarnwick test";
        entries.append('\0');
        entries += previous;
        XChangeProperty(display_, root, registry, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(entries.constData()),
                        entries.size());
        XSync(display_, False);
        QTest::qWait(100); // mapped
        XSetInputFocus(display_, focus, RevertToPointerRoot, CurrentTime);
        XSync(display_, False);

        // Characters no key carries, new in each row: each is bound first,
        // and a binding asks the focused client whether it has read the keys
        // before.
        static char16_t next = u'\u4E00';
        std::atomic<bool> done{false};
        std::thread typist([this, &done] {
            for (int i = 0; i < 3; ++i, ++next) {
                layer_->unicodeDown(next);
                layer_->unicodeUp(next);
            }
            done = true;
        });
        while (!done)
            QTest::qWait(5);
        typist.join();
        QTest::qWait(300);

        int messages = 0;
        XSync(display_, False);
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == PropertyNotify && event.xproperty.window == commWindow &&
                event.xproperty.atom == comm && event.xproperty.state == PropertyNewValue)
                ++messages;
        }

        if (previous.isEmpty())
            XDeleteProperty(display_, root, registry);
        else
            XChangeProperty(display_, root, registry, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(previous.constData()),
                            previous.size());
        XDestroyWindow(display_, commWindow);
        XDestroyWindow(display_, focus);
        XSync(display_, False);
        QCOMPARE(messages > 0, asked);
    }
};

QTEST_MAIN(X11ClientSyncTest)
#include "x11_clientsync.moc"
