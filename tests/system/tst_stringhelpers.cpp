#include "StringHelpers.h"
#include "WideUtf8.h"
#include "CompareVersionsCases.h"

#include <QTest>

class TestStringHelpers : public QObject
{
    Q_OBJECT

private slots:
    void compareVersionsTable_data();
    void compareVersionsTable();
    void replaceAll_data();
    void replaceAll();
    void replaceAllCStrNullArguments();
    void findNoCase_data();
    void findNoCase();
    void findNoCaseBeyondTable();
    void trimWhitespace_data();
    void trimWhitespace();
    void utf8RoundTrip_data();
    void utf8RoundTrip();
};

namespace {

// A version as a row name, its control characters written as escapes.
QByteArray visible(const char* version)
{
    QByteArray text(version);
    return text.replace('\t', "\\t").replace('\n', "\\n").replace('\r', "\\r");
}

} // namespace

void TestStringHelpers::compareVersionsTable_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("result");
    for (const CompareVersionsCase& c : compareVersionsCases)
        QTest::addRow("'%s' vs '%s'", visible(c.a).constData(), visible(c.b).constData())
            << QByteArray(c.a) << QByteArray(c.b) << c.result;
}

void TestStringHelpers::compareVersionsTable()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, result);
    QCOMPARE(compareVersions(a.toStdString(), b.toStdString()), result);
    // Swapping the arguments turns the answer round.
    QCOMPARE(compareVersions(b.toStdString(), a.toStdString()), -result);
}

void TestStringHelpers::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("count");

    QTest::newRow("empty from") << "abc"
                                << ""
                                << "x" << false << "abc" << 0;
    QTest::newRow("slashes") << "C:/dir/file"
                             << "/"
                             << "\\" << false << "C:\\dir\\file" << 2;
    QTest::newRow("replacement contains placeholder") << "%a% and %a%"
                                                      << "%a%"
                                                      << "[%a%]" << false << "[%a%] and [%a%]" << 2;
    QTest::newRow("replacement contains placeholder, ignoring case") << "%A%%a%"
                                                                     << "%a%"
                                                                     << "%a%%a%" << true << "%a%%a%%a%%a%" << 2;
    QTest::newRow("exact case only") << "%app_name% %APP_NAME% %App_Name%"
                                     << "%app_name%"
                                     << "Q" << false << "Q %APP_NAME% %App_Name%" << 1;
    QTest::newRow("any case") << "%app_name% %APP_NAME% %App_Name%"
                              << "%app_name%"
                              << "Q" << true << "Q Q Q" << 3;
    QTest::newRow("non-ASCII ignoring case") << "ÄRGER ärger"
                                             << "är"
                                             << "x" << true << "xGER xger" << 2;
    QTest::newRow("removal") << "3, 0, 0, 118"
                             << ", "
                             << "." << false << "3.0.0.118" << 3;
    QTest::newRow("no match") << "abc"
                              << "d"
                              << "x" << true << "abc" << 0;
}

void TestStringHelpers::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, ignoreCase);
    QFETCH(QString, expected);
    QFETCH(int, count);

    std::wstring target = text.toStdWString();
    QCOMPARE(::replaceAll(target, from.toStdWString(), to.toStdWString(), ignoreCase), count);
    QCOMPARE(QString::fromStdWString(target), expected);

    std::wstring cTarget = text.toStdWString();
    QCOMPARE(replaceAllCStr(cTarget, from.toStdWString().c_str(), to.toStdWString().c_str(), ignoreCase), count);
    QCOMPARE(QString::fromStdWString(cTarget), expected);
}

void TestStringHelpers::replaceAllCStrNullArguments()
{
    std::wstring target = L"abc";
    QCOMPARE(replaceAllCStr(target, nullptr, L"x", false), 0);
    QCOMPARE(replaceAllCStr(target, L"b", nullptr, false), 1);
    QCOMPARE(target, std::wstring(L"ac"));
}

void TestStringHelpers::findNoCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sought");
    QTest::addColumn<int>("start");
    QTest::addColumn<qsizetype>("expected");

    const auto notFound = qsizetype(std::wstring::npos);
    QTest::newRow("mixed case") << "Hello World"
                                << "WORLD" << 0 << qsizetype(6);
    QTest::newRow("after start") << "abcABC"
                                 << "abc" << 1 << qsizetype(3);
    QTest::newRow("non-ASCII") << "ÉCOLE Über"
                               << "über" << 0 << qsizetype(6);
    QTest::newRow("Cyrillic") << "ПРИВЕТ"
                              << "привет" << 0 << qsizetype(0);
    QTest::newRow("empty sought at start") << "abc"
                                           << "" << 2 << qsizetype(2);
    QTest::newRow("empty sought at end") << "abc"
                                         << "" << 3 << qsizetype(3);
    QTest::newRow("start beyond text") << "abc"
                                       << "" << 4 << notFound;
    QTest::newRow("no room left") << "abcd"
                                  << "cd" << 3 << notFound;
    QTest::newRow("text shorter than sought") << "ab"
                                              << "abc" << 0 << notFound;
    QTest::newRow("not present") << "abc"
                                 << "x" << 0 << notFound;
}

void TestStringHelpers::findNoCase()
{
    QFETCH(QString, text);
    QFETCH(QString, sought);
    QFETCH(int, start);
    QFETCH(qsizetype, expected);
    QCOMPARE(qsizetype(::findNoCase(text.toStdWString(), sought.toStdWString(), std::size_t(start))), expected);
}

void TestStringHelpers::findNoCaseBeyondTable()
{
    // A Linux wchar_t holds values above 0xFFFF (and negative ones when cast):
    // they are compared as they are, never looked up past the 16-bit table.
    std::wstring text = L"a";
    text += wchar_t(0x10400);
    text += wchar_t(-1);
    text += L"B";
    std::wstring sought;
    sought += wchar_t(0x10400);
    sought += wchar_t(-1);
    sought += L"b";
    QCOMPARE(::findNoCase(text, sought, 0), std::wstring::size_type(1));
    QCOMPARE(::findNoCase(text, std::wstring(1, wchar_t(0x10428)), 0), std::wstring::npos);
}

void TestStringHelpers::trimWhitespace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks and tab") << "  1.0 \t"
                                    << "1.0";
    QTest::newRow("only white space") << " \t\r\n "
                                      << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("inner blanks kept") << " a b "
                                       << "a b";
    QTest::newRow("nothing to trim") << "1.0"
                                     << "1.0";
}

void TestStringHelpers::trimWhitespace()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    std::wstring value = text.toStdWString();
    ::trimWhitespace(value);
    QCOMPARE(QString::fromStdWString(value), expected);
}

void TestStringHelpers::utf8RoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("wideLength");
    QTest::newRow("ASCII") << QByteArray("/usr/bin/sleep") << 14;
    QTest::newRow("two-byte and four-byte characters") << QByteArray("/tmp/\xc3\xa4\xf0\x9f\x98\x80") << 7;
    QTest::newRow("invalid bytes") << QByteArray("/tmp/\xff\xfe\xc3") << 8;
    QTest::newRow("overlong form") << QByteArray("\xc0\xaf") << 2;
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << 3;
}

void TestStringHelpers::utf8RoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, wideLength);
    const std::wstring wide = utf8ToWide(bytes.toStdString());
    QCOMPARE(int(wide.size()), wideLength);
    QCOMPARE(QByteArray::fromStdString(wideToUtf8(wide)), bytes);
}

QTEST_GUILESS_MAIN(TestStringHelpers)
#include "tst_stringhelpers.moc"
