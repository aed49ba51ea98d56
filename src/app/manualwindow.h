#pragma once

// The user manual in a window of its own, read from the Markdown files that
// ship beside the program, opened at a section.

#include <QWidget>

class QTextBrowser;
class QUrl;

class ManualWindow : public QWidget {
    Q_OBJECT

public:
    explicit ManualWindow(QWidget *parent = nullptr);

    // Shows the manual at `path`, scrolled to its heading number `section`
    // (0 is the first heading; -1 the top). False when it cannot be read.
    bool open(const QString &path, int section);

    QTextBrowser *browser() const { return browser_; }
    // The number of the heading at the top of the view, -1 above the first.
    int headingAtTop() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void follow(const QUrl &url);
    // The heading whose anchor (its slug) is `anchor`, or -1.
    int headingOfAnchor(const QString &anchor) const;
    void scrollToHeading(int index);

    QTextBrowser *browser_ = nullptr;
    // Scrolled to once the window has its size: positions depend on it.
    int pendingSection_ = -1;
};
