// The key binder without X: a fake keyboard map records every write, a fake
// client answers questions after a while (or never). A keycode must never
// get a new binding before the client has read the keys sent through it,
// whatever the client's pace; bindings are reused, written in blocks,
// undone to what the map had, and a keycode another client took is left
// alone.

#include "platform/x11/x11keybinder.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>

using namespace platform::x11;
using Row = std::array<unsigned long, 4>;

namespace {

constexpr unsigned long kF12 = 0xFFC9;
constexpr unsigned long kF20 = 0xFFD1;
constexpr unsigned long kF21 = 0xFFD2;

unsigned long kanji(int i) {
    return 0x1000000 | static_cast<unsigned long>(0x4E00 + i * 7);
}

// A client that answers a question after `delay` polls (-1: never) and is
// given `timeout` when it has not answered.
class FakeClient final : public ClientSync {
public:
    int delay = 1;
    std::chrono::milliseconds timeout{std::chrono::hours(1)};
    Clock::time_point caughtUpTo{};
    int asked = 0;

    Clock::time_point safeFrom(Clock::time_point lastUse) const override {
        return lastUse <= caughtUpTo ? lastUse : lastUse + timeout;
    }
    void ask(Clock::time_point lastUse) override {
        if (lastUse <= caughtUpTo)
            return;
        for (const Question &q : open_)
            if (q.sentAt >= lastUse)
                return;
        open_.push_back({Clock::now(), delay});
        ++asked;
    }
    void probe() override {}
    void poll() override {
        for (auto it = open_.begin(); it != open_.end();) {
            if (it->pollsLeft >= 0 && --it->pollsLeft <= 0) {
                caughtUpTo = std::max(caughtUpTo, it->sentAt);
                it = open_.erase(it);
            } else {
                ++it;
            }
        }
    }

private:
    struct Question {
        Clock::time_point sentAt;
        int pollsLeft;
    };
    std::vector<Question> open_;
};

// Keycodes 8 to 20; those listed as spare start empty, the rest carry F12.
class FakeMap final : public MapWriter {
public:
    struct Write {
        std::vector<int> keycodes;
        bool block; // one change for all of them
    };
    std::map<int, Row> rows;
    bool four = true;
    std::set<unsigned long> onMap; // keysyms the map types with its own keys
    std::vector<Write> writes;
    std::vector<std::pair<int, int>> clears;
    // Called before a keycode's row changes.
    std::function<void(int keycode, const Row &next)> beforeChange;

    explicit FakeMap(const std::vector<int> &spare) {
        for (int kc = 8; kc <= 20; ++kc)
            rows[kc] = Row{kF12, 0, 0, 0};
        for (int kc : spare)
            rows[kc] = Row{};
    }
    void refresh() override {}
    std::vector<int> emptyKeycodes() const override {
        std::vector<int> out;
        for (const auto &r : rows)
            if (r.second == Row{})
                out.push_back(r.first);
        return out;
    }
    unsigned long keysymAt(int keycode, int level) const override {
        auto it = rows.find(keycode);
        return it == rows.end() ? 0 : it->second[static_cast<size_t>(level)];
    }
    // What a key at `level` types: a two-level key ignores the level-3 shift.
    static unsigned long typed(const Row &row, int level) {
        return row[2] ? row[static_cast<size_t>(level)] : row[static_cast<size_t>(level % 2)];
    }
    bool fourLevels() const override { return four; }
    bool typesWithoutBinding(unsigned long keysym) override { return onMap.count(keysym) > 0; }
    bool writeRows(const std::vector<KeyRow> &list) override {
        Write w{{}, true};
        for (const KeyRow &row : list) {
            change(row.keycode, Row{row.syms[0], row.syms[1], row.fourLevel ? row.syms[2] : 0,
                                    row.fourLevel ? row.syms[3] : 0});
            w.keycodes.push_back(row.keycode);
        }
        writes.push_back(w);
        return true;
    }
    void writeTwoLevels(const KeyRow &row) override {
        change(row.keycode, Row{row.syms[0], row.syms[1], 0, 0});
        writes.push_back({{row.keycode}, false});
    }
    void clearRows(int first, int count) override {
        for (int kc = first; kc < first + count; ++kc)
            change(kc, Row{});
        clears.emplace_back(first, count);
    }
    void sync() override {}

private:
    void change(int keycode, const Row &next) {
        if (beforeChange)
            beforeChange(keycode, next);
        rows[keycode] = next;
    }
};

// Types keysyms through the binder as the layer does: a block where the
// text ahead is known, else one binding; each key goes down and up.
class Typist {
public:
    Typist(FakeMap &map, FakeClient &client) : map_(map), client_(client), binder_(map, client) {
        binder_.adoptSpareKeycodes();
        // What a level of a keycode types may change only once the client
        // read the last key sent through it, or once it was given its time.
        map_.beforeChange = [this](int keycode, const Row &next) {
            const Row &now = map_.rows[keycode];
            for (int level = 0; level < 4; ++level) {
                auto sent = lastKeyAt_.find({keycode, level});
                if (sent == lastKeyAt_.end() ||
                    FakeMap::typed(now, level) == FakeMap::typed(next, level))
                    continue;
                const bool answered = sent->second <= client_.caughtUpTo;
                const bool timedOut = Clock::now() >= sent->second + client_.timeout;
                if (!answered && !timedOut)
                    early << keycode;
            }
        };
    }
    KeyBinder &binder() { return binder_; }

