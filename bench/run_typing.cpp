// Typing schedule: an Input of 1,000 characters spread over 1 s, typed by
// the X11 layer into a Qt text field. Lateness of the last character against
// its slot (first + 999 ms), and characters lost in the field.
// Goals: lateness <= 5 ms, no character lost.

#include "runbench.h"

#include <QApplication>
#include <QPlainTextEdit>

using namespace runbench;

namespace {

QString sampleText(bool japanese) {
    const QString ascii = QStringLiteral("the quick brown fox jumps over the lazy dog 0123456789 ");
    const QString kana = QStringLiteral("こんにちは世界、いろはにほへとちりぬるを。");
    const QString &source = japanese ? kana : ascii;
    QString text;
    while (text.size() < 1000)
        text += source;
    return text.left(1000);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Input input;
    if (!input.install())
        return 1;
    const int trials = argc > 1 ? std::atoi(argv[1]) : 5;

    QPlainTextEdit edit;
    edit.setGeometry(50, 50, 900, 600);
    edit.show();
    edit.activateWindow();
    waitFor([&edit] { return edit.isVisible(); }, 2000);
    waitFor([] { return false; }, 300);
    const QPoint centre = edit.mapToGlobal(edit.rect().center());

    for (bool japanese : {false, true}) {
        std::vector<double> lateness, lost;
        for (int t = 0; t < trials; ++t) {
            edit.clear();
            input.proxy->clear();
            const QString text = sampleText(japanese);
            Run run;
            std::atomic<bool> done{false};
            Clock::time_point finishedAt;
            watchFinished(run, done, finishedAt);
            run.prepare(
                RunSettings{0, 1, QStringLiteral("なし")},
                {{"マウスポインター", QString::number(centre.x()), QString::number(centre.y())},
                 {"クリック", "左", "0.02"},
                 {"入力", text, "1"}},
                {{"時間", "0.05"}, {"終わるまで待つ", "0.2"}, {"終わるまで待つ", "0"}},
                QStringLiteral("bench"));
            run.start();
            if (!waitFor([&done] { return done.load(); }, 10000))
                return 1;
            // Let the last events reach the field.
            waitFor([&edit, &text] { return edit.toPlainText().size() >= text.size(); }, 3000);
            std::vector<Clock::time_point> sent;
            for (const TimingProxy::Call &call : input.proxy->calls())
                if (call.kind == 'u')
                    sent.push_back(call.time);
            if (sent.size() != 1000) {
                std::fprintf(stderr, "sent %zu characters\n", sent.size());
                return 1;
            }
            lateness.push_back(ms(sent.back() - sent.front()) - 999.0);
            const QString got = edit.toPlainText();
            int missing = 0;
            for (int i = 0; i < text.size(); ++i)
                if (i >= got.size() || got.at(i) != text.at(i))
                    ++missing;
            lost.push_back(missing);
        }
        std::printf("%s text:\n", japanese ? "Japanese" : "ASCII");
        printStats("  last character lateness", lateness, "ms");
        printStats("  characters lost or wrong (of 1,000)", lost, "");
    }
    return 0;
}
