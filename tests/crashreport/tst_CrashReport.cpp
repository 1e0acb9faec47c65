#include "CrashHandler.h"
#include "CrashReportBox.h"
#include "FakeMailPrograms.h"
#include "ReportMail.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The crash reporter's parts that need no crash: texts, names, mail routes, the box.
class TestCrashReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void expandsPlaceholders_data();
    void expandsPlaceholders();
    void namesTheDumpFromTheTime_data();
    void namesTheDumpFromTheTime();
    void refusesADumpNameThatDoesNotFit();
    void encodesTheMailtoLink_data();
    void encodesTheMailtoLink();
    void buildsOutlooksCommandLine();
    void choosesTheMailRoute_data();
    void choosesTheMailRoute();
    void handsTheMailToXdgEmail();
    void reportBoxShowsTheChoice_data();
    void reportBoxShowsTheChoice();

private:
    CrashHandler saved = CrashHandler::instance();
};

void TestCrashReport::init()
{
    CrashHandler::instance() = saved;
    CrashHandler::setAppName(L"Quorbilan");
    CrashHandler::setAppVersion(L"3.0.0.42");
    CrashHandler::setSupportEmail(L"support@example.com");
    CrashHandler::instance().dumpFilePath = L"/home/u/x y/quorbilan_3.0.0.42.dmp";
}

void TestCrashReport::expandsPlaceholders_data()
{
    const QString winver = QString::fromStdWString(winverString());
    QTest::addColumn<QString>("appName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fileNameOnly");
    QTest::addColumn<QString>("expected");
    QTest::newRow("every placeholder") << "Quorbilan"
                                       << "%app_name% %app_version% %email% %dump_file% %winver%" << false
                                       << "Quorbilan 3.0.0.42 support@example.com /home/u/x y/quorbilan_3.0.0.42.dmp "
            + winver;
    QTest::newRow("file name only") << "Quorbilan"
                                    << "'%dump_file%'" << true << "'quorbilan_3.0.0.42.dmp'";
    QTest::newRow("case and unknown words stay")
        << "Quorbilan"
        << "%APP_NAME% %App_Name% %unknown%" << false << "%APP_NAME% %App_Name% %unknown%";
    QTest::newRow("cascade through the name") << "Q %winver% %email%"
                                              << "%app_name%" << false << "Q " + winver + " support@example.com";
    QTest::newRow("inserted text is not scanned again") << "%app_name%"
                                                        << "%app_name%!" << false << "%app_name%!";
    QTest::newRow("repeated") << "Q"
                              << "%app_name%%app_name%" << false << "QQ";
    QTest::newRow("caption") << "Quorbilan" << QString::fromStdWString(CrashHandler::instance().caption) << false
                             << "Quorbilan - Unhandled Exception";
}

void TestCrashReport::expandsPlaceholders()
{
    QFETCH(QString, appName);
    QFETCH(QString, text);
    QFETCH(bool, fileNameOnly);
    QFETCH(QString, expected);
    CrashHandler::setAppName(appName.toStdWString().c_str());
    QCOMPARE(QString::fromStdWString(expandPlaceholders(text.toStdWString(), fileNameOnly)), expected);
}

void TestCrashReport::namesTheDumpFromTheTime_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no leading zeros") << qint64(1772694489) << "app.exe_3.0.0.42_10.0_x64_2026-3-5_7.8.9.dmp";
    QTest::newRow("leap day") << qint64(1709251199) << "app.exe_3.0.0.42_10.0_x64_2024-2-29_23.59.59.dmp";
    QTest::newRow("new year") << qint64(946684800) << "app.exe_3.0.0.42_10.0_x64_2000-1-1_0.0.0.dmp";
}

void TestCrashReport::namesTheDumpFromTheTime()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, expected);
    const CrashTime time = crashTimeFromEpoch(seconds);
    char narrow[2048];
    QVERIFY(formatDumpName(narrow, sizeof narrow, "app.exe", "3.0.0.42", "10.0_x64", time));
    QCOMPARE(QString::fromUtf8(narrow), expected);
    wchar_t wide[2048];
    QVERIFY(formatDumpName(wide, 2048, L"app.exe", L"3.0.0.42", L"10.0_x64", time));
    QCOMPARE(QString::fromWCharArray(wide), expected);
}

void TestCrashReport::refusesADumpNameThatDoesNotFit()
{
    const CrashTime time = crashTimeFromEpoch(1772694489);
    const std::string name = "app.exe_3.0.0.42_10.0_x64_2026-3-5_7.8.9.dmp";
    char exact[64];
    std::fill(std::begin(exact), std::end(exact), 'X');
    QVERIFY(formatDumpName(exact, name.size() + 1, "app.exe", "3.0.0.42", "10.0_x64", time));
    QCOMPARE(std::string(exact), name);
    std::fill(std::begin(exact), std::end(exact), 'X');
    QVERIFY(!formatDumpName(exact, name.size(), "app.exe", "3.0.0.42", "10.0_x64", time));
    // Nothing written beyond the capacity given.
    QCOMPARE(exact[name.size()], 'X');
}

void TestCrashReport::encodesTheMailtoLink_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected");
    QTest::newRow("line breaks")
        << "support@example.com"
        << "Quorbilan 3.0.0.42 Bug Report"
        << "a\nb"
        << "mailto:support@example.com?subject=Quorbilan%203.0.0.42%20Bug%20Report&body=a%0D%0Ab";
    QTest::newRow("characters that would cut the link")
        << "a+b@example.com"
        << "x&y=z#1?"
        << "/tmp/50% & more/d.dmp"
        << "mailto:a%2Bb@example.com?subject=x%26y%3Dz%231%3F&body=%2Ftmp%2F50%25%20%26%20more%2Fd.dmp";
    QTest::newRow("non-ASCII as UTF-8") << "s@example.com" << QString::fromUtf8("Qé") << QString::fromUtf8("€")
                                        << "mailto:s@example.com?subject=Q%C3%A9&body=%E2%82%AC";
    QTest::newRow("no address") << ""
                                << "s"
                                << ""
                                << "mailto:?subject=s&body=";
}

