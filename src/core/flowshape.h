#pragma once

// The record elements of a kind that take part in the flow of a run (where
// it goes after the page), as each kind's row declares them; core/pageflow.h
// reads them.

namespace pageflow {

// -1 where the kind has no such element.
struct Shape {
    int target = -1;     // the page to go to, required (Go to page)
    int elseTarget = -1; // where to go when what is waited for does not come; empty: the next page
    int thenTarget = -1; // where to go when it comes; empty: the next page
    int count = -1;      // how many times the jump is taken (Go to page)
    int seconds = -1;    // the time limit
    int callPath = -1;   // the project to play (Call project)

    bool moves() const {
        return target >= 0 || elseTarget >= 0 || thenTarget >= 0 || callPath >= 0;
    }
};

// A wait with a time limit whose own elements end at `seconds`: the limit,
// then where to go without and with what it waits for.
constexpr Shape limitedAt(int seconds) {
    Shape s;
    s.seconds = seconds;
    s.elseTarget = seconds + 1;
    s.thenTarget = seconds + 2;
    return s;
}

} // namespace pageflow
