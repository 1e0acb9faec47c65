#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus daemon of the test's own: no service activation, everything
// allowed, its socket in a private folder. Stopped with the object.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString config = folder.filePath("bus.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QString("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig>\n"
                           "  <type>session</type>\n"
                           "  <listen>unix:dir=%1</listen>\n"
                           "  <auth>EXTERNAL</auth>\n"
                           "  <policy context=\"default\">\n"
                           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                           "    <allow eavesdrop=\"true\"/>\n"
                           "    <allow own=\"*\"/>\n"
                           "  </policy>\n"
                           "</busconfig>\n")
                       .arg(folder.path())
                       .toUtf8());
        file.close();
        daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon.start("dbus-daemon", {"--nofork", "--print-address=1", "--config-file=" + config});
        if (daemon.waitForStarted() && daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }

    ~PrivateBus()
    {
        daemon.kill();
        daemon.waitForFinished();
    }

    QTemporaryDir folder;
    QProcess daemon;
    // Empty when the daemon did not start.
    QString address;
};
