#pragma once

// The tray icon of a run: shown while the run goes, its click stops the run
// (the only way to end a run repeated until stopped without a stop command).
// Created on the GUI thread by whoever starts the run, before the run moves
// to its thread; it deletes itself once the run has finished.

#include <QObject>
#include <QString>

class QSystemTrayIcon;
class Run;
class RunStopServer;

class RunTrayIcon : public QObject {
    Q_OBJECT

public:
    // Shows the icon with the tooltip "「projectName」を終了". `parent` owns it
    // until the run ends.
    RunTrayIcon(Run *run, const QString &projectName, QObject *parent = nullptr);
    ~RunTrayIcon() override;

signals:
    // A plain click on the icon. Connected to the run's requestStop, queued
    // once the run lives on its own thread, so a click after the run is gone
    // reaches nothing.
    void stopClicked();

private:
    friend class RunTrayIconTest; // tests/app/gui_runtrayicon.cpp

    void remove();

    QSystemTrayIcon *icon_ = nullptr;
    RunStopServer *stopServer_ = nullptr; // tarnwick --stop
};
