// Editor cost on a long project: refreshPage on page navigation, "+"
// insertion and undo, and the resident memory that recorded edits cost.
// The peer for the page list is a full rebuild (clear, add every entry),
// timed on the same widget.
//
// Run from a Release build with QT_QPA_PLATFORM=offscreen:
//   bench_editor [pages=10000] [edits=1000]

#include "app/tarnwick.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

struct Stats {
    double medianMs = 0;
    double worstMs = 0;
};

Stats stats(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

// Times `op` `runs` times, letting the window paint between runs as the
// event loop would; only `op` is timed.
Stats timeIt(int runs, const std::function<void(int)> &op) {
    std::vector<double> ms;
    ms.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        op(i);
        ms.push_back(t.nsecsElapsed() / 1e6);
        QApplication::processEvents();
    }
    return stats(ms);
}

void print(const char *what, const Stats &s) {
    std::printf("%-40s median %8.3f ms   worst %8.3f ms\n", what, s.medianMs, s.worstMs);
}

// Every command and condition kind, with keys and texts present so that no
// page hides the navigation.
void fillProject(tarnwick &w, int pages) {
    const PageList commands = {
        {"なし"},
        {"クリック", "左", "0.01"},
        {"マウスポインター", "100", "200"},
        {"スムーズムーブ", "300", "400", "1"},
        {"キー", "65,6", "0.01"},
        {"入力", "hello", "3"},
    };
    const PageList conditions = {
        {"終わるまで待つ", "0.1"}, {"時間", "0.5"},  {"即時"},
        {"クリック", "右"},        {"キー", "83,3"}, {"時刻", "9", "5"},
    };
    PageList c, d;
    c.reserve(pages);
    d.reserve(pages);
    for (int i = 0; i < pages; ++i) {
        // Distinct records, as a loaded file gives them.
        QStringList command = commands.at(i % 6);
        QStringList condition = conditions.at((i / 6) % 6);
        command.detach();
        condition.detach();
        c.append(command);
        d.append(condition);
    }
    // As a load does: new content, saved copies, one history step.
    w.document->setPages(c, d);
    w.document->setSavedPages(c, d);
    w.document->setCurrentPage(1);
    w.refreshPage();
}

// The peer: the page list rebuilt from nothing.
void fullRebuild(tarnwick &w) {
    w.refreshing = true;
    QListWidget *list = w.pageList;
    list->clear();
    QStringList texts;
    texts.reserve(w.document->listCommand().size() + 2);
    for (int page = 1; page <= w.document->listCommand().size(); ++page)
        texts << QStringLiteral("%1.%2").arg(page).arg(
            w.document->listCommand().at(page - 1).value(0));
    texts.insert(w.document->currentPage() - 1, QStringLiteral("+"));
    texts.insert(w.document->currentPage() + 1, QStringLiteral("+"));
    list->addItems(texts);
    list->setCurrentRow(w.document->currentPage());
    list->scrollToItem(list->item(w.document->currentPage()), QAbstractItemView::PositionAtCenter);
    w.refreshing = false;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(10, std::atoi(argv[1])) : 10000;
    const int edits = argc > 2 ? std::max(10, std::atoi(argv[2])) : 1000;

    testsupport::writeTestConfig(QJsonObject{{"is_used_this", true}, {"is_message_delete", false}});
    tarnwick w;
    w.show();
    w.newProjectButton->click();
    QApplication::processEvents();
    const long rssStart = residentKiB();

    fillProject(w, pages);
    QApplication::processEvents();
    const long rssLoaded = residentKiB();
    std::printf("project: %d pages, %d edits (platform %s)\n", pages, edits,
                qPrintable(QApplication::platformName()));

    // Page navigation in the middle of the project.
    w.document->setCurrentPage(pages / 2);
    w.refreshPage();
    print("next page (nextPage: refreshPage)", timeIt(200, [&](int) { w.nextPage(); }));
    print("previous page (returnPage)", timeIt(200, [&](int) { w.returnPage(); }));
    // Jumps far across the list through the page list's selection.
    print("jump via page list (changeWidgetPage)", timeIt(200, [&](int i) {
              const int page = 1 + int((i * 7919LL) % pages);
              // The entry of `page` sits at this row in the current list.
              const int row = page < w.document->currentPage()    ? page - 1
                              : page == w.document->currentPage() ? page
                                                                  : page + 1;
              w.pageList->setCurrentRow(row);
          }));
    print("refreshPage, same page", timeIt(200, [&](int) { w.refreshPage(); }));
    // The peer measures every entry with the standard delegate, as a plain
    // list does; the next refreshPage puts the editor's delegate back.
    w.pageList->setItemDelegate(new QStyledItemDelegate(w.pageList));
    print("peer: full page list rebuild", timeIt(200, [&](int i) {
              w.document->setCurrentPage(pages / 2 + i);
              fullRebuild(w);
          }));

    // "+" insertion in the middle (renumbers every page below).
    w.document->setCurrentPage(pages / 2);
    w.refreshPage();
    print("\"+\" above (insert, renumber)",
          timeIt(100, [&](int) { w.pageList->setCurrentRow(w.document->currentPage() - 1); }));
    print("\"+\" below (insert, renumber)",
          timeIt(100, [&](int) { w.pageList->setCurrentRow(w.document->currentPage() + 1); }));
    print("\"+\" below the last page", timeIt(100, [&](int) {
              w.document->setCurrentPage(int(w.document->listCommand().size()));
              w.refreshPage();
              w.pageList->setCurrentRow(w.document->currentPage() + 1);
          }));

    // Recorded edits: a value edit through the widgets, then the refresh
    // that records it, spread over the project.
    w.document->setCurrentPage(1);
    w.refreshPage();
    const int stepsBefore = int(w.document->listCommandHistory().size());
    QApplication::processEvents();
    const long rssBeforeEdits = residentKiB();
    const Stats editStats = timeIt(edits, [&](int i) {
        // A page whose condition has a seconds box, spread over the project.
        const int count = int(w.document->listCommand().size());
        int page = 1 + int((i * 7919LL) % count);
        while (!QStringList({"時間", "終わるまで待つ"})
                    .contains(w.document->listCondition().at(page - 1).at(0)))
            page = page % count + 1;
        w.document->setCurrentPage(page);
        w.refreshPage();
        w.conditionTimeSpin->setValue(1 + i * 0.01); // no step of its own
        w.refreshPage();
    });
    QApplication::processEvents();
    const long rssAfterEdits = residentKiB();
    print("edit + refresh (record)", editStats);
    std::printf("history steps recorded: %d\n",
                int(w.document->listCommandHistory().size()) - stepsBefore);

    print("undo (pageBack)", timeIt(200, [&](int) { w.pageBack(); }));
    print("redo (pageForward)", timeIt(200, [&](int) { w.pageForward(); }));

    std::printf("resident: start %ld KiB, loaded %ld KiB (+%ld), after %d edits %ld KiB (+%ld KiB, "
                "%.1f KiB per step)\n",
                rssStart, rssLoaded, rssLoaded - rssStart, edits, rssAfterEdits,
                rssAfterEdits - rssBeforeEdits, double(rssAfterEdits - rssBeforeEdits) / edits);
    std::printf("page reference array per changed list: %.1f KiB (%zu bytes x %d pages)\n",
                sizeof(QStringList) * double(w.document->listCommand().size()) / 1024,
                sizeof(QStringList), int(w.document->listCommand().size()));
    return 0;
}
