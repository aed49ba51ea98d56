#include "kindtips.h"

#include "uitexts.h"

#include <string>

namespace kindtips {
namespace {

struct Tip {
    std::u16string ja;
    std::u16string en;
};

Tip made(pagekinds::Side side) {
    Tip tip;
    const bool commands = side == pagekinds::Side::Command;
    const UiText &head = commands ? uitexts::tipCommandComboHead : uitexts::tipConditionComboHead;
    tip.ja = head.ja;
    tip.en = head.en;
    for (const pagekinds::Kind &kind : pagekinds::all(side)) {
        (tip.ja += u'\n') += kind.help.ja;
        (tip.en += u'\n') += kind.help.en;
    }
    if (commands) {
        (tip.ja += u'\n') += uitexts::tipCommandComboTail.ja;
        (tip.en += u'\n') += uitexts::tipCommandComboTail.en;
    }
    return tip;
}

Tip secondsMade() {
    Tip tip{uitexts::tipCommandTimeSpinHead.ja, uitexts::tipCommandTimeSpinHead.en};
    for (const pagekinds::Kind &kind : pagekinds::commands()) {
        if (*kind.secondsHelp.ja == u'\0')
            continue;
        (tip.ja += u'\n') += kind.secondsHelp.ja;
        (tip.en += u'\n') += kind.secondsHelp.en;
    }
    (tip.ja += u'\n') += uitexts::tipCommandTimeSpinTail.ja;
    (tip.en += u'\n') += uitexts::tipCommandTimeSpinTail.en;
    return tip;
}

} // namespace

const UiText &listTip(pagekinds::Side side) {
    // The strings are made once and never change, so the pointers stay good.
    static const Tip tips[] = {made(pagekinds::Side::Command), made(pagekinds::Side::Condition)};
    static const UiText texts[] = {{tips[0].ja.c_str(), tips[0].en.c_str()},
                                   {tips[1].ja.c_str(), tips[1].en.c_str()}};
    return texts[side == pagekinds::Side::Command ? 0 : 1];
}

const UiText &commandSecondsTip() {
    static const Tip tip = secondsMade();
    static const UiText text{tip.ja.c_str(), tip.en.c_str()};
    return text;
}

} // namespace kindtips
