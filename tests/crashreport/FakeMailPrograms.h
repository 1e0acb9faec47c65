#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

// Recording stand-ins for xdg-email and xdg-open, put first in PATH: each call
// appends its arguments to <name>.record, sleeps for the seconds written in
// <name>.sleep (when there is one; the sleep's pid goes to <name>.pid) and
// exits with the code written in <name>.exit (0 when there is none). Arguments
// end with NUL, calls with RS.
class FakeMailPrograms
{
public:
    explicit FakeMailPrograms(const QString& folder)
        : folder(folder)
    {
        QDir().mkpath(folder);
        for (const QString name : {"xdg-email", "xdg-open"}) {
            QFile script(folder + "/" + name);
            script.open(QIODevice::WriteOnly);
            script.write("#!/bin/sh\n"
                         "here=$(dirname \"$0\")\n"
                         "printf '%s\\0' \"$@\" >> \"$here/"
                         + name.toUtf8()
                         + ".record\"\n"
                           "printf '\\036' >> \"$here/"
                         + name.toUtf8()
                         + ".record\"\n"
                           "if [ -f \"$here/"
                         + name.toUtf8() + ".sleep\" ]; then sleep $(cat \"$here/" + name.toUtf8()
                         + ".sleep\") & echo $! > \"$here/" + name.toUtf8()
                         + ".pid\"; wait $!; fi\n"
                           "exit $(cat \"$here/"
                         + name.toUtf8() + ".exit\" 2>/dev/null || echo 0)\n");
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    QString path() const { return folder + ":" + qEnvironmentVariable("PATH"); }

    void setExitCode(const QString& name, int code)
    {
        QFile file(folder + "/" + name + ".exit");
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray::number(code));
    }

    void setSleep(const QString& name, int seconds)
    {
        QFile file(folder + "/" + name + ".sleep");
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray::number(seconds));
    }

    // The pid of the last call's sleep; 0 before the first.
    qint64 lastPid(const QString& name) const
    {
        QFile file(folder + "/" + name + ".pid");
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

    // One entry per call, each the list of its arguments.
    QList<QStringList> calls(const QString& name) const
    {
        QFile file(folder + "/" + name + ".record");
        QList<QStringList> result;
        if (!file.open(QIODevice::ReadOnly))
            return result;
        QByteArray data = file.readAll();
        for (const QByteArray& call : data.split('\x1e')) {
            if (call.isEmpty())
                continue;
            QStringList arguments;
            const QList<QByteArray> parts = call.split('\0');
            for (int i = 0; i + 1 < parts.size(); ++i)
                arguments << QString::fromUtf8(parts[i]);
            result << arguments;
        }
        return result;
    }

private:
    QString folder;
};

// The report mail's body for a dump of the application, on this system.
inline QString expectedReportBody(const QString& appName, const QString& dump, const QString& winver)
{
    return "Hello, Support.\n\nI'm having a problem with " + appName
        + ". The dump file is attached.\n(don't forget to attach the file " + dump + ")\n\nMy windows version is "
        + winver + " and my actions before the problem were... (put some words please)";
}

// The same for a mail that cannot carry the dump: it asks for the file.
inline QString expectedReportBodyToAttach(const QString& appName, const QString& dump, const QString& winver)
{
    return "Hello, Support.\n\nI'm having a problem with " + appName + ". Please attach the dump file " + dump
        + " to this mail.\n\nMy windows version is " + winver
        + " and my actions before the problem were... (put some words please)";
}
