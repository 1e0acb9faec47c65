#include "TestWorld.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString serverName = "quorbilan_single_instance";

// One run of the helper as a single-instance application.
class Instance
{
public:
    explicit Instance(const QStringList& extraArgs = {}, const QStringList& wrapper = {})
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        QStringList args = QStringList{"single", serverName} + extraArgs;
        if (wrapper.isEmpty()) {
            process.start(CORE_TEST_HELPER, args);
        } else {
            process.start(wrapper.first(), wrapper.mid(1) + QStringList{CORE_TEST_HELPER} + args);
        }
    }

    ~Instance()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    // The first line: "first" or "running".
    QString role()
    {
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return "no answer: " + QString::fromUtf8(process.readAllStandardError());
        }
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    // Lines printed so far after the role, read without blocking.
    int startedCount()
    {
        output += process.readAllStandardOutput();
        return int(output.count("started "));
    }

    // Closes stdin, which ends the instance; returns its "total N" line.
    QString finish()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(30000))
            return "did not end";
        output += process.readAllStandardOutput();
        const QList<QByteArray> lines = output.trimmed().split('\n');
        return QString::fromUtf8(lines.last());
    }

    QProcess process;
    QByteArray output;
};

} // namespace

class TestQApplicationExSingle : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

    static QString socketPath() { return qEnvironmentVariable("TMPDIR") + "/" + serverName; }

    // Starts a second instance and returns what it decided.
    static QString secondStart(const QStringList& extraArgs = {})
    {
        Instance second(extraArgs);
        const QString role = second.role();
        if (!second.process.waitForFinished(30000))
            return "did not end";
        if (second.process.exitCode() != 3)
            return role + " exit " + QString::number(second.process.exitCode());
        return role;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        isolateWorld(root.path());
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    void cleanup() { QFile::remove(socketPath()); }

    // Every later start sees the first within the probe's 500 ms and the first
    // signals once per start, far beyond the listen backlog.
    void everyStartIsDetectedAndSignalled()
    {
        Instance first;
        QCOMPARE(first.role(), QString("first"));
        const int starts = 100;
        for (int i = 1; i <= starts; ++i) {
            // Some starts carry arguments, as the console mode's do.
            const QStringList args = i % 10 == 0 ? QStringList{"/list"} : QStringList{};
            QCOMPARE(secondStart(args), QString("running"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(first.startedCount(), starts, 10000);
        QCOMPARE(first.finish(), QString("total %1").arg(starts));
    }

    void killedInstanceLeavesNoBlock()
    {
        {
            Instance crashed;
            QCOMPARE(crashed.role(), QString("first"));
            crashed.process.kill();
            QVERIFY(crashed.process.waitForFinished(10000));
        }
        QVERIFY2(QFile::exists(socketPath()), "kill -9 should leave the socket file behind");

        Instance next;
        QCOMPARE(next.role(), QString("first"));
        QCOMPARE(secondStart(), QString("running"));
        QTRY_COMPARE_WITH_TIMEOUT(next.startedCount(), 1, 10000);
        QCOMPARE(next.finish(), QString("total 1"));
    }

    // Another user can neither reach the server nor take its name over.
    void otherUserCannotReachServer()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to start an instance as the user nobody");
        // nobody must reach the temp folder, which is sticky as /tmp is.
        QVERIFY(::chmod(qPrintable(root.path()), 0755) == 0);
        QVERIFY(::chmod(qPrintable(qEnvironmentVariable("TMPDIR")), 01777) == 0);

        // Even with a permissive umask the socket stays the user's own.
        const mode_t oldMask = ::umask(0);
        Instance first;
        ::umask(oldMask);
        QCOMPARE(first.role(), QString("first"));
        {
            Instance stranger({}, {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
            QCOMPARE(stranger.role(), QString("first"));
            stranger.finish();
        }
        QCOMPARE(secondStart(), QString("running"));
        QTRY_COMPARE_WITH_TIMEOUT(first.startedCount(), 1, 10000);
        QCOMPARE(first.finish(), QString("total 1"));
    }
};

QTEST_GUILESS_MAIN(TestQApplicationExSingle)
#include "tst_QApplicationExSingle.moc"