    // Returns the slot the key went through, -1 if none.
    int type(unsigned long keysym, const std::u32string *ahead = nullptr, size_t from = 0,
             bool release = true) {
        std::unique_lock<std::mutex> lock(mutex_);
        int slot = -2;
        if (ahead)
            slot = binder_.bindBlock(lock, keysym, *ahead, from);
        if (slot == -2)
            slot = binder_.bind(lock, keysym, false);
        if (slot < 0)
            return slot;
        const KeyBinder::Slot &s = binder_.slot(slot);
        // The key goes out with its binding in place.
        if (FakeMap::typed(map_.rows[s.keycode], s.level) != keysym)
            wrongKeys << s.keycode;
        binder_.press(slot, false);
        lastKeyAt_[{s.keycode, s.level}] = Clock::now();
        if (release)
            binder_.release(slot);
        return slot;
    }
    void restore() {
        std::unique_lock<std::mutex> lock(mutex_);
        binder_.restore(lock, true);
    }
    // Holds a key the map lacks, as keyDown does: unshifted, for as long as
    // it is held.
    int holdKey(unsigned long keysym) {
        std::unique_lock<std::mutex> lock(mutex_);
        const int slot = binder_.bind(lock, keysym, true);
        if (slot >= 0)
            binder_.press(slot, true);
        return slot;
    }

    QList<int> early;     // keycodes changed before their keys were read
    QList<int> wrongKeys; // keys sent while their keycode had another binding

private:
    FakeMap &map_;
    FakeClient &client_;
    KeyBinder binder_;
    std::mutex mutex_;
    std::map<std::pair<int, int>, Clock::time_point> lastKeyAt_; // keycode, level
};

std::u32string text(int count) {
    std::u32string out;
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<char32_t>(kanji(i) & 0xFFFFFF));
    return out;
}

} // namespace

class X11KeyBinderTest : public QObject {
    Q_OBJECT
private slots:
    void noRebindBeforeTheClientRead_data();
    void noRebindBeforeTheClientRead();
    void boundCharacterIsReused_data();
    void boundCharacterIsReused();
    void blockFillsFreeKeycodesInOneWrite_data();
    void blockFillsFreeKeycodesInOneWrite();
    void restoreWritesBackTheOriginalRows_data();
    void restoreWritesBackTheOriginalRows();
    void foreignKeycodeIsNeverWrittenAgain_data();
    void foreignKeycodeIsNeverWrittenAgain();
    void heldKeyOnAForeignKeycode_data();
    void heldKeyOnAForeignKeycode();
    void heldKeyKeepsItsBinding_data();
    void heldKeyKeepsItsBinding();
};

