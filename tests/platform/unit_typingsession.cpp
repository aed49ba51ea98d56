// Typing sessions: code units become the characters X types (pairs joined,
// CR LF one line break), the announced text is followed as typing goes, and
// two threads typing at once keep their own halves and line breaks.

#include "platform/desktop/typingsession.h"

#include <QTest>

#include <condition_variable>
#include <mutex>
#include <thread>

using namespace platform::desktop;

Q_DECLARE_METATYPE(std::u16string)
Q_DECLARE_METATYPE(std::u32string)

namespace {

std::u32string typedBy(TypingSession &session, const std::u16string &units) {
    std::u32string out;
    for (char16_t u : units) {
        char32_t cp = 0;
        if (session.take(u, cp))
            out.push_back(cp);
    }
    return out;
}

} // namespace

class TypingSessionTest : public QObject {
    Q_OBJECT
private slots:
    void characters_data();
    void characters();
    void announcementFollowsTyping_data();
    void announcementFollowsTyping();
    void threadsKeepTheirOwnState_data();
    void threadsKeepTheirOwnState();
};

void TypingSessionTest::characters_data() {
    QTest::addColumn<std::u16string>("units");
    QTest::addColumn<std::u32string>("characters");
    QTest::newRow("plain") << std::u16string(u"ab") << std::u32string(U"ab");
    QTest::newRow("surrogate pair")
        << std::u16string(u"a\U0001F600b") << std::u32string(U"a\U0001F600b");
    QTest::newRow("CR LF is one break") << std::u16string(u"a\r\nb") << std::u32string(U"a\rb");
    QTest::newRow("LF alone") << std::u16string(u"a\n\nb") << std::u32string(U"a\n\nb");
    QTest::newRow("CR CR LF") << std::u16string(u"\r\r\n") << std::u32string(U"\r\r");
    QTest::newRow("lone second half") << std::u16string(u"a\xDE00"
                                                        u"b")
                                      << std::u32string(U"ab");
    QTest::newRow("first half without its second") << std::u16string(u"\xD83D"
                                                                     u"b")
                                                   << std::u32string(U"b");
}

void TypingSessionTest::characters() {
    QFETCH(std::u16string, units);
    QFETCH(std::u32string, characters);
    TypingSession session;
    QVERIFY(typedBy(session, units) == characters);
    QCOMPARE(session.idle(), units.back() != u'\r');
}

void TypingSessionTest::announcementFollowsTyping_data() {
    QTest::addColumn<std::u16string>("announced");
    QTest::addColumn<std::u16string>("typed");
    QTest::addColumn<std::u32string>("ahead");
    QTest::addColumn<int>("progress");
    const std::u16string text = u"a\U0001F600\r\nb";
    QTest::newRow("as announced") << text << text << std::u32string(U"a\U0001F600\rb") << 4;
    QTest::newRow("part of it") << text << std::u16string(u"a\U0001F600")
                                << std::u32string(U"a\U0001F600\rb") << 2;
    QTest::newRow("something else") << text << std::u16string(u"ax") << std::u32string() << 0;
}

void TypingSessionTest::announcementFollowsTyping() {
    QFETCH(std::u16string, announced);
    QFETCH(std::u16string, typed);
    QFETCH(std::u32string, ahead);
    QFETCH(int, progress);
    TypingSession session;
    session.announce(announced.data(), announced.size());
    QVERIFY(!session.idle());
    for (char32_t cp : typedBy(session, typed))
        session.follow(cp);
    QVERIFY(session.ahead() == ahead);
    QCOMPARE(int(session.typed()), progress);
}

void TypingSessionTest::threadsKeepTheirOwnState_data() {
    QTest::addColumn<std::u16string>("first");
    QTest::addColumn<std::u16string>("second");
    QTest::newRow("surrogate pairs")
        << std::u16string(u"\U0001F600\U0001F601") << std::u16string(u"\U00020000\U00020001");
    // The first thread's CR must not swallow the second one's LF.
    QTest::newRow("CR LF against LF") << std::u16string(u"\r\n\r\n") << std::u16string(u"\n\n\n\n");
    QTest::newRow("pairs against CR LF")
        << std::u16string(u"\U0001F600\r\n") << std::u16string(u"\r\n\U0001F601");
}

void TypingSessionTest::threadsKeepTheirOwnState() {
    QFETCH(std::u16string, first);
    QFETCH(std::u16string, second);
    QCOMPARE(first.size(), second.size()); // they take turns to the end
    // The two threads take turns unit by unit, under one lock as the layer
    // holds its mutex, each announcing its text first.
    TypingSessions sessions;
    std::mutex mutex;
    std::condition_variable turnChanged;
    int turn = 0;
    std::u32string got[2];
    size_t progress[2] = {};
    auto typist = [&](int me, const std::u16string &text) {
        const std::thread::id self = std::this_thread::get_id();
        {
            std::unique_lock<std::mutex> lock(mutex);
            turnChanged.wait(lock, [&] { return turn % 2 == me; });
            sessions.of(self).announce(text.data(), text.size());
            ++turn;
            turnChanged.notify_all();
        }
        for (char16_t u : text) {
            std::unique_lock<std::mutex> lock(mutex);
            turnChanged.wait(lock, [&] { return turn % 2 == me; });
            TypingSession &session = sessions.of(self);
            char32_t cp = 0;
            if (session.take(u, cp)) {
                session.follow(cp);
                got[me].push_back(cp);
            }
            progress[me] = session.typed();
            sessions.endIfIdle(self);
            ++turn;
            turnChanged.notify_all();
        }
    };
    std::thread a(typist, 0, first);
    std::thread b(typist, 1, second);
    a.join();
    b.join();
    for (int me = 0; me < 2; ++me) {
        TypingSession alone;
        const std::u16string &text = me ? second : first;
        const std::u32string expected = typedBy(alone, text);
        QVERIFY2(got[me] == expected, me ? "second thread" : "first thread");
        // Each followed its own announcement to the end.
        QCOMPARE(progress[me], expected.size());
    }
}

QTEST_GUILESS_MAIN(TypingSessionTest)
#include "unit_typingsession.moc"
