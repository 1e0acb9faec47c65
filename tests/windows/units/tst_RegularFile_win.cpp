// Reads of other programs' files on Windows: regular files, what is missing,
// folders, devices and pipes under a file's name, and a file another program
// holds open without sharing.
#include "RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

using RegularFile::Kind;

Q_DECLARE_METATYPE(RegularFile::Kind)

namespace {

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Held open by this process as a browser holds its database: nobody else may read.
class ExclusiveOpen
{
public:
    explicit ExclusiveOpen(const QString& path)
        : m_handle(CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                               GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~ExclusiveOpen()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// A named pipe's server end: opening its name connects at once, never waits.
class PipeServer
{
public:
    explicit PipeServer(const QString& name)
        : m_handle(CreateNamedPipeW(reinterpret_cast<const wchar_t*>(name.utf16()), PIPE_ACCESS_DUPLEX,
                                    PIPE_TYPE_BYTE | PIPE_WAIT, 4, 4096, 4096, 0, nullptr))
    {
    }
    ~PipeServer()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// A database header, a NUL and more: 32 bytes.
const QByteArray FileData("SQLite format 3\0rest of the file", 32);

const QString PipeName = QStringLiteral("\\\\.\\pipe\\quorbilan-regularfile-test");

} // namespace

class TestRegularFileWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void examine_data();
    void examine();
    void fileInUse();
    void readAll_data();
    void readAll();
    void listFolder();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PipeServer> m_pipe;
};

void TestRegularFileWin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeFile(m_dir.filePath("data.bin"), FileData));
    QVERIFY(writeFile(m_dir.filePath("empty"), QByteArray()));
    QVERIFY(QDir(m_dir.path()).mkdir("folder"));
    m_pipe = std::make_unique<PipeServer>(PipeName);
    QVERIFY(m_pipe->isOpen());
}

void TestRegularFileWin::examine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("headBytes");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QByteArray>("head");
    const QString dir = m_dir.path();
    QTest::newRow("regular, head shorter than the file")
        << dir + "/data.bin" << 6 << Kind::Regular << qint64(32) << QByteArray("SQLite");
    QTest::newRow("regular, head longer than the file")
        << dir + "/data.bin" << 100 << Kind::Regular << qint64(32) << FileData;
    QTest::newRow("backslashes") << QDir::toNativeSeparators(dir + "/data.bin") << 3 << Kind::Regular << qint64(32)
                                 << QByteArray("SQL");
    QTest::newRow("empty") << dir + "/empty" << 16 << Kind::Regular << qint64(0) << QByteArray();
    QTest::newRow("missing") << dir + "/nothing" << 16 << Kind::Missing << qint64(-1) << QByteArray();
    QTest::newRow("missing folder") << dir + "/no/such/file" << 16 << Kind::Missing << qint64(-1) << QByteArray();
    QTest::newRow("folder") << dir + "/folder" << 16 << Kind::NotRegular << qint64(-1) << QByteArray();
    QTest::newRow("device") << QStringLiteral("NUL") << 16 << Kind::NotRegular << qint64(-1) << QByteArray();
    QTest::newRow("named pipe") << PipeName << 16 << Kind::NotRegular << qint64(-1) << QByteArray();
}

void TestRegularFileWin::examine()
{
    QFETCH(QString, path);
    QFETCH(int, headBytes);
    QFETCH(Kind, kind);
    QFETCH(qint64, size);
    QFETCH(QByteArray, head);
    const RegularFile::Examination result = RegularFile::examine(path, headBytes);
    QCOMPARE(int(result.kind), int(kind));
    QCOMPARE(result.size, size);
    QCOMPARE(result.head, head);
    QCOMPARE(result.error.isEmpty(), kind == Kind::Regular);
}

void TestRegularFileWin::fileInUse()
{
    const QString path = m_dir.filePath("locked.sqlite");
    QVERIFY(writeFile(path, "held"));
    {
        ExclusiveOpen holder(path);
        QVERIFY(holder.isOpen());
        const RegularFile::Examination result = RegularFile::examine(path, 4);
        QCOMPARE(int(result.kind), int(Kind::InUse));
        QVERIFY(!result.error.isEmpty());
        QByteArray contents = "untouched";
        QVERIFY(!RegularFile::readAll(path, contents));
        QVERIFY(contents.isEmpty());
    }
    QCOMPARE(int(RegularFile::examine(path, 4).kind), int(Kind::Regular));
}

void TestRegularFileWin::readAll_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("contents");
    const QString dir = m_dir.path();
    const QByteArray& data = FileData;
    QTest::newRow("whole file") << dir + "/data.bin" << qint64(1024) << true << data;
    QTest::newRow("exactly the limit") << dir + "/data.bin" << qint64(32) << true << data;
    QTest::newRow("over the limit") << dir + "/data.bin" << qint64(31) << false << QByteArray();
    QTest::newRow("empty file") << dir + "/empty" << qint64(1024) << true << QByteArray();
    QTest::newRow("missing") << dir + "/nothing" << qint64(1024) << false << QByteArray();
    QTest::newRow("folder") << dir + "/folder" << qint64(1024) << false << QByteArray();
    QTest::newRow("device") << QStringLiteral("NUL") << qint64(1024) << false << QByteArray();
    QTest::newRow("named pipe") << PipeName << qint64(1024) << false << QByteArray();
}

void TestRegularFileWin::readAll()
{
    QFETCH(QString, path);
    QFETCH(qint64, maxBytes);
    QFETCH(bool, ok);
    QFETCH(QByteArray, contents);
    QByteArray actual = "untouched";
    QCOMPARE(RegularFile::readAll(path, actual, maxBytes), ok);
    QCOMPARE(actual, contents);
}

void TestRegularFileWin::listFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("History"), "x"));
    QVERIFY(writeFile(dir.filePath("places.sqlite"), "x"));
    QVERIFY(writeFile(dir.filePath("hidden.db"), "x"));
    QVERIFY(SetFileAttributesW(
        reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(dir.filePath("hidden.db")).utf16()),
        FILE_ATTRIBUTE_HIDDEN));
    QVERIFY(QDir(dir.path()).mkdir("Sub Folder"));

    RegularFile::FolderEntries entries = RegularFile::listFolder(dir.path());
    entries.names.sort();
    QCOMPARE(entries.names, QStringList({"History", "places.sqlite"}));
    QVERIFY(!entries.undecodableNames);
    QVERIFY(entries.error.isEmpty());

    const RegularFile::FolderEntries missing = RegularFile::listFolder(dir.filePath("gone"));
    QVERIFY(missing.names.isEmpty());
    QVERIFY(!missing.error.isEmpty());
}

QTEST_GUILESS_MAIN(TestRegularFileWin)
#include "tst_RegularFile_win.moc"
