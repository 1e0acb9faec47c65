#include "FileVersionInfo.h"
#include "OsVersion.h"
#include "ProductIdentity.h"

#include <QTest>

class TestVersionInfo : public QObject
{
    Q_OBJECT

private slots:
    void fileVersionText_data();
    void fileVersionText();
    void fileVersionKeepsUnreachedNumbers();
    void ownExecutable();
    void otherFiles();
    void fileExistsCases();
    void osReleaseValues_data();
    void osReleaseValues();
    void osNames();
};

void TestVersionInfo::fileVersionText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<uint>>("numbers");

    QTest::newRow("comma and blank") << " 3, 0, 0, 118 "
                                     << "3.0.0.118" << QList<uint>{3, 0, 0, 118};
    QTest::newRow("two numbers") << "3.0"
                                 << "3.0" << QList<uint>{3, 0, 0, 0};
    QTest::newRow("dotted") << "10.2.33.4567"
                            << "10.2.33.4567" << QList<uint>{10, 2, 33, 4567};
    QTest::newRow("commas without blanks") << "1,2,3,4"
                                           << "1,2,3,4" << QList<uint>{1, 2, 3, 4};
    QTest::newRow("suffix ends reading") << "3.1.2 beta"
                                         << "3.1.2 beta" << QList<uint>{3, 1, 2, 0};
    QTest::newRow("text before the numbers") << "v3.1"
                                             << "v3.1" << QList<uint>{0, 0, 0, 0};
    QTest::newRow("single number") << "7"
                                   << "7" << QList<uint>{0, 0, 0, 0};
    QTest::newRow("too long a number saturates") << "99999999999999999999.1"
                                                 << "99999999999999999999.1" << QList<uint>{4294967295u, 1, 0, 0};
    QTest::newRow("blank only") << "   "
                                << "" << QList<uint>{0, 0, 0, 0};
}

void TestVersionInfo::fileVersionText()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(QList<uint>, numbers);

    FileVersionInfo info;
    info.setFileVersion(text.toStdWString());
    QCOMPARE(QString::fromStdWString(info.fileVersion), stored);
    QCOMPARE((QList<uint>{info.major(), info.minor(), info.build(), info.revision()}), numbers);
}

void TestVersionInfo::fileVersionKeepsUnreachedNumbers()
{
    FileVersionInfo info;
    info.setFileVersion(L"1.2.3.4");
    info.setFileVersion(L"5.6");
    QCOMPARE(info.fileVersion, std::wstring(L"5.6"));
    QCOMPARE((QList<uint>{info.major(), info.minor(), info.build(), info.revision()}), (QList<uint>{5, 6, 3, 4}));
    // A blank text is not taken at all.
    info.setFileVersion(L" \t");
    QCOMPARE(info.fileVersion, std::wstring(L"5.6"));
}

void TestVersionInfo::ownExecutable()
{
    const std::wstring path = QCoreApplication::applicationFilePath().toStdWString();
    FileVersionInfo info;
    QVERIFY(readFileVersionInfo(path.c_str(), info));
    QVERIFY(!info.empty);
    const QString expected = QStringLiteral("%1.%2.%3.%4")
                                 .arg(QUORBILAN_VERSION_MAJOR)
                                 .arg(QUORBILAN_VERSION_MINOR)
                                 .arg(QUORBILAN_VERSION_PATCH)
                                 .arg(QUORBILAN_VERSION_BUILD);
    QCOMPARE(QString::fromStdWString(info.fileVersion), expected);
    QCOMPARE(info.major(), uint(QUORBILAN_VERSION_MAJOR));
    QCOMPARE(info.minor(), uint(QUORBILAN_VERSION_MINOR));
    QCOMPARE(info.build(), uint(QUORBILAN_VERSION_PATCH));
    QCOMPARE(info.revision(), uint(QUORBILAN_VERSION_BUILD));
    QCOMPARE(QString::fromStdWString(fileProductVersion(path.c_str())), expected);

    // Reached through a symbolic link it is still the program's own file.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), link));
    FileVersionInfo linked;
    QVERIFY(readFileVersionInfo(link.toStdWString().c_str(), linked));
    QCOMPARE(QString::fromStdWString(linked.fileVersion), expected);
}

void TestVersionInfo::otherFiles()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    for (const QString& path : {copy, dir.filePath(QStringLiteral("missing")), dir.path()}) {
        FileVersionInfo info;
        QVERIFY2(!readFileVersionInfo(path.toStdWString().c_str(), info), qPrintable(path));
        QVERIFY(info.empty);
        QVERIFY(info.fileVersion.empty());
        QCOMPARE(info.major(), 0u);
        QVERIFY(fileProductVersion(path.toStdWString().c_str()).empty());
    }
    FileVersionInfo info;
    QVERIFY(!readFileVersionInfo(nullptr, info));
    QVERIFY(fileProductVersion(nullptr).empty());
}

void TestVersionInfo::fileExistsCases()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ä file"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(fileExists(file.toStdWString().c_str()));
    QVERIFY(fileExists(dir.path().toStdWString().c_str()));
    QVERIFY(!fileExists(dir.filePath(QStringLiteral("missing")).toStdWString().c_str()));
    QVERIFY(!fileExists(L""));
    QVERIFY(!fileExists(nullptr));
}

void TestVersionInfo::osReleaseValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("double quotes") << "PRETTY_NAME"
                                   << "Debian GNU/Linux 12 (bookworm)";
    QTest::newRow("bare") << "ID"
                          << "debian";
    QTest::newRow("single quotes") << "VERSION_ID"
                                   << "12";
    QTest::newRow("escapes") << "NAME"
                             << "A \"quoted\" $name";
    QTest::newRow("missing") << "BUILD_ID"
                             << "";
    QTest::newRow("key prefix only") << "VERSION"
                                     << "";
}

void TestVersionInfo::osReleaseValues()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QString text = QStringLiteral("# comment\n"
                                        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                        "NAME=\"A \\\"quoted\\\" \\$name\"\n"
                                        "VERSION_ID='12'\n"
                                        "VERSION_CODENAME=bookworm\n"
                                        "ID=debian\n");
    QCOMPARE(osReleaseValue(text, key), value);
}

void TestVersionInfo::osNames()
{
    QFile file(QStringLiteral("/etc/os-release"));
    if (!file.open(QIODevice::ReadOnly))
        QSKIP("this system has no /etc/os-release");
    const QString release = QString::fromUtf8(file.readAll());
    const QString pretty = osReleaseValue(release, QStringLiteral("PRETTY_NAME"));
    const QString description = osDescription();
    QVERIFY2(!pretty.isEmpty() && description.startsWith(pretty + QLatin1Char(' ')), qPrintable(description));
    QVERIFY(description.size() > pretty.size() + 1);
    if (QSysInfo::currentCpuArchitecture() == QLatin1String("x86_64"))
        QVERIFY(description.endsWith(QLatin1String(" x64")));
    const QString version = osReleaseValue(release, QStringLiteral("VERSION_ID"));
    QCOMPARE(osVersionName(), version.isEmpty() ? QSysInfo::productVersion() : version);
    // Cached: the same text on every call.
    QCOMPARE(osDescription(), description);
}

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
