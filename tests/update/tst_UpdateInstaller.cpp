// The installer hand-over: a real program, copied where a download would be
// saved, is started when the application ends only if the user armed it.
#include "UpdateInstaller.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_UpdateInstaller : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    // A copy of the probe without the execute bit, as a download is saved.
    QString downloadedInstaller(const QString& name)
    {
        const QString path = dir.filePath(name);
        if (!QFile::copy(QStringLiteral(INSTALLER_PROBE), path))
            qFatal("cannot copy the probe");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    QString runApplication(const QString& mode, const QString& file)
    {
        QProcess helper;
        helper.start(QStringLiteral(INSTALLER_HELPER), {mode, file});
        if (!helper.waitForFinished(20000) || helper.exitCode() != 0)
            return QStringLiteral("helper failed: ") + helper.readAllStandardError();
        return QString::fromUtf8(helper.readAllStandardOutput()).trimmed();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void armedInstallerRunsAtTheEnd_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("armed") << "arm";
        QTest::newRow("armed, tmpInstall version") << "arm-tmp";
    }

    void armedInstallerRunsAtTheEnd()
    {
        QFETCH(QString, mode);
        const QString installer = downloadedInstaller(mode + ".bin");
        QCOMPARE(runApplication(mode, installer), QStringLiteral("armed=1 quit=1 started=1"));
        QFile marker(installer + ".ran");
        QTRY_VERIFY_WITH_TIMEOUT(marker.exists() && marker.size() > 0, 10000);
        QVERIFY(marker.open(QIODevice::ReadOnly));
        QCOMPARE(marker.readAll(), QByteArray("0\n")); // started without arguments
        QVERIFY(QFile::permissions(installer) & QFile::ExeOwner);
    }

    void quittingWithoutArmingStartsNothing()
    {
        const QString installer = downloadedInstaller(QStringLiteral("unarmed.bin"));
        QCOMPARE(runApplication(QStringLiteral("quit"), installer), QStringLiteral("armed=0 quit=1 started=0"));
        QVERIFY(!QFile::exists(installer + ".ran"));
        QVERIFY(!(QFile::permissions(installer) & QFile::ExeOwner));
    }

    void armingWithoutFileNeitherQuitsNorArms()
    {
        QCOMPARE(runApplication(QStringLiteral("nofile"), QString()), QStringLiteral("armed=0 quit=0 started=0"));
    }

    void baseAnswers()
    {
        QVERIFY(updateInstaller);
        QVERIFY(!updateInstaller->needsUnpack());
        QVERIFY(!updateInstaller->reservedQuery());
        QVERIFY(updateInstaller->unpack(QStringLiteral("x")).isEmpty());
        QVERIFY(!updateInstaller->installPending);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^WARN: .*UpdateInstaller.cpp:\\d+ spdlog is NULL$"));
        updateInstaller->setLogger(nullptr);
        QVERIFY(!updateInstaller->logger);
    }
};

QTEST_GUILESS_MAIN(tst_UpdateInstaller)
#include "tst_UpdateInstaller.moc"