void X11KeyBinderTest::noRebindBeforeTheClientRead_data() {
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<bool>("four");
    const int never = 3600 * 1000;
    QTest::newRow("quick client, one at a time") << 1 << never << false << true;
    QTest::newRow("slow client, one at a time") << 15 << never << false << true;
    QTest::newRow("slow client, blocks") << 15 << never << true << true;
    QTest::newRow("slow client, blocks, two levels") << 15 << never << true << false;
    QTest::newRow("silent client is given its time") << -1 << 20 << false << true;
    QTest::newRow("silent client, blocks") << -1 << 20 << true << true;
}

void X11KeyBinderTest::noRebindBeforeTheClientRead() {
    QFETCH(int, delay);
    QFETCH(int, timeoutMs);
    QFETCH(bool, announced);
    QFETCH(bool, four);
    FakeMap map({10, 11, 13});
    map.four = four;
    FakeClient client;
    client.delay = delay;
    client.timeout = std::chrono::milliseconds(timeoutMs);
    Typist typist(map, client);
    // Far more different characters than there are slots, then again.
    const std::u32string ahead = text(40) + text(40);
    for (size_t i = 0; i < ahead.size(); ++i)
        QVERIFY(typist.type(0x1000000 | ahead[i], announced ? &ahead : nullptr, i + 1) >= 0);
    QVERIFY(map.writes.size() > 3); // keycodes were bound again and again
    QCOMPARE(typist.early, QList<int>());
    QCOMPARE(typist.wrongKeys, QList<int>());
    if (delay >= 0)
        QVERIFY(client.asked > 0);
    // Only spare keycodes were written.
    for (const FakeMap::Write &w : map.writes)
        for (int kc : w.keycodes)
            QVERIFY2(kc == 10 || kc == 11 || kc == 13, qPrintable(QString::number(kc)));
}

void X11KeyBinderTest::boundCharacterIsReused_data() {
    QTest::addColumn<qulonglong>("first");
    QTest::addColumn<qulonglong>("again");
    QTest::addColumn<int>("level");
    QTest::newRow("the same character") << qulonglong(kanji(1)) << qulonglong(kanji(1)) << -1;
    // é and É: a letter's two cases are bound together, on the two levels
    // of one keycode that Shift picks.
    QTest::newRow("a letter's other case") << 0xE9ull << 0xC9ull << 1;
    QTest::newRow("and back") << 0xC9ull << 0xE9ull << 0;
}

void X11KeyBinderTest::boundCharacterIsReused() {
    QFETCH(qulonglong, first);
    QFETCH(qulonglong, again);
    QFETCH(int, level);
    FakeMap map({10, 11});
    FakeClient client;
    client.delay = -1; // a wait for an answer would never end
    Typist typist(map, client);
    const int slot = typist.type(first);
    QVERIFY(slot >= 0);
    QCOMPARE(map.writes.size(), size_t(1));
    const int keycode = typist.binder().slot(slot).keycode;
    const int reused = typist.type(again);
    QVERIFY(reused >= 0);
    QCOMPARE(map.writes.size(), size_t(1)); // no map change for it
    QCOMPARE(typist.binder().slot(reused).keycode, keycode);
    if (level >= 0)
        QCOMPARE(typist.binder().slot(reused).level, level);
    else
        QCOMPARE(reused, slot);
    QCOMPARE(typist.wrongKeys, QList<int>());
}

void X11KeyBinderTest::blockFillsFreeKeycodesInOneWrite_data() {
    QTest::addColumn<bool>("four");
    QTest::addColumn<int>("perBlock");
    // Three spare keycodes, 10, 11 and 13 (12 is the map's).
    QTest::newRow("four levels") << true << 12;
    QTest::newRow("two levels") << false << 6;
}

