// The editor's part of the pages' names and of the kinds that jump, branch
// or call: naming a page, the branch dialog, choosing the called project.

#include "flowpanes.h"
#include "projectfiles.h"
#include "tarnwick.h"
#include "uitexts.h"

#include "core/localfilename.h"
#include "core/pageflow.h"
#include "core/pagerecords.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

using pagerecords::element;

namespace flowpanes {

void fillTargets(QComboBox *combo, const QStringList &names, const QString &current,
                 bool japanese) {
    combo->clear();
    combo->addItem(uitexts::noPageChosen.in(japanese), QString());
    for (int i = 0; i < names.size(); ++i) {
        if (!names.at(i).isEmpty())
            combo->addItem(QStringLiteral("%1.%2").arg(i + 1).arg(names.at(i)), names.at(i));
    }
    int at = combo->findData(current);
    if (at < 0) {
        combo->addItem(current, current);
        at = combo->count() - 1;
    }
    combo->setCurrentIndex(at);
}

void showBranch(tarnwick &w, bool condition, const QStringList &r) {
    const pageflow::Shape shape = pageflow::shapeOf(!condition, element(r, 0));
    const auto page = [&w](const QString &name) {
        if (name.isEmpty())
            return QStringLiteral("→");
        const int i = pageflow::pageNamed(w.document->listName(), name);
        return i < 0 ? name : QStringLiteral("%1.%2").arg(i + 1).arg(name);
    };
    (condition ? w.conditionBranchButton : w.commandBranchButton)
        ->setText(uitexts::branchButton.in(w.settings.is_japanese)
                      .arg(element(r, shape.seconds), page(element(r, shape.elseTarget)),
                           page(element(r, shape.thenTarget))));
}

} // namespace flowpanes

void tarnwick::nameCurrentPage() {
    const int page = document->currentPage();
    if (!editorOpen || page < 1 || page > document->pageCount())
        return;
    const int i = page - 1;
    const bool japanese = settings.is_japanese;
    const QString was = document->listName().value(i);
    bool ok = false;
    const QString name = QInputDialog::getText(this, uitexts::nameTitle.in(japanese),
                                               uitexts::nameLabel.in(japanese).arg(page),
                                               QLineEdit::Normal, was, &ok)
                             .trimmed();
    if (!ok || name == was)
        return;
    const int other = pageflow::pageNamed(document->listName(), name);
    if (other >= 0) {
        QMessageBox::warning(this, uitexts::warningTitle.in(japanese),
                             uitexts::nameTaken.in(japanese).arg(other + 1).arg(name));
        return;
    }
    // The jumps to the page follow its new name (and name no page when it
    // has none any more).
    document->renamePage(i, name);
    refreshPage();
}

void tarnwick::editBranch(bool condition) {
    const int i = document->currentPage() - 1;
    if (i < 0 || i >= document->pageCount())
        return;
    const bool is_japanese = settings.is_japanese;
    const QStringList &listName = document->listName();
    const Page shown = document->page(i);
    QStringList record = condition ? shown.condition : shown.command;
    const pageflow::Shape shape = pageflow::shapeOf(!condition, element(record, 0));
    if (shape.elseTarget < 0)
        return;
    QDialog dialog(this);
    dialog.setWindowTitle(uitexts::branchTitle.in(is_japanese));
    auto *form = new QFormLayout(&dialog);
    auto *seconds = new QDoubleSpinBox(&dialog);
    seconds->setRange(0, 86400);
    seconds->setDecimals(2);
    seconds->setValue(element(record, shape.seconds).toDouble());
    auto *otherwise = new QComboBox(&dialog);
    flowpanes::fillTargets(otherwise, listName, element(record, shape.elseTarget), is_japanese);
    auto *then = new QComboBox(&dialog);
    flowpanes::fillTargets(then, listName, element(record, shape.thenTarget), is_japanese);
    // The Image Jump has its own seconds in its pane.
    if (condition)
        form->addRow(uitexts::branchSeconds.in(is_japanese), seconds);
    form->addRow(uitexts::branchElse.in(is_japanese), otherwise);
    form->addRow(uitexts::branchThen.in(is_japanese), then);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (condition)
        pagerecords::setElement(record, shape.seconds, pagerecords::secondsText(seconds->value()));
    pagerecords::setElement(record, shape.elseTarget, otherwise->currentData().toString());
    pagerecords::setElement(record, shape.thenTarget, then->currentData().toString());
    if (condition)
        document->setConditionAt(i, record);
    else
        document->setCommandAt(i, record);
    refreshPage();
}

void tarnwick::browseCalledProject() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, uitexts::callFileTitle.in(settings.is_japanese),
                                     QString(), QStringLiteral("*.cmdat"));
    if (chosen.isEmpty())
        return;
    // Beside or below this project's folder: written relative to it, so the
    // two can move together.
    QString written = chosen;
    const QString &filePath = document->filePath();
    if (!filePath.isEmpty() && !files->hasNoProjectFile()) {
        const QString relative = QFileInfo(filePath).absoluteDir().relativeFilePath(chosen);
        if (!relative.startsWith(QLatin1String("..")))
            written = relative;
    }
    callPathEdit->setText(written);
    changeSomeThing();
}
