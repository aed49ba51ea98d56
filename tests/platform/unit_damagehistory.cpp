// What a screen reader that hears of changes answers: the changes after a
// token's period, and "cannot tell" for the first question, after a
// restart, and for a token older than what is kept.

#include "platform/damagehistory.h"

#include <QtTest>

using platform::DamageHistory;
using platform::Rect;

namespace {

// One step of a script: add a rectangle ('a'), restart ('r'), or ask with
// the token of question `asked` (-1: a token of 0) and expect `known` and
// `count` rectangles ('q').
struct Step {
    char op;
    int asked = -1;
    bool known = false;
    int count = 0;
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Step>)

class DamageHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data() {
        QTest::addColumn<std::vector<Step>>("steps");
        QTest::addColumn<int>("keep");
        QTest::newRow("first question cannot tell") << std::vector<Step>{{'q', -1, false, 0}} << 8;
        QTest::newRow("still screen")
            << std::vector<Step>{{'q', -1, false, 0}, {'q', 0, true, 0}, {'q', 1, true, 0}} << 8;
        QTest::newRow("changes after the token only") << std::vector<Step>{{'q', -1, false, 0},
                                                                           {'a'},
                                                                           {'q', 0, true, 1},
                                                                           {'a'},
                                                                           {'a'},
                                                                           {'q', 1, true, 2},
                                                                           {'q', 0, true, 3},
                                                                           {'q', 3, true, 0}}
                                                      << 8;
        QTest::newRow("restart voids older tokens")
            << std::vector<Step>{{'q', -1, false, 0}, {'a'}, {'r'},
                                 {'q', 0, false, 0},  {'a'}, {'q', 1, true, 1}}
            << 8;
        QTest::newRow("too old for what is kept") << std::vector<Step>{{'q', -1, false, 0},
                                                                       {'a'},
                                                                       {'q', 0, true, 1},
                                                                       {'a'},
                                                                       {'a'},
                                                                       {'q', 0, false, 0},
                                                                       {'q', 1, true, 2}}
                                                  << 2;
        QTest::newRow("a token from the future")
            << std::vector<Step>{{'q', -1, false, 0}, {'q', 5, false, 0}} << 8;
    }

    void answers() {
        QFETCH(std::vector<Step>, steps);
        QFETCH(int, keep);
        DamageHistory history(static_cast<std::size_t>(keep));
        std::vector<std::uint64_t> tokens; // handed out, question by question
        int added = 0;
        for (const Step &s : steps) {
            if (s.op == 'a') {
                history.add(Rect{++added, 0, 10, 10});
            } else if (s.op == 'r') {
                history.restart();
            } else {
                std::uint64_t token = s.asked < 0                    ? 0
                                      : s.asked < int(tokens.size()) ? tokens[std::size_t(s.asked)]
                                                                     : 1000;
                std::vector<Rect> changed{Rect{0, 0, 1, 1}}; // cleared by the answer
                QCOMPARE(history.since(token, changed), s.known);
                QCOMPARE(int(changed.size()), s.count);
                QVERIFY(token != 0);
                tokens.push_back(token);
            }
        }
    }

    void emptyRectanglesAreNotChanges() {
        DamageHistory history;
        std::uint64_t token = 0;
        std::vector<Rect> changed;
        history.since(token, changed);
        history.add(Rect{5, 5, 0, 10});
        history.add(Rect{5, 5, 10, -1});
        QVERIFY(history.since(token, changed));
        QVERIFY(changed.empty());
    }
};

QTEST_GUILESS_MAIN(DamageHistoryTest)
#include "unit_damagehistory.moc"