void X11KeyBinderTest::blockFillsFreeKeycodesInOneWrite() {
    QFETCH(bool, four);
    QFETCH(int, perBlock);
    FakeMap map({10, 11, 13});
    map.four = four;
    // A character the map has, and one repeated, take no slot of their own.
    const unsigned long onMap = kanji(3);
    map.onMap.insert(onMap);
    std::u32string ahead = text(30);
    ahead.insert(ahead.begin() + 2, static_cast<char32_t>(kanji(0) & 0xFFFFFF));
    FakeClient client;
    Typist typist(map, client);
    QVERIFY(typist.type(0x1000000 | ahead[0], &ahead, 1) >= 0);
    QCOMPARE(map.writes.size(), size_t(1));
    QVERIFY(map.writes[0].block);
    QCOMPARE(map.writes[0].keycodes, (std::vector<int>{10, 11, 13}));
    // Every character of the block is in place: typing it writes nothing.
    std::set<unsigned long> bound;
    for (const auto &r : map.rows)
        for (unsigned long sym : r.second)
            if (sym && sym != kF12)
                bound.insert(sym);
    QCOMPARE(int(bound.size()), perBlock);
    QVERIFY(!bound.count(onMap));
    size_t typed = 1;
    for (; typed < ahead.size() && bound.count(0x1000000 | ahead[typed]); ++typed)
        QVERIFY(typist.type(0x1000000 | ahead[typed], &ahead, typed + 1) >= 0);
    QCOMPARE(map.writes.size(), size_t(1));
    // The first character not bound is the map's own.
    QCOMPARE(0x1000000ul | ahead[typed], onMap);
    QCOMPARE(typist.wrongKeys, QList<int>());
}

void X11KeyBinderTest::restoreWritesBackTheOriginalRows_data() {
    QTest::addColumn<bool>("oneHeld");
    QTest::newRow("all let go") << false;
    QTest::newRow("one still held") << true;
}

void X11KeyBinderTest::restoreWritesBackTheOriginalRows() {
    QFETCH(bool, oneHeld);
    FakeMap map({10, 11, 12, 14});
    map.four = false;
    const std::map<int, Row> before = map.rows;
    FakeClient client;
    client.delay = 5;
    Typist typist(map, client);
    std::vector<int> used;
    for (int i = 0; i < 8; ++i) {
        const bool hold = oneHeld && i == 0;
        const int slot = typist.type(kanji(i), nullptr, 0, !hold);
        QVERIFY(slot >= 0);
        used.push_back(typist.binder().slot(slot).keycode);
    }
    typist.restore();
    QCOMPARE(typist.early, QList<int>()); // undone only once the client read the keys
    if (!oneHeld) {
        QVERIFY(map.rows == before);
        // One request per run of consecutive keycodes.
        QCOMPARE(map.clears, (std::vector<std::pair<int, int>>{{10, 3}, {14, 1}}));
        QVERIFY(!typist.binder().anyRestorable());
        return;
    }
    // The held key's keycode keeps its binding; the rest is as before.
    const int heldKeycode = used.front();
    QCOMPARE(map.rows[heldKeycode][0], kanji(0));
    for (const auto &r : before)
        if (r.first != heldKeycode)
            QCOMPARE(map.rows[r.first], r.second);
}

void X11KeyBinderTest::foreignKeycodeIsNeverWrittenAgain_data() {
    QTest::addColumn<bool>("carriedOurs");
    QTest::newRow("keycode with our binding") << true;
    QTest::newRow("keycode we had not used") << false;
}

