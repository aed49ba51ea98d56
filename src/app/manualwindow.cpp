#include "manualwindow.h"

#include "core/manualtext.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The document's heading blocks in order; Markdown keeps no anchors, so
// headings are found by their place.
QList<QTextBlock> headingBlocks(const QTextDocument *document) {
    QList<QTextBlock> list;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() > 0)
            list << block;
    }
    return list;
}

} // namespace

ManualWindow::ManualWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    browser_ = new QTextBrowser(this);
    // Links are followed here: in-page ones by heading, others by kind.
    browser_->setOpenLinks(false);
    QFont font = browser_->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    browser_->setFont(font);
    connect(browser_, &QTextBrowser::anchorClicked, this, &ManualWindow::follow);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(760, 820);
}

bool ManualWindow::open(const QString &path, int section) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()),
                        QTextDocument::MarkdownResource);
    if (browser_->document()->isEmpty())
        return false;
    setWindowTitle(browser_->documentTitle().isEmpty()
                       ? headingBlocks(browser_->document()).value(0).text()
                       : browser_->documentTitle());
    pendingSection_ = section;
    if (isVisible())
        scrollToHeading(section);
    return true;
}

void ManualWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    // After the layout has given the view its width.
    QTimer::singleShot(0, this, [this] { scrollToHeading(pendingSection_); });
}

int ManualWindow::headingAtTop() const {
    const QAbstractTextDocumentLayout *layout = browser_->document()->documentLayout();
    const int top = browser_->verticalScrollBar()->value();
    int index = -1;
    const QList<QTextBlock> blocks = headingBlocks(browser_->document());
    for (int i = 0; i < blocks.size(); ++i) {
        if (layout->blockBoundingRect(blocks.at(i)).top() <= top + 1)
            index = i;
    }
    return index;
}

void ManualWindow::scrollToHeading(int index) {
    const QList<QTextBlock> blocks = headingBlocks(browser_->document());
    if (index < 0 || index >= blocks.size()) {
        browser_->verticalScrollBar()->setValue(0);
        return;
    }
    const QRectF rect = browser_->document()->documentLayout()->blockBoundingRect(blocks.at(index));
    browser_->verticalScrollBar()->setValue(int(rect.top()));
}

int ManualWindow::headingOfAnchor(const QString &anchor) const {
    const QList<QTextBlock> blocks = headingBlocks(browser_->document());
    for (int i = 0; i < blocks.size(); ++i) {
        if (manualtext::slug(blocks.at(i).text()) == anchor)
            return i;
    }
    return -1;
}

void ManualWindow::follow(const QUrl &url) {
    // The browser hands links over resolved against the page, so an anchor
    // of this page arrives as the page's own address with a fragment.
    const QUrl target = browser_->source().resolved(url);
    const QString anchor = target.fragment(QUrl::FullyDecoded);
    if (target.adjusted(QUrl::RemoveFragment) ==
        browser_->source().adjusted(QUrl::RemoveFragment)) {
        const int heading = headingOfAnchor(anchor);
        if (heading >= 0)
            scrollToHeading(heading);
        return;
    }
    if (target.isLocalFile() && target.path().endsWith(QLatin1String(".md"))) {
        if (open(target.toLocalFile(), -1) && !anchor.isEmpty()) {
            pendingSection_ = headingOfAnchor(anchor);
            scrollToHeading(pendingSection_);
        }
        return;
    }
    QDesktopServices::openUrl(target);
}
