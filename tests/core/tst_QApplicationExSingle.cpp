#include "OtherUser.h"
#include "TestWorld.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString serverName = "quorbilan_single_instance";

// One run of the helper as a single-instance application.
class Instance
{
public:
    explicit Instance(const QStringList& extraArgs = {}, const QStringList& wrapper = {},
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.setProcessEnvironment(env);
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

    static QString socketPath() { return qEnvironmentVariable("XDG_RUNTIME_DIR") + "/" + serverName; }

    // Starts a second instance and returns what it decided.
    static QString secondStart(const QStringList& extraArgs = {}, const QStringList& wrapper = {},
                               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        Instance second(extraArgs, wrapper, env);
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

    // What another user can put into a shared sticky temp folder, or a runtime
    // folder that is not ours, neither stops nor holds up a start, nor lets a
    // second instance run; nor does a server of another user in our own folder.
    void otherUsersCannotBlockTheStart_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<bool>("runAsNobody");
        QTest::addColumn<QString>("serves"); // where: the runner's folder in the temp or the cache folder
        QTest::newRow("listener at the shared name") << "listener" << false << "temp";
        QTest::newRow("held lock at the shared name") << "lock" << false << "temp";
        QTest::newRow("fifo as the shared lock") << "fifo" << false << "temp";
        QTest::newRow("directory at the shared name") << "directory" << false << "temp";
        QTest::newRow("listener in a folder at our temp folder's name") << "own folder taken" << false << "cache";
        QTest::newRow("listener in a runtime folder of another user") << "foreign runtime" << false << "temp";
        QTest::newRow("listener in a runtime folder others can write") << "shared runtime" << false << "temp";
        QTest::newRow("server of another user in our own folder") << "foreign server" << true << "temp";
    }

    void otherUsersCannotBlockTheStart()
    {
        QFETCH(QString, planted);
        QFETCH(bool, runAsNobody);
        QFETCH(QString, serves);
        if (!OtherUser::available())
            QSKIP("needs root to act as the user nobody");
        const passwd* nobody = ::getpwnam("nobody");
        QVERIFY(nobody);

        // In the system's temp folder: nobody cannot reach into this test's world.
        QTemporaryDir place(QStringLiteral("/tmp/tst_QApplicationExSingle-XXXXXX"));
        const QString shared = OtherUser::makeSharedFolder(place.path());
        QVERIFY(!shared.isEmpty());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", shared);
        env.remove("XDG_RUNTIME_DIR");
        const QString sharedName = shared + "/" + serverName;

        std::unique_ptr<OtherUser::Listener> listener;
        QProcess lockHolder;
        if (planted == "listener") {
            listener = std::make_unique<OtherUser::Listener>(sharedName);
        } else if (planted == "lock") {
            const QStringList command = OtherUser::asNobody({CORE_TEST_HELPER, "lock", sharedName + ".lock"});
            lockHolder.start(command.first(), command.mid(1));
            QVERIFY(lockHolder.waitForReadyRead(60000));
            QCOMPARE(lockHolder.readLine().trimmed(), QByteArray("locked"));
        } else if (planted == "fifo") {
            QVERIFY(OtherUser::run({"mkfifo", sharedName + ".lock"}));
        } else if (planted == "directory") {
            QVERIFY(OtherUser::run({"mkdir", sharedName}));
        } else if (planted == "own folder taken") {
            const QString taken = shared + "/" + serverName + "-" + QString::number(::geteuid());
            QVERIFY(OtherUser::run({"mkdir", "-m", "777", taken}));
            listener = std::make_unique<OtherUser::Listener>(taken + "/" + serverName);
        } else if (planted == "foreign runtime") {
            const QString runtime = shared + "/runtime";
            QVERIFY(OtherUser::run({"mkdir", "-m", "700", runtime}));
            listener = std::make_unique<OtherUser::Listener>(runtime + "/" + serverName);
            env.insert("XDG_RUNTIME_DIR", runtime);
        } else if (planted == "shared runtime") {
            listener = std::make_unique<OtherUser::Listener>(sharedName);
            env.insert("XDG_RUNTIME_DIR", shared);
        } else if (planted == "foreign server") {
            // nobody's own folder, where this user (root) serves under our name.
            const QString own = shared + "/" + serverName + "-" + QString::number(nobody->pw_uid);
            QVERIFY(QDir().mkdir(own));
            QVERIFY(::chown(QFile::encodeName(own).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
            QVERIFY(::chmod(QFile::encodeName(own).constData(), 0700) == 0);
            listener = std::make_unique<OtherUser::Listener>(own + "/" + serverName, false);
        }
        QVERIFY(!listener || listener->listening);

        const QStringList wrapper = runAsNobody ? OtherUser::asNobody({}) : QStringList{};
        Instance first({}, wrapper, env);
        QCOMPARE(first.role(), QString("first"));
        QCOMPARE(secondStart({}, wrapper, env), QString("running"));
        QTRY_COMPARE_WITH_TIMEOUT(first.startedCount(), 1, 60000);
        // It serves from a folder that is its user's own.
        const uint runner = runAsNobody ? nobody->pw_uid : ::geteuid();
        const QString folder = (serves == "cache" ? qEnvironmentVariable("XDG_CACHE_HOME") : shared) + "/" + serverName
            + "-" + QString::number(runner);
        QCOMPARE(QFileInfo(folder).ownerId(), runner);
        QCOMPARE(QFileInfo(folder + "/" + serverName).ownerId(), runner);
        QCOMPARE(first.finish(), QString("total 1"));
        lockHolder.closeWriteChannel();
        lockHolder.waitForFinished(60000);
    }
};

QTEST_GUILESS_MAIN(TestQApplicationExSingle)
#include "tst_QApplicationExSingle.moc"