void X11KeyBinderTest::foreignKeycodeIsNeverWrittenAgain() {
    QFETCH(bool, carriedOurs);
    FakeMap map({10, 11, 12});
    map.four = false;
    FakeClient client;
    Typist typist(map, client);
    QVERIFY(typist.type(kanji(0)) >= 0);
    const int ours = typist.binder().slot(typist.binder().slotWithKeysym(kanji(0), false)).keycode;
    const int foreign = carriedOurs ? ours : (ours == 12 ? 11 : 12);
    // Another client binds the keycode (xmodmap); the binder reads the map again.
    map.rows[foreign] = Row{kF20, kF21, 0, 0};
    typist.binder().adoptSpareKeycodes();
    QVERIFY(std::find(typist.binder().spare().begin(), typist.binder().spare().end(), foreign) ==
            typist.binder().spare().end());
    bool touched = false;
    map.beforeChange = [&touched, foreign](int keycode, const Row &) {
        touched = touched || keycode == foreign;
    };
    const std::u32string ahead = text(20);
    for (size_t i = 0; i < ahead.size(); ++i)
        QVERIFY(typist.type(0x1000000 | ahead[i], &ahead, i + 1) >= 0);
    for (int i = 0; i < 20; ++i)
        QVERIFY(typist.type(kanji(40 + i)) >= 0);
    typist.restore();
    QVERIFY(!touched);
    QCOMPARE(map.rows[foreign], (Row{kF20, kF21, 0, 0}));
    QCOMPARE(typist.binder().slotWithKeysym(kF20, false), -1);
}

void X11KeyBinderTest::heldKeyOnAForeignKeycode_data() {
    QTest::addColumn<bool>("releaseAll");
    QTest::newRow("its key comes up") << false;
    QTest::newRow("everything is let go") << true;
}

void X11KeyBinderTest::heldKeyOnAForeignKeycode() {
    QFETCH(bool, releaseAll);
    // Another client binds the keycode of a character we hold. Once it comes
    // up nothing of ours is left there to undo: the restorer, which runs
    // while anything is, would otherwise go round for ever.
    FakeMap map({10});
    map.four = false;
    FakeClient client;
    Typist typist(map, client);
    const int slot = typist.type(kanji(0), nullptr, 0, false);
    QVERIFY(slot >= 0);
    map.rows[10] = Row{kF20, kF21, 0, 0};
    typist.binder().adoptSpareKeycodes();
    QVERIFY(!typist.binder().anyRestorable()); // held
    if (releaseAll)
        typist.binder().releaseAll();
    else
        typist.binder().release(slot);
    QVERIFY(!typist.binder().anyRestorable());
    typist.restore();
    QCOMPARE(map.clears.size(), size_t(0));
    QCOMPARE(map.rows[10], (Row{kF20, kF21, 0, 0}));
}

void X11KeyBinderTest::heldKeyKeepsItsBinding_data() {
    QTest::addColumn<bool>("forKey");
    QTest::addColumn<bool>("announced");
    QTest::newRow("a key held through keyDown, blocks") << true << true;
    QTest::newRow("a key held through keyDown, one at a time") << true << false;
    QTest::newRow("a character held, blocks") << false << true;
    QTest::newRow("a character held, one at a time") << false << false;
}

void X11KeyBinderTest::heldKeyKeepsItsBinding() {
    QFETCH(bool, forKey);
    QFETCH(bool, announced);
    // Its release must reach the client as the key it pressed, however
    // much is typed meanwhile.
    FakeMap map({10, 11, 13});
    FakeClient client;
    Typist typist(map, client);
    const int held = forKey ? typist.holdKey(kF20) : typist.type(kanji(99), nullptr, 0, false);
    QVERIFY(held >= 0);
    const KeyBinder::Slot heldSlot = typist.binder().slot(held);
    const unsigned long heldSym = forKey ? kF20 : kanji(99);
    QCOMPARE(heldSlot.level, 0);
    QList<int> changed;
    map.beforeChange = [&](int keycode, const Row &next) {
        if (keycode == heldSlot.keycode && FakeMap::typed(next, 0) != heldSym)
            changed << keycode;
    };
    const std::u32string ahead = text(40);
    for (size_t i = 0; i < ahead.size(); ++i)
        QVERIFY(typist.type(0x1000000 | ahead[i], announced ? &ahead : nullptr, i + 1) >= 0);
    typist.restore();
    QCOMPARE(changed, QList<int>());
    QCOMPARE(typist.binder().slot(held).keysym, heldSym);
    QVERIFY(map.writes.size() > 3);
}

QTEST_GUILESS_MAIN(X11KeyBinderTest)
#include "unit_x11keybinder.moc"