void TestCrashReport::encodesTheMailtoLink()
{
    QFETCH(QString, address);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdWString(mailtoLink(address.toStdWString(), subject.toStdWString(), body.toStdWString())),
             expected);
}

void TestCrashReport::buildsOutlooksCommandLine()
{
    // The texts go in as they are, line feed included.
    QCOMPARE(
        QString::fromStdWString(
            outlookCommandLine(L"C:\\Office\\OUTLOOK.EXE", L"C:\\d\\a b.dmp", L"s@example.com", L"S & T", L"one\ntwo")),
        QString("\"C:\\Office\\OUTLOOK.EXE\" /a \"C:\\d\\a b.dmp\" /m \"s@example.com&subject=S & T&body=one\ntwo\""));
    // A line that would not fit its buffer is refused rather than cut.
    QVERIFY(outlookCommandLine(L"o.exe", L"a", L"s", L"S", std::wstring(2020, L'x')).empty());
}

void TestCrashReport::choosesTheMailRoute_data()
{
    QTest::addColumn<bool>("attachment");
    QTest::addColumn<int>("emailExit");
    QTest::addColumn<int>("openExit");
    QTest::addColumn<int>("emailCalls");
    QTest::addColumn<int>("openCalls");
    QTest::newRow("compose service takes it") << true << 0 << 0 << 1 << 0;
    QTest::newRow("compose service fails: link") << true << 3 << 0 << 1 << 1;
    QTest::newRow("both fail: link once") << true << 3 << 4 << 1 << 1;
    QTest::newRow("no attachment: link only") << false << 0 << 0 << 0 << 1;
    QTest::newRow("no attachment, link fails: twice") << false << 0 << 4 << 0 << 2;
}

void TestCrashReport::choosesTheMailRoute()
{
    QFETCH(bool, attachment);
    QFETCH(int, emailExit);
    QFETCH(int, openExit);
    QFETCH(int, emailCalls);
    QFETCH(int, openCalls);
    QTemporaryDir bin;
    FakeMailPrograms fakes(bin.path());
    fakes.setExitCode("xdg-email", emailExit);
    fakes.setExitCode("xdg-open", openExit);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", fakes.path().toUtf8());
    sendMail(0, L"Subject", L"Body\nline", L"s@example.com", attachment ? L"/tmp/d.dmp" : L"");
    qputenv("PATH", path);
    QCOMPARE(fakes.calls("xdg-email").size(), emailCalls);
    QCOMPARE(fakes.calls("xdg-open").size(), openCalls);
    for (const QStringList& call : fakes.calls("xdg-open"))
        QCOMPARE(call, QStringList{"mailto:s@example.com?subject=Subject&body=Body%0D%0Aline"});
}

void TestCrashReport::handsTheMailToXdgEmail()
{
    QTemporaryDir bin;
    FakeMailPrograms fakes(bin.path());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", fakes.path().toUtf8());
    sendReportMail();
    qputenv("PATH", path);

    const QString dump = "/home/u/x y/quorbilan_3.0.0.42.dmp";
    const QString body = expectedReportBody("Quorbilan", dump, QString::fromStdWString(winverString()));
    const QList<QStringList> calls = fakes.calls("xdg-email");
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0],
             QStringList({"--subject", "Quorbilan 3.0.0.42 Bug Report", "--body", body, "--attach", dump,
                          "support@example.com"}));
    QCOMPARE(fakes.calls("xdg-open").size(), 0);
}

void TestCrashReport::reportBoxShowsTheChoice_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<QString>("shown");
    const QString here = QDir::currentPath() + "/quorbilan_3.0.0.42.dmp";
    QTest::newRow("dump in the current folder: its name") << here << "quorbilan_3.0.0.42.dmp";
    // The current folder could not take it: the name alone would not find it.
    QTest::newRow("dump elsewhere: its whole path") << "/home/u/x y/quorbilan_3.0.0.42.dmp"
                                                    << "/home/u/x y/quorbilan_3.0.0.42.dmp";
}

void TestCrashReport::reportBoxShowsTheChoice()
{
    QFETCH(QString, dump);
    QFETCH(QString, shown);
    CrashHandler::instance().dumpFilePath = dump.toStdWString();
    CrashReportBox box;
    QCOMPARE(box.windowTitle(), QString("Quorbilan - Unhandled Exception"));
    QCOMPARE(box.sendButton()->text(), QString("Send Report (Recommended)"));
    QCOMPARE(box.cancelButton()->text(), QString("Cancel"));
    QVERIFY(box.sendButton()->isDefault());
    QString text;
    for (QLabel* label : box.findChildren<QLabel*>())
        text += label->text();
    QVERIFY(
        text.startsWith("We're sorry but an unhandled exception has occurred and \nQuorbilan has become unstable."));
    QVERIFY(text.contains("e-mail to 'support@example.com'"));
    QVERIFY2(text.contains("\n\n'" + shown + "'\n\n"), qPrintable(text));
    if (!shown.contains('/'))
        QVERIFY(!text.contains(QDir::currentPath()));

    // Neither Esc nor the close box decides for the user.
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(box.isVisible());
    box.close();
    QVERIFY(box.isVisible());
    box.cancelButton()->click();
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(CrashReportBox::Cancel));
}

QTEST_MAIN(TestCrashReport)

#include "tst_CrashReport.moc"
