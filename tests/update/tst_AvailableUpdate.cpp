// The update feed: the walk over the versions, the flags, the system filter,
// the language of the notes and the exact release-notes HTML.
#include "AvailableUpdate.h"

#include "LanguageTable.h"
#include "OsVersion.h"
#include "PrivateCopy.h"
#include "ProcessHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

#include <spdlog/sinks/ringbuffer_sink.h>
#include <spdlog/spdlog.h>

namespace {

// The feed of the examples: 3.2, 3.1, the running 3.0.0 and 2.9.
QByteArray exampleFeedText()
{
    QFile file(QStringLiteral(TEST_DATA_DIR "/example-feed.xml"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing example-feed.xml");
    return file.readAll();
}
const QByteArray exampleFeed = exampleFeedText();

// A feed whose history holds the given version elements.
QByteArray feedWith(const QString& versions,
                    const QString& download = "<download windows='https://example.test/setup.exe'/>")
{
    return QStringLiteral("<feed>%1<history>%2</history></feed>").arg(download, versions).toUtf8();
}

} // namespace

class tst_AvailableUpdate : public QObject
{
    Q_OBJECT

private:
    std::shared_ptr<spdlog::sinks::ringbuffer_sink_mt> sink;
    std::shared_ptr<spdlog::logger> logger;
    LanguageTable english{QStringLiteral(":/English.xml")};

    QStringList logged()
    {
        QStringList lines;
        for (const std::string& line : sink->last_formatted())
            lines << QString::fromStdString(line).trimmed();
        return lines;
    }

    AvailableUpdate parsed(const QByteArray& feed, bool expected = true, const QString& running = "3.0.0")
    {
        AvailableUpdate update(nullptr, running, &english);
        update.setLogger(logger);
        if (update.fromXML(feed) != expected)
            qWarning("fromXML did not return %d", expected);
        return update;
    }

private slots:
    void initTestCase() { QVERIFY(english.load(QStringLiteral("English.xml"))); }

    void init()
    {
        sink = std::make_shared<spdlog::sinks::ringbuffer_sink_mt>(64);
        sink->set_pattern("%l %v");
        logger = std::make_shared<spdlog::logger>("update", sink);
        logger->set_level(spdlog::level::trace);
    }

    void exampleFeedKeepsTheNewerVersions()
    {
        AvailableUpdate update = parsed(exampleFeed);
        QCOMPARE(update.versions.size(), 2);
        QCOMPARE(update.newestVersionName(), QStringLiteral("3.2"));
        QCOMPARE(update.versions.at(1).name, QStringLiteral("3.1"));
        QCOMPARE(update.versions.at(0).date, QDate(2024, 3, 5));
        QCOMPARE(update.downloadUrl, QStringLiteral("https://example.test/quorbilan-setup.exe"));
        QVERIFY(update.hasUpdate());
        QVERIFY(!update.isNoInstall() && !update.isTmpInstall() && !update.isSaveToDownloads());
        // The item that has only Russian text is left out in English.
        QCOMPARE(update.versions.at(1).items.size(), 1);
        QCOMPARE(logged(),
                 QStringList({"info Locale: en", "info UpdateChecker: download subsystem is windows",
                              "info UpdateChecker: download url is https://example.test/quorbilan-setup.exe"}));

        // Running the newest one: nothing newer, the parse still succeeds.
        AvailableUpdate current = parsed(exampleFeed, true, "3.2");
        QVERIFY(!current.hasUpdate());
        QVERIFY(current.downloadUrl.isEmpty());
        QVERIFY(current.newestVersionName().isEmpty());
    }

    void releaseNotesHtml()
    {
        const AvailableUpdate update = parsed(exampleFeed);
        const QString march = QLocale::system().monthName(3, QLocale::LongFormat);
        const QString december = QLocale::system().monthName(12, QLocale::LongFormat);
        const QString expected
            = "<html><body><table cellspacing='0' cellpadding='2' style='padding-top: 10px;'>"
              "<tr><td style='height:10px;' bgcolor='#EEEEEE' width='20%' align='right'><font color='#1E51BE'><b>3.2</b></font></td>"
              "<td style='height:10px;' bgcolor='#EEEEEE' width='80%'><font color='#8A8A8A'><p style='margin-left: 8'>released on 5 "
            + march
            + " 2024</p></font></td></tr>"
              "<tr><td style='padding-top: 5px;' width='20%' align='right'><img src=':/UpdateChecker/new.png'></td>"
              "<td style='padding-top: 5px;'><p style='margin-left: 8'><b>Dark</b> mode, see <a href=\"https://example.test/notes\">the notes</a><br>and more</p></td></tr>"
              "<tr><td  width='20%' align='right'><img src=':/UpdateChecker/improved.png'></td>"
              "<td ><p style='margin-left: 8'>Faster start</p></td></tr>"
              "<tr><td style='padding-bottom: 12px;' width='20%' align='right'><img src=':/UpdateChecker/fixed.png'></td>"
              "<td style='padding-bottom: 12px;'><p style='margin-left: 8'>A crash at exit</p></td></tr>"
              "<tr><td style='height:10px;' bgcolor='#EEEEEE' width='20%' align='right'><font color='#1E51BE'><b>3.1</b></font></td>"
              "<td style='height:10px;' bgcolor='#EEEEEE' width='80%'><font color='#8A8A8A'><p style='margin-left: 8'>released on 17 "
            + december
            + " 2023</p></font></td></tr>"
              "<tr><td style='padding-top: 5px;' width='20%' align='right'><img src=':/UpdateChecker/fixed.png'></td>"
              "<td style='padding-top: 5px;'><p style='margin-left: 8'>Only fix</p></td></tr>"
              "</table></body></html>";
        QCOMPARE(update.releaseNotesHtml(), expected);
    }

    void imagesAreBuiltIn()
    {
        for (const char* name : {"new", "improved", "fixed"}) {
            for (const char* suffix : {".png", "@2x.png"}) {
                const QString path = QStringLiteral(":/UpdateChecker/") + name + suffix;
                QVERIFY2(QFile::exists(path), qPrintable(path));
            }
        }
    }

    void russianNotes()
    {
        // A language file beside the executable makes the table's language Russian.
        const QString folder = QCoreApplication::applicationDirPath() + "/languages";
        QDir().mkpath(folder);
        QFile file(folder + "/Russian.xml");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<LanguageStrings><core><UpdateChecker><ReleasedOn>выпущена %1</ReleasedOn>"
                   "</UpdateChecker></core></LanguageStrings>");
        file.close();
        LanguageTable russian(QStringLiteral(":/English.xml"));
        const bool loaded = russian.load(QStringLiteral("Russian"));
        QDir(folder).removeRecursively();
        QVERIFY(loaded);

        AvailableUpdate update(nullptr, QStringLiteral("3.0.0"), &russian);
        update.setLogger(logger);
        QVERIFY(update.fromXML(exampleFeed));
        QCOMPARE(logged().first(), QStringLiteral("info Locale: ru"));
        QCOMPARE(update.versions.at(0).items, (QList<QPair<QString, QString>>{{"new", QStringLiteral("Тёмная тема")}}));
        QCOMPARE(update.versions.at(1).items,
                 (QList<QPair<QString, QString>>{{"new", QStringLiteral("Только по-русски")}}));
        QVERIFY(update.releaseNotesHtml().contains(QStringLiteral("выпущена 5 ")));
    }

    void missingElement_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("missing");
        QTest::newRow("download") << QByteArray("<f><history><version name='9'/></history></f>") << "download";
        QTest::newRow("history") << QByteArray("<f><download windows='https://x/y'/></f>") << "history";
        QTest::newRow("both") << QByteArray("<f/>") << "download";
    }

