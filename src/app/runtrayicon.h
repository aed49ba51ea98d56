#pragma once

// The tray icon of a run: shown while the run goes, its click stops the run
// (the only way to end a run repeated until stopped without a stop command),
// and its menu pauses, resumes and stops it. Created on the GUI thread by
// whoever starts the run, before the run moves to its thread; it deletes
// itself once the run has finished.

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;
class Run;
class RunStopServer;

class RunTrayIcon : public QObject {
    Q_OBJECT

public:
    // Shows the icon with the tooltip "「projectName」を終了". `parent` owns it
    // until the run ends. `japanese`: the menu's language.
    RunTrayIcon(Run *run, const QString &projectName, QObject *parent = nullptr,
                bool japanese = true);
    ~RunTrayIcon() override;

signals:
    // A plain click on the icon, or Stop in its menu. Connected to the run's
    // requestStop, queued once the run lives on its own thread, so a click
    // after the run is gone reaches nothing.
    void stopClicked();
    // Pause and Resume in the menu, the same way to the run.
    void pauseClicked();
    void resumeClicked();

private:
    friend class RunTrayIconTest; // tests/app/gui_runtrayicon.cpp

    void remove();
    // GUI thread: the icon and its menu follow the run's state.
    void showPaused(bool paused);

    QSystemTrayIcon *icon_ = nullptr;
    QMenu *menu_ = nullptr;
    QAction *pauseAction_ = nullptr;
    QAction *resumeAction_ = nullptr;
    QAction *stopAction_ = nullptr;
    QString projectName_;
    QString speedTip_; // after the tooltip when the run plays at another speed
    bool japanese_ = true;
    RunStopServer *stopServer_ = nullptr; // tarnwick --stop, --pause, --resume
};
