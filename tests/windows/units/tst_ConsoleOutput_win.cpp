// The console tool's output streams on Windows: a second run of this program
// writes through attachConsole/printLine/printError with its standard output
// and standard error sent to a file or a pipe, as a caller of the real
// program redirects them.
#include "ConsoleOutput.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

const char* const ChildArgument = "--console-child";

// What the child prints: text the console tool prints (accents, signs, text
// beyond any ANSI code page) with lone LFs and CRLFs already in it.
int runChild()
{
    attachConsole();
    printLine(QStringLiteral("plain"));
    printLine(QStringLiteral("Gr\u00fc\u00dfe \u00e9 \u20ac \u65e5\u672c"));
    printLine(QStringLiteral("two\nlines"));
    printLine(QStringLiteral("already\r\ncrlf"));
    printLine(QString());
    printLines({QStringLiteral("a"), QStringLiteral("b")});
    printError(QStringLiteral("Error: \u00f6"));
    detachConsole();
    // Dropped: nothing is attached any more.
    printLine(QStringLiteral("after"));
    printError(QStringLiteral("after"));
    return 0;
}

const QByteArray ExpectedOutput = QByteArray("plain\r\n")
    + QStringLiteral("Gr\u00fc\u00dfe \u00e9 \u20ac \u65e5\u672c").toUtf8()
    + "\r\ntwo\r\nlines\r\nalready\r\ncrlf\r\n\r\na\r\nb\r\n";
const QByteArray ExpectedError = QStringLiteral("Error: \u00f6\r\n").toUtf8();

} // namespace

class TestConsoleOutputWin : public QObject
{
    Q_OBJECT

private slots:
    void streams_data();
    void streams();
};

void TestConsoleOutputWin::streams_data()
{
    QTest::addColumn<bool>("outToFile");
    QTest::addColumn<bool>("errToFile");
    // Without a parent console (the test runs none) a pipe gets UTF-8 as well.
    QTest::newRow("both to files") << true << true;
    QTest::newRow("both to pipes") << false << false;
    QTest::newRow("output to a file, errors to a pipe") << true << false;
    QTest::newRow("output to a pipe, errors to a file") << false << true;
}

void TestConsoleOutputWin::streams()
{
    QFETCH(bool, outToFile);
    QFETCH(bool, errToFile);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString outFile = dir.filePath("out.txt");
    const QString errFile = dir.filePath("err.txt");

    QProcess child;
    child.setStandardInputFile(QProcess::nullDevice());
    if (outToFile)
        child.setStandardOutputFile(outFile);
    if (errToFile)
        child.setStandardErrorFile(errFile);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(ChildArgument)});
    QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    auto readFile = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    // UTF-8 without a byte-order mark, CRLF after every line, each stream its own.
    QCOMPARE(outToFile ? readFile(outFile) : child.readAllStandardOutput(), ExpectedOutput);
    QCOMPARE(errToFile ? readFile(errFile) : child.readAllStandardError(), ExpectedError);
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], ChildArgument) == 0)
        return runChild();
    QCoreApplication app(argc, argv);
    TestConsoleOutputWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ConsoleOutput_win.moc"