    void missingElement()
    {
        QFETCH(QByteArray, feed);
        QFETCH(QString, missing);
        AvailableUpdate update = parsed(feed, false);
        QVERIFY(!update.hasUpdate());
        QCOMPARE(logged(),
                 QStringList({"info Locale: en",
                              QStringLiteral("warning UpdateChecker: the feed has no <%1> element").arg(missing)}));
    }

    void malformedFeedFailsWithoutLog_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("unclosed") << QByteArray("<feed><download windows='x'><history>");
        QTest::newRow("garbage") << QByteArray("\x1f\x8b\x08 not xml");
        QTest::newRow("truncated") << QByteArray(exampleFeed).left(300);
    }

    void malformedFeedFailsWithoutLog()
    {
        QFETCH(QByteArray, feed);
        AvailableUpdate update = parsed(exampleFeed);
        QVERIFY(!update.fromXML(feed));
        QVERIFY(!update.hasUpdate());
        QVERIFY(update.downloadUrl.isEmpty());
        QCOMPARE(logged().mid(3), QStringList{"info Locale: en"});
    }

    void versionWithoutNameOrDate()
    {
        AvailableUpdate update(nullptr, "3.0.0", &english);
        update.setLogger(logger);
        // A version without a date is dated the day of the parse.
        update.today = QDate(2026, 2, 28);
        QVERIFY(update.fromXML(feedWith("<version date='1.2.2025'/><version name='3.5' date='31.2.2025'/>"
                                        "<version name='3.4'/>")));
        QCOMPARE(update.versions.size(), 2);
        QCOMPARE(update.newestVersionName(), QStringLiteral("3.5"));
        QVERIFY(!update.versions.at(0).date.isValid());
        QCOMPARE(update.versions.at(1).date, QDate(2026, 2, 28));
        QVERIFY(logged().contains("warning UpdateChecker: <version> without the name attribute, skipped"));
        // An invalid date shows as 0, no month and 0.
        QVERIFY(update.releaseNotesHtml().contains("released on 0  0</p>"));
    }

    void emptyDownloadLink()
    {
        AvailableUpdate update = parsed(feedWith("<version name='4'/>", "<download windows=''/>"));
        QVERIFY(update.hasUpdate());
        QVERIFY(update.downloadUrl.isEmpty());
        QVERIFY(logged().contains("warning No download link specified"));
    }

    void unsupportedSystems_data()
    {
        const QString os = osVersionName();
        const bool is32 = ProcessHelpers::isWindows32Bit();
        QTest::addColumn<QString>("unsupported");
        QTest::addColumn<bool>("matches");
        QTest::newRow("listed") << QStringLiteral("windows[xp,%1]").arg(os) << true;
        QTest::newRow("word in any case") << QStringLiteral("WINDOWS[%1]").arg(os) << true;
        QTest::newRow("entry with a blank") << QStringLiteral("windows[xp, %1]").arg(os) << false;
        QTest::newRow("other systems") << QStringLiteral("windows[xp,7]") << false;
        QTest::newRow("32bit") << QStringLiteral("Windows[32bit]") << is32;
        QTest::newRow("other word") << QStringLiteral("linux[%1]").arg(os) << false;
        QTest::newRow("empty") << QString() << false;
    }

    void unsupportedSystems()
    {
        QFETCH(QString, unsupported);
        QFETCH(bool, matches);
        QCOMPARE(AvailableUpdate::isCurrentSystemIn(unsupported), matches);

        // A skipped newer version still gives the download address; the next
        // newer one is offered.
        AvailableUpdate update = parsed(feedWith(QStringLiteral("<version name='3.2' unsupported='%1'/>"
                                                                "<version name='3.1'/>")
                                                     .arg(unsupported)));
        QCOMPARE(update.newestVersionName(), matches ? QStringLiteral("3.1") : QStringLiteral("3.2"));
        QCOMPARE(update.downloadUrl, QStringLiteral("https://example.test/setup.exe"));
        QCOMPARE(logged().contains("info UpdateChecker: current system is not supported for version 3.2"), matches);
    }

    void systemList()
    {
        QCOMPARE(AvailableUpdate::parseSystemList("windows[7,,8.1] windows[10]"), QStringList({"7", "8.1"}));
        QCOMPARE(AvailableUpdate::parseSystemList("windows[]"), QStringList());
    }

    void flags_data()
    {
        QTest::addColumn<QString>("versions");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<bool>("noInstall");
        QTest::addColumn<bool>("tmpInstall");
        QTest::addColumn<bool>("saveToDownloads");
        QTest::newRow("newest noInstall dropped") << "<version name='3.2' noInstall=''/><version name='3.1'/>"
                                                  << QStringList{"3.1"} << false << false << false;
        QTest::newRow("only noInstall kept")
            << "<version name='3.2' noInstall='no'/>" << QStringList{"3.2"} << true << false << false;
        QTest::newRow("all noInstall gone") << "<version name='3.2' noInstall=''/><version name='3.1' noInstall=''/>"
                                            << QStringList{} << false << false << false;
        QTest::newRow("tmpInstall dropped") << "<version name='3.2'/><version name='3.1' tmpInstall=''/>"
                                            << QStringList{"3.2"} << false << false << false;
        QTest::newRow("only tmpInstall kept")
            << "<version name='3.2' tmpInstall=''/>" << QStringList{"3.2"} << false << true << false;
        QTest::newRow("saveToDownloads") << "<version name='3.2' saveToDownloads=''/><version name='3.1'/>"
                                         << QStringList{"3.2", "3.1"} << false << false << true;
        QTest::newRow("saveToDownloads on the older") << "<version name='3.2'/><version name='3.1' saveToDownloads=''/>"
                                                      << QStringList{"3.2", "3.1"} << false << false << false;
    }

    void flags()
    {
        QFETCH(QString, versions);
        QFETCH(QStringList, kept);
        QFETCH(bool, noInstall);
        QFETCH(bool, tmpInstall);
        QFETCH(bool, saveToDownloads);
        const AvailableUpdate update = parsed(feedWith(versions));
        QStringList names;
        for (const UpdateVersion& version : update.versions)
            names << version.name;
        QCOMPARE(names, kept);
        QCOMPARE(update.isNoInstall(), noInstall);
        QCOMPARE(update.isTmpInstall(), tmpInstall);
        QCOMPARE(update.isSaveToDownloads(), saveToDownloads);
    }

    void flagsAreLogged()
    {
        parsed(feedWith("<version name='3.2' saveToDownloads='' tmpInstall='' noInstall=''/>"));
        QCOMPARE(logged().mid(3),
                 QStringList({"info UpdateChecker: 3.2 is noInstall", "info UpdateChecker: 3.2 is tmpInstall",
                              "info UpdateChecker: 3.2 is saveToDownloads"}));
    }

    void markup_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        QTest::newRow("plain") << "plain"
                               << "plain";
        QTest::newRow("two bolds") << "**a** and **b**"
                                   << "<b>a</b> and <b>b</b>";
        QTest::newRow("link") << "[x](y) [z](w)"
                              << "<a href=\"y\">x</a> <a href=\"w\">z</a>";
        QTest::newRow("bold across a line") << "**a\nb**"
                                            << "<b>a<br>b</b>";
        QTest::newRow("lone markers") << "**a [b] (c)"
                                      << "**a [b] (c)";
    }

    void markup()
    {
        QFETCH(QString, text);
        QFETCH(QString, html);
        convertReleaseNotesMarkup(text);
        QCOMPARE(text, html);
    }

    // The feed is scanned before the parser sees it: up to each limit it is
    // read, one past it refused with the reason in the log.
    void feedLimits_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("refusal");

        // One newer version, and with feedWith's own elements six tags and
        // two attributes.
        const QString newer = "<version name='3.2'/>";
        const int ownTags = 6;
        const QByteArray x = "<x/>";
        QTest::newRow("50,000 tags") << feedWith(newer + x.repeated(50000 - ownTags)) << "";
        QTest::newRow("50,001 tags") << feedWith(newer + x.repeated(50001 - ownTags)) << "more than 50000 tags";

        const auto attributes = [](int count, const QString& first = QString()) {
            QString text = first;
            for (int i = first.isEmpty() ? 0 : 1; i < count; ++i)
                text += QStringLiteral(" a%1=''").arg(i);
            return text;
        };
        QTest::newRow("32 attributes") << feedWith("<version name='3.2'" + attributes(31) + "/>") << "";
        QTest::newRow("33 attributes") << feedWith("<version name='3.2'" + attributes(32) + "/>")
                                       << "more than 32 attributes in an element";
        QTest::newRow("33 attributes, a quoted > first")
            << feedWith("<version" + attributes(33, " name='>'") + "/>") << "more than 32 attributes in an element";
        QTest::newRow("33 attributes in double quotes")
            << feedWith("<version name=\"3.2\"" + attributes(32).replace("''", "\"\"") + "/>")
            << "more than 32 attributes in an element";
        const QString full = newer + QStringLiteral("<x%1/>").arg(attributes(32)).repeated(3124);
        QTest::newRow("100,000 attributes") << feedWith(full + "<x" + attributes(30) + "/>") << "";
        QTest::newRow("100,001 attributes")
            << feedWith(full + "<x" + attributes(31) + "/>") << "more than 100000 attributes";

        const QString url = "https://example.test/";
        const auto download = [&](int bytes) {
            return QStringLiteral("<download windows='%1'/>").arg(url + QString(bytes - url.size(), 'a'));
        };
        QTest::newRow("4096-byte value") << feedWith("<version name='4'/>", download(4096)) << "";
        QTest::newRow("4097-byte value") << feedWith("<version name='4'/>", download(4097))
                                         << "an attribute of more than 4096 bytes";

        // What comments and character data hold is not markup.
        const QString flood = QString(x.repeated(60000));
        QTest::newRow("tags in a note's character data") << feedWith(
            "<version name='3.2'><item type='new'><html lang='en'><![CDATA[" + flood + "]]></html></item></version>")
                                                         << "";
        QTest::newRow("tags in a comment") << feedWith("<!--" + flood + "--><version name='3.2'/>") << "";
        // The parser stops at the first zero byte, and so does the scan.
        QTest::newRow("tags after a zero byte") << feedWith("<version name='3.2'/>") + '\0' + flood.toUtf8() << "";
    }

    void feedLimits()
    {
        QFETCH(QByteArray, feed);
        QFETCH(QString, refusal);
        AvailableUpdate update = parsed(feed, refusal.isEmpty());
        if (refusal.isEmpty()) {
            QVERIFY(update.hasUpdate());
        } else {
            QVERIFY(!update.hasUpdate());
            QCOMPARE(logged(), QStringList({"info Locale: en", "warning UpdateChecker: the feed has " + refusal}));
        }
    }

    // A name as people read it, of a length and parts the dialog can show.
    void versionNames_data()
    {
        QTest::addColumn<QString>("versions");
        // The newest version's name; "refused" for a feed that is not used.
        QTest::addColumn<QString>("newest");
        QTest::newRow("white space around") << "<version name=' 3.2&#10;'/>"
                                            << "3.2";
        QTest::newRow("only white space") << "<version name=' &#9;'/><version name='3.2'/>"
                                          << "";
        QTest::newRow("64 characters") << "<version name='4." + QString(62, '0') + "'/>"
                                       << "4." + QString(62, '0');
        QTest::newRow("64 characters within white space") << "<version name='  4." + QString(62, '0') + "  '/>"
                                                          << "4." + QString(62, '0');
        QTest::newRow("65 characters") << "<version name='4." + QString(63, '0') + "'/>"
                                       << "refused";
        QTest::newRow("32 parts") << "<version name='" + QString("4.").repeated(31) + "4'/>"
                                  << QString("4.").repeated(31) + "4";
        QTest::newRow("33 parts") << "<version name='" + QString("4b").repeated(16) + "4'/>"
                                  << "refused";
        // Whether or not the walk reaches it.
        QTest::newRow("an older version's name") << "<version name='3.2'/><version name='2." + QString(63, '0') + "'/>"
                                                 << "refused";
    }

    void versionNames()
    {
        QFETCH(QString, versions);
        QFETCH(QString, newest);
        const bool refused = newest == "refused";
        AvailableUpdate update = parsed(feedWith(versions), !refused);
        QCOMPARE(update.newestVersionName(), refused ? QString() : newest);
        if (refused) {
            QCOMPARE(logged().last(),
                     QStringLiteral("warning UpdateChecker: a <version> name is longer than 64 characters or has "
                                    "more than 32 parts"));
        }
    }

    // Rows stop at the notes' cap however they are spread over versions.
    void notesOfManyItemsAreCut()
    {
        const QString items = QString("<item type='new'><html lang='en'>n</html></item>").repeated(8000);
        const AvailableUpdate update = parsed(feedWith("<version name='3.2'>" + items + "</version>"));
        QCOMPARE(update.versions.first().items.size(), 8000);
        const QString html = update.releaseNotesHtml();
        QVERIFY2(html.size() < 100 * 1024, qPrintable(QString::number(html.size())));
        QVERIFY(html.endsWith("<p style='margin-left: 8'>\u2026</p></td></tr></table></body></html>"));
    }

    void withoutLogger()
    {
        AvailableUpdate update(nullptr, QStringLiteral("3.0.0"), &english);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^WARN: .*AvailableUpdate.cpp:\\d+ spdlog is NULL$"));
        update.setLogger(nullptr);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^WARN: .*AvailableUpdate.cpp:\\d+ - spdlog not set yet$"));
        QVERIFY(!update.fromXML("<broken"));
    }
};

int main(int argc, char** argv)
{
    return runGuilessTestFromPrivateCopy<tst_AvailableUpdate>(argc, argv);
}
#include "tst_AvailableUpdate.moc"
