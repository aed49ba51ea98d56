#pragma once

// The three web addresses of the feedback forms. They are settings of the
// build (TARNWICK_REPORT_URL, TARNWICK_BROWSER_FORM_A, TARNWICK_BROWSER_FORM_B)
// so that whoever distributes the program points them at their own forms.

#include <QString>

namespace formurls {

// Where the report dialogs post their form body; ends in "/formResponse".
inline QString reportSubmissionUrl() {
    return QString::fromUtf8(TARNWICK_REPORT_URL);
}
// The viewing page of that same form, for users who want an answer.
inline QString browserFormA() {
    return QString::fromUtf8(TARNWICK_BROWSER_FORM_A);
}
// The form for questions about how to use the program.
inline QString browserFormB() {
    return QString::fromUtf8(TARNWICK_BROWSER_FORM_B);
}

} // namespace formurls
