#pragma once

#include "App.h"
#include "CntWin.h"
#include "LogEdit.h"
#include "RecWin.h"
#include "SimDrone.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QUdpSocket>

// The controller window aimed at a simulated drone on 127.0.0.2. Nothing in the
// tests may reach the design address: aim() runs before anything can send.
class CntWinFixture
{
public:
    static inline const QString DroneAddress = QStringLiteral("127.0.0.2");

    CntWin *win = nullptr;
    SimDrone drone;
    quint16 port = 0;

    // Creates the window (nothing is sent at open) and points it at the drone.
    void open(quint16 dronePort)
    {
        port = dronePort;
        win = CntWin::instance();
        aim(port);
    }

    // The application as it starts, both windows open, aimed at a drone on a free
    // loopback port before anything can send. False when the drone cannot bind.
    bool openApplication()
    {
        App::instance()->startUp();
        App::instance()->Event_Open();
        if (!drone.start(QHostAddress(DroneAddress), 0))
            return false;
        open(drone.port());
        return true;
    }

    void aim(quint16 dronePort)
    {
        edit("AddressEF")->setText(DroneAddress);
        edit("PortEF")->setText(QString::number(dronePort));
        edit("LocalPortEF")->setText(QString::number(dronePort));
    }

    bool startDrone() { return drone.start(QHostAddress(DroneAddress), port); }

    template <class T>
    T *control(const QString &name) const
    {
        T *found = win->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QLineEdit *edit(const QString &name) const { return control<QLineEdit>(name); }
    QPushButton *button(const QString &name) const { return control<QPushButton>(name); }
    QPushButton *comPB(int i) const { return button(QStringLiteral("ComPB_%1").arg(i)); }
    QLabel *staLv(int i) const { return control<QLabel>(QStringLiteral("StaLv_%1").arg(i)); }
    QUdpSocket *socket(const QString &name) const { return control<QUdpSocket>(name); }

    void click(QWidget *widget) const { QTest::mouseClick(widget, Qt::LeftButton); }
    void click(const QString &name) const { click(button(name)); }

    // The log as the user reads and copies it.
    QString log() const { return control<LogEdit>(QStringLiteral("ResEF"))->logText(); }
    void clearLog() const { click(QStringLiteral("PushButton3")); }
    QString cmdLine() const { return edit(QStringLiteral("CmdEF"))->text(); }

    void connectLink() const { click(QStringLiteral("ConnPM")); }
    bool linkBound() const { return socket(QStringLiteral("udps"))->state() == QAbstractSocket::BoundState; }

    // The recorder's texts by target kind.
    static QString recorded(int kind) { return RecWin::instance()->MjEF(kind)->toPlainText(); }
    static void clearRecorded()
    {
        for (int i = 0; i < 6; ++i)
            RecWin::instance()->MjEF(i)->clear();
    }
    // Sends a marker to the drone and waits for it; returns what arrived before it
    // and forgets that. The marker leaves through the window's own command socket:
    // the kernel keeps the order of one socket's datagrams, not of two sockets'.
    // (An unbound window sends nothing, so then any socket will do.)
    QStringList receivedBeforeMarker()
    {
        drone.setSilent(QStringLiteral("marker"));
        const QString marker = QStringLiteral("marker %1").arg(++mMarkers);
        QUdpSocket spare;
        QUdpSocket *sender = linkBound() ? socket(QStringLiteral("udps")) : &spare;
        sender->writeDatagram(marker.toUtf8(), QHostAddress(DroneAddress), port);
        if (!QTest::qWaitFor([&] { return drone.received().contains(marker); }, 5000))
            return {QStringLiteral("<marker lost>")};
        QStringList before = drone.received();
        before.removeAll(marker);
        drone.clearReceived();
        return before;
    }

private:
    int mMarkers = 0;
};
