#pragma once

// The report dialogs' texts in both interface languages. The report kinds
// sent with a report are the form's data, not texts, and stay Japanese.

#include "core/uitext.h"

namespace feedbacktexts {

inline constexpr UiText bugTitle{u"バグ報告", u"Bug Report"};
inline constexpr UiText bugCaption{u"バグ:", u"Bug:"};
inline constexpr UiText suggestionTitle{u"改善案報告", u"Improvement Suggestion"};
inline constexpr UiText suggestionCaption{u"改善案:", u"Suggestion:"};
inline constexpr UiText sendButton{u"送信", u"Send"};
inline constexpr UiText emptyTitle{u"確認", u"Confirm"};
inline constexpr UiText emptyText{u"内容を入力してください。", u"Please write something first."};
inline constexpr UiText waitTitle{u"送信中...", u"Sending..."};
inline constexpr UiText waitText{u"しばらくお待ちください...", u"Please wait..."};
inline constexpr UiText sentTitle{u"送信完了", u"Sent"};
inline constexpr UiText sentText{u"レポートを送信しました。\nありがとうございました。",
                                 u"Your report has been sent.\nThank you."};
inline constexpr UiText failedTitle{u"送信エラー", u"Send Error"};
// %1: the network error.
inline constexpr UiText failedText{u"フォームの送信に失敗しました:\n%1",
                                   u"The form could not be sent:\n%1"};

} // namespace feedbacktexts
