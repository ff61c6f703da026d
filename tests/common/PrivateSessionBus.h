#pragma once
// A session bus of the test's own, so D-Bus traffic (desktop notifications,
// tray hosts) neither reaches the real desktop nor depends on it. Start it
// before the application object: Qt reads DBUS_SESSION_BUS_ADDRESS once.
//
// FakeNotifications stands in for the desktop's notification service on it.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/types.h>

namespace PrivateSessionBus {

inline pid_t &daemonPid()
{
    static pid_t pid = 0;
    return pid;
}

// Starts "dbus-daemon --session" and points this process at it; false when
// it cannot be started.
inline bool start()
{
    FILE *out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    if (!out)
        return false;
    char address[512] = {}, pid[32] = {};
    const bool read = std::fgets(address, sizeof address, out) && std::fgets(pid, sizeof pid, out);
    ::pclose(out);
    if (!read)
        return false;
    address[std::strcspn(address, "\n")] = 0;
    daemonPid() = pid_t(std::atoi(pid));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
    return daemonPid() > 0;
}

inline void stop()
{
    if (daemonPid() > 0)
        ::kill(daemonPid(), SIGTERM);
    daemonPid() = 0;
}

} // namespace PrivateSessionBus

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
    static constexpr const char *kPath = "/org/freedesktop/Notifications";
    static constexpr const char *kInterface = "org.freedesktop.Notifications";

public:
    struct Notice {
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<Notice> received;

    // Takes the service's name on its own connection to the private bus.
    bool registerOn(const QString &connectionName)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS")),
                                                            connectionName);
        m_connection = connectionName;
        return bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots) && bus.registerService(kInterface);
    }

    // The user picks an action of notice `id`.
    void invoke(uint id, const QString &action)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, "ActionInvoked");
        QDBusConnection(m_connection).send(signal << id << action);
    }

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &, int)
    {
        received.append({summary, body, actions});
        return uint(received.size());
    }

private:
    QString m_connection;
};
