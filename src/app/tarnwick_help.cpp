#include "core/projectdocument.h"
#include "tarnwick.h"

#include "core/manualtext.h"
#include "core/pagekinds.h"
#include "core/resourcepath.h"
#include "feedback/formurls.h"
#include "feedback/reportdialog.h"
#include "manualwindow.h"
#include "termdialog.h"
#include "uitexts.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QMessageBox>
#include <QUrl>
#include <iterator>

namespace {

// The four documents beside the executable, in the order of the Other menu's
// viewer actions.
const char *const termDocuments[] = {
    "/licenses/ソフトウェア使用許諾契約書.txt",
    "/licenses/オープンソースソフトウェアに関する告知.txt",
    "/licenses/Qtライブラリの差替え又は再インストールに関する情報.txt",
    "/licenses/LGPLv3のライセンス文章.txt",
};

} // namespace

void tarnwick::reportBug() {
    ReportDialog dialog(this, settings.is_japanese);
    dialog.exec();
}

void tarnwick::reportImprovementSuggestion() {
    ReportDialog2 dialog(this, settings.is_japanese);
    dialog.exec();
}

void tarnwick::openBrowserFormA() {
    openWebForm(formurls::browserFormA());
}

void tarnwick::openBrowserFormB() {
    openWebForm(formurls::browserFormB());
}

void tarnwick::openWebForm(const QString &address) {
    if (QMessageBox::question(this, uitexts::browserTitle.in(settings.is_japanese),
                              uitexts::browserText.in(settings.is_japanese),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    // Whether a browser actually opened is not reported to the user.
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void tarnwick::showVersionInfo() {
    QMessageBox::information(this, uitexts::versionTitle.in(settings.is_japanese),
                             uitexts::versionText.in(settings.is_japanese));
}

void tarnwick::showTermDocument(int which) {
    if (which < 0 || which >= int(std::size(termDocuments)))
        return;
    const QString path = resourcepath::shippedFile(QString::fromUtf8(termDocuments[which]),
                                                   QCoreApplication::applicationDirPath());
    TermDialog dialog(path, this);
    dialog.exec();
}

int tarnwick::manualSection() const {
    const int index = document->currentPage() - 1;
    if (!editorOpen || index < 0 || index >= document->pageCount())
        return -1;
    // The condition's pane when the focus is in its frame, else the command's.
    const QWidget *focus = focusWidget();
    const bool condition = focus && focus->parentWidget() == this &&
                           conditionGroup->geometry().contains(focus->geometry().center());
    const auto side = condition ? pagekinds::Side::Condition : pagekinds::Side::Command;
    const Page page = document->page(index);
    const QStringList &record = condition ? page.condition : page.command;
    const pagekinds::Kind *kind = pagekinds::find(side, record.value(0));
    if (!kind)
        return -1;
    // Sections are named in English; the other language has them in the same
    // places.
    QFile english(resourcepath::shippedDocument(manualtext::fileName(false),
                                                QCoreApplication::applicationDirPath()));
    if (!english.open(QIODevice::ReadOnly))
        return -1;
    return manualtext::find(
        manualtext::headings(QString::fromUtf8(english.readAll())),
        {condition ? manualtext::conditionsHeading : manualtext::commandsHeading, kind->english});
}

void tarnwick::showManual() {
    const QString path = resourcepath::shippedDocument(manualtext::fileName(settings.is_japanese),
                                                       QCoreApplication::applicationDirPath());
    if (!manualWindow)
        manualWindow = new ManualWindow(this);
    if (!manualWindow->open(path, manualSection())) {
        QMessageBox::warning(this, uitexts::manualAction.in(settings.is_japanese),
                             uitexts::manualMissingText.in(settings.is_japanese).arg(path));
        return;
    }
    manualWindow->show();
    manualWindow->raise();
    manualWindow->activateWindow();
}
