#pragma once

// A private D-Bus session bus for one test: its own configuration and socket
// in a temporary folder, stopped with SIGTERM at the end so the daemon removes
// its socket (nothing is left behind in /tmp).

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

class PrivateBus
{
public:
    // False when no dbus-daemon is installed or it did not start.
    bool start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !m_dir.isValid())
            return false;
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig>\n  <type>session</type>\n  <listen>unix:dir=");
        file.write(m_dir.path().toUtf8());
        file.write("</listen>\n  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                   "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n");
        file.close();
        m_process.setProgram(daemon);
        m_process.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                QStringLiteral("--print-address")});
        m_process.start();
        if (!m_process.waitForStarted() || !m_process.waitForReadyRead(10'000))
            return false;
        m_address = QString::fromUtf8(m_process.readLine().trimmed());
        return !m_address.isEmpty();
    }

    QString address() const { return m_address; }

    // Ends the daemon cleanly; called by the destructor too.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10'000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    ~PrivateBus() { stop(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
};
