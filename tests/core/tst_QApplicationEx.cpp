#include "AppSettings.h"
#include "IsolatedTestMain.h"
#include "LanguageTable.h"
#include "ProductIdentity.h"
#include "QApplicationEx.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

class TestQApplicationEx : public QObject
{
    Q_OBJECT

    static QApplicationEx* app() { return static_cast<QApplicationEx*>(QCoreApplication::instance()); }

private slots:
    void identityFromTheExecutable()
    {
        QCOMPARE(QCoreApplication::applicationName(), QString("Quorbilan"));
        const QString expected = QString("%1.%2.%3")
                                     .arg(QUORBILAN_VERSION_MAJOR)
                                     .arg(QUORBILAN_VERSION_MINOR)
                                     .arg(QUORBILAN_VERSION_PATCH);
        QCOMPARE(QCoreApplication::applicationVersion(), expected);
        QCOMPARE(app()->buildNumber(), quint32(QUORBILAN_VERSION_BUILD));
    }

    // The main thread is named, but the process keeps the name ps shows.
    void mainThreadNamedWithoutRenamingProcess()
    {
        QCOMPARE(QThread::currentThread()->objectName(), QString("mainThread"));
        QFile comm("/proc/self/comm");
        QVERIFY(comm.open(QIODevice::ReadOnly));
        const QString processName = QString::fromUtf8(comm.readAll()).trimmed();
        QCOMPARE(processName, QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15));
    }

    void servicesAreNullUntilMadeAndReplaced()
    {
        QVERIFY(!app()->settings);
        QVERIFY(!app()->languageTable);

        app()->initSettings("Quorbilan", "Tulverhaven Software");
        QVERIFY(app()->settings);
        app()->settings->registerValueString("LastBrowsedDir", {});
        app()->settings->setValueString("LastBrowsedDir", "/kept");
        app()->initSettings("Quorbilan", "Tulverhaven Software");
        // The new store starts without registrations but reads the same file.
        app()->settings->registerValueString("LastBrowsedDir", {});
        QCOMPARE(app()->settings->valueString("LastBrowsedDir"), QString("/kept"));
        QVERIFY(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tulverhaven Software/Quorbilan.conf"));

        app()->initLanguage(":/English.xml");
        QVERIFY(app()->languageTable);
        app()->languageTable->load("English.xml");
        app()->initLanguage(":/English.xml");
        QCOMPARE(app()->languageTable->currentLanguageName(), QString());
        app()->languageTable->load("English.xml");
        QCOMPARE(app()->languageTable->translate("core/QMessageBoxEx/buttonYes"), QString("Yes"));
        QCOMPARE(app()->languageTable->currentLanguageName(), QString("English"));
    }

    void forceForegroundWindowRestoresMinimised()
    {
        QApplicationEx::forceForegroundWindow(nullptr);

        QWidget window;
        QWidget* child = new QWidget(&window);
        window.showMinimized();
        QVERIFY(window.isMinimized());
        QApplicationEx::forceForegroundWindow(child);
        QVERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
    }
};

int main(int argc, char** argv)
{
    return runIsolatedTest<TestQApplicationEx, QApplicationEx>(argc, argv, AppArguments::Runner, "Quorbilan");
}

#include "tst_QApplicationEx.moc"
