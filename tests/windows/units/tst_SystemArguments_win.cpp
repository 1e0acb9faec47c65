// The program's arguments on Windows: a second run of this program gets a
// command line made by QProcess (CreateProcessW, so the wide line holds the
// text whole) and reports what systemArguments() and programArguments() read.
#include "CommandLine.h"
#include "SystemArguments.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

const char* const ChildArgument = "--arguments-child";

// One line of words, each argument as "x" and the hex of its UTF-8: no code
// page or line end of the stream can change what the parent reads back.
void report(const char* title, const QStringList& arguments)
{
    std::printf("%s", title);
    for (const QString& argument : arguments)
        std::printf(" x%s", argument.toUtf8().toHex().constData());
    std::printf("\n");
}

int runChild(int argc, char** argv)
{
    // Without its own path and this program's flag.
    report("system", systemArguments(argc, argv).mid(2));
    report("program", CommandLine::programArguments(argc, argv).mid(2));
    return 0;
}

QStringList decode(const QByteArray& line)
{
    QStringList arguments;
    const QList<QByteArray> words = line.trimmed().split(' ');
    for (const QByteArray& word : words.mid(1))
        arguments.append(QString::fromUtf8(QByteArray::fromHex(word.mid(1))));
    return arguments;
}

} // namespace

class TestSystemArgumentsWin : public QObject
{
    Q_OBJECT

private slots:
    void wideCommandLine_data();
    void wideCommandLine();
};

void TestSystemArgumentsWin::wideCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("programArguments");
    const QStringList unicode{QStringLiteral("/Firefox:J\u00fcrgen-\u65e5\u672c\u00df"),
                              QStringLiteral("/Chrome:\u0416\u0435\u043d\u044f \U0001F600")};
    QTest::newRow("beyond the ANSI code page") << unicode << unicode;
    const QStringList quoted{QStringLiteral("/Firefox:C:\\Portable Firefox\\Data\\profile\\"),
                             QStringLiteral("say \"hi\""), QString(), QStringLiteral("a\\\\b")};
    QTest::newRow("blanks, quotes, backslashes, an empty one") << quoted << quoted;
    QTest::newRow("the toolkit's own options")
        << QStringList{QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("/Firefox:\u65e5\u672c"),
                       QStringLiteral("-reverse")}
        << QStringList{QStringLiteral("/Firefox:\u65e5\u672c")};
}

void TestSystemArgumentsWin::wideCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, programArguments);
    QProcess child;
    child.setStandardInputFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(), QStringList{QString::fromLatin1(ChildArgument)} + arguments);
    QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith("system"));
    QCOMPARE(decode(lines[0]), arguments);
    QVERIFY(lines[1].startsWith("program"));
    QCOMPARE(decode(lines[1]), programArguments);
}

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], ChildArgument) == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestSystemArgumentsWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SystemArguments_win.moc"
