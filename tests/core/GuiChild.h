#pragma once

#include <QProcess>
#include <QStringList>

// Runs the GUI test helper with the test's own environment and returns its
// standard output as lines; `started` lets the caller act once a line shows.
struct GuiChild
{
    QProcess process;
    QStringList lines;

    explicit GuiChild(const QString& program = QString::fromUtf8(GUI_TEST_HELPER))
    {
        process.setProgram(program);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }

    bool start(const QStringList& arguments)
    {
        process.setArguments(arguments);
        process.start();
        return process.waitForStarted();
    }

    // Waits for one line of output; false when the child ended first.
    bool waitForLine(const QString& wanted)
    {
        while (!lines.contains(wanted)) {
            if (!process.canReadLine() && !process.waitForReadyRead(30000))
                return false;
            readLines();
        }
        return true;
    }

    bool finish()
    {
        const bool done = process.waitForFinished(60000);
        readLines();
        return done;
    }

    void readLines()
    {
        while (process.canReadLine())
            lines << QString::fromUtf8(process.readLine()).trimmed();
        if (process.state() == QProcess::NotRunning) {
            const QByteArray rest = process.readAll().trimmed();
            if (!rest.isEmpty())
                lines << QString::fromUtf8(rest).split('\n');
        }
    }
};
