#include "AvailableUpdate.h"

#include "FeedLimits.h"
#include "LanguageTable.h"
#include "OsVersion.h"
#include "ProcessHelpers.h"
#include "StringHelpers.h"
#include "TextReplace.h"
#include "UpdateLog.h"

#include <QLocale>
#include <QRegularExpression>

#include <tinyxml2.h>

namespace {

constexpr const char* fromXmlName = "AvailableUpdate::fromXML";

// The notes shown: well under a second to build and lay out. Real notes are a
// few kilobytes; a feed that holds more is cut with a visible "…".
constexpr qsizetype maxNotesChars = 32 * 1024;
// HTML of the notes' table past which no further row is added.
constexpr qsizetype maxNotesHtmlChars = 96 * 1024;
const QString cutMark = QStringLiteral("\u2026");

// Feed text meant as text, for an element or a quoted attribute of the notes.
QString escaped(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

// At most `maxChars` characters of UTF-8 text, without decoding the rest.
QString leadingText(const char* utf8, qsizetype maxChars, bool* cut)
{
    // A character takes at most four bytes.
    const qsizetype maxBytes = maxChars * 4;
    qsizetype length = qsizetype(qstrnlen(utf8, size_t(maxBytes) + 1));
    *cut = length > maxBytes;
    if (*cut) {
        length = maxBytes;
        // Not in the middle of a character.
        while (length > 0 && (uchar(utf8[length]) & 0xC0) == 0x80)
            --length;
    }
    QString text = QString::fromUtf8(utf8, length);
    if (text.size() > maxChars) {
        text.truncate(maxChars);
        *cut = true;
    }
    return text;
}

bool hasAttribute(const tinyxml2::XMLElement* element, const char* name)
{
    return element->Attribute(name) != nullptr;
}

QString attributeText(const tinyxml2::XMLElement* element, const char* name)
{
    return QString::fromUtf8(element->Attribute(name));
}

// A version's name as people read it: "3.1 " and "3.1\n" are 3.1.
QString versionName(const tinyxml2::XMLElement* version)
{
    return attributeText(version, "name").trimmed();
}

// Every version name of the history is one the dialog can show and the
// comparison can take, whether or not it is newer than the running one.
bool hasSaneVersionNames(const tinyxml2::XMLElement* history)
{
    for (auto* element = history->FirstChildElement("version"); element;
         element = element->NextSiblingElement("version")) {
        if (hasAttribute(element, "name") && !FeedLimits::isSaneVersionName(versionName(element)))
            return false;
    }
    return true;
}

const tinyxml2::XMLElement* htmlInLanguage(const tinyxml2::XMLElement* item, const char* language)
{
    for (auto* html = item->FirstChildElement("html"); html; html = html->NextSiblingElement("html")) {
        const char* lang = html->Attribute("lang");
        if (lang && qstrcmp(lang, language) == 0)
            return html;
    }
    return nullptr;
}

} // namespace

AvailableUpdate::AvailableUpdate(QUpdateChecker* checker, const QString& currentVersion,
                                 const LanguageTable* languageTable)
    : checker(checker)
    , currentVersion(currentVersion)
    , languageTable(languageTable)
{
}

void AvailableUpdate::setLogger(std::shared_ptr<spdlog::logger> newLogger)
{
    if (!newLogger) {
        UPDATE_WARN_NULL_LOGGER();
        return;
    }
    logger = std::move(newLogger);
}

QString AvailableUpdate::languageCode() const
{
    if (languageTable && languageTable->currentLanguageName() == QLatin1String("Russian"))
        return QStringLiteral("ru");
    return QStringLiteral("en");
}

bool AvailableUpdate::fromXML(const QByteArray& feed)
{
    downloadUrl.clear();
    versions.clear();
    notesCut = false;
    qsizetype notesLeft = maxNotesChars;
    const std::string running = currentVersion.toStdString();
    const QByteArray language = languageCode().toLatin1();
    UPDATE_LOG(logger, spdlog::level::info, fromXmlName, "Locale: {}", language.toStdString());

    // Refused before the parser spends time and memory on it.
    if (const QString limit = FeedLimits::exceeded(feed); !limit.isEmpty()) {
        UPDATE_LOG(logger, spdlog::level::warn, fromXmlName, "UpdateChecker: the feed has {}", limit.toStdString());
        return false;
    }
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (document.Parse(feed.constData()) != tinyxml2::XML_SUCCESS)
        return false;

    const tinyxml2::XMLElement* root = document.RootElement();
    if (!root)
        return true;
    const tinyxml2::XMLElement* download = root->FirstChildElement("download");
    const tinyxml2::XMLElement* history = root->FirstChildElement("history");
    if (!download || !history) {
        UPDATE_LOG(logger, spdlog::level::warn, fromXmlName, "UpdateChecker: the feed has no <{}> element",
                   download ? "history" : "download");
        return false;
    }
    if (!hasSaneVersionNames(history)) {
        UPDATE_LOG(logger, spdlog::level::warn, fromXmlName,
                   "UpdateChecker: a <version> name is longer than {} characters or has more than {} parts",
                   FeedLimits::maxVersionNameChars, FeedLimits::maxVersionParts);
        return false;
    }

    for (auto* element = history->FirstChildElement("version"); element;
         element = element->NextSiblingElement("version")) {
        const bool noInstall = hasAttribute(element, "noInstall");
        const bool tmpInstall = hasAttribute(element, "tmpInstall");
        const bool saveToDownloads = hasAttribute(element, "saveToDownloads");
        if (!hasAttribute(element, "name")) {
            UPDATE_LOG(logger, spdlog::level::warn, fromXmlName,
                       "UpdateChecker: <version> without the name attribute, skipped");
            continue;
        }
        const QString nameText = versionName(element);
        const std::string name = nameText.toStdString();
        if (compareVersions(name, running) <= 0)
            break;

        const char* date = element->Attribute("date");
        element->Attribute("legacy"); // read, without effect
        const QString unsupported = attributeText(element, "unsupported");

        if (downloadUrl.isEmpty()) {
            downloadUrl = downloadUrlFor(download, logger);
            UPDATE_LOG(logger, spdlog::level::info, fromXmlName, "UpdateChecker: download url is {}",
                       downloadUrl.toStdString());
        }
        if (isCurrentSystemIn(unsupported)) {
            UPDATE_LOG(logger, spdlog::level::info, fromXmlName,
                       "UpdateChecker: current system is not supported for version {}", name);
            continue;
        }

        UpdateVersion version;
        if (date)
            version.date = QDate::fromString(QString::fromUtf8(date), QStringLiteral("d.M.yyyy"));
        else
            version.date = today.isValid() ? today : QDate::currentDate();
        version.name = nameText;
        if (noInstall) {
            UPDATE_LOG(logger, spdlog::level::info, fromXmlName, "UpdateChecker: {} is noInstall", name);
            version.noInstall = true;
        }
        if (tmpInstall) {
            UPDATE_LOG(logger, spdlog::level::info, fromXmlName, "UpdateChecker: {} is tmpInstall", name);
            version.tmpInstall = true;
        }
        if (saveToDownloads) {
            UPDATE_LOG(logger, spdlog::level::info, fromXmlName, "UpdateChecker: {} is saveToDownloads", name);
            version.saveToDownloads = true;
        }

        for (auto* item = element->FirstChildElement("item"); item; item = item->NextSiblingElement("item")) {
            const tinyxml2::XMLElement* html = htmlInLanguage(item, language.constData());
            const char* type = item->Attribute("type");
            if (!html || !type || !html->GetText())
                continue;
            if (notesLeft <= 0) {
                notesCut = true;
                continue;
            }
            bool cut = false;
            QString text = leadingText(html->GetText(), notesLeft, &cut);
            notesCut = notesCut || cut;
            // The type is shown too, as the name of its image.
            const QString typeText = QString::fromUtf8(type);
            notesLeft -= text.size() + typeText.size();
            convertReleaseNotesMarkup(text);
            version.items.append({typeText, text});
        }
        versions.append(version);
    }

    // A version that cannot be installed, or only through a temporary copy,
    // is offered only when it is the only newer one.
    if (versions.size() > 1)
        versions.removeIf([](const UpdateVersion& v) { return v.noInstall; });
    if (versions.size() > 1)
        versions.removeIf([](const UpdateVersion& v) { return v.tmpInstall; });
    return true;
}

QString AvailableUpdate::newestVersionName() const
{
    return versions.isEmpty() ? QString() : versions.first().name;
}

bool AvailableUpdate::hasUpdate() const
{
    return !versions.isEmpty();
}

bool AvailableUpdate::isNoInstall() const
{
    return versions.size() == 1 && versions.first().noInstall;
}

bool AvailableUpdate::isTmpInstall() const
{
    return versions.size() == 1 && versions.first().tmpInstall;
}

bool AvailableUpdate::isSaveToDownloads() const
{
    return !versions.isEmpty() && versions.first().saveToDownloads;
}

QString AvailableUpdate::releaseNotesHtml() const
{
    const QString releasedOn = languageTable ? languageTable->translate(QStringLiteral("core/UpdateChecker/ReleasedOn"))
                                             : QStringLiteral("released on %1");
    QString html = QStringLiteral("<html><body><table cellspacing='0' cellpadding='2' style='padding-top: 10px;'>");
    bool cut = notesCut;
    // Checked before every row, so that no count of versions or items makes it long.
    const auto full = [&] {
        const bool over = html.size() > maxNotesHtmlChars;
        cut = cut || over;
        return over;
    };
    for (const UpdateVersion& version : versions) {
        if (full())
            break;
        const QString day = QStringLiteral("%1 %2 %3")
                                .arg(version.date.day())
                                .arg(QLocale::system().monthName(version.date.month(), QLocale::LongFormat))
                                .arg(version.date.year());
        html += QStringLiteral("<tr>");
        html += QStringLiteral("<td style='height:10px;' bgcolor='#EEEEEE' width='20%' align='right'>"
                               "<font color='#1E51BE'><b>%1</b></font></td>")
                    .arg(escaped(version.name));
        html += QStringLiteral("<td style='height:10px;' bgcolor='#EEEEEE' width='80%'>"
                               "<font color='#8A8A8A'><p style='margin-left: 8'>%1</p></font></td>")
                    .arg(releasedOn.arg(escaped(day)));
        html += QStringLiteral("</tr>");

        const qsizetype count = version.items.size();
        for (qsizetype i = 0; i < count && !full(); ++i) {
            QString style;
            if (i == 0)
                style = QStringLiteral("style='padding-top: 5px;'");
            else if (i == count - 1)
                style = QStringLiteral("style='padding-bottom: 12px;'");
            const auto& [type, text] = version.items.at(i);
            html += QStringLiteral("<tr>");
            html += QStringLiteral("<td %1 width='20%' align='right'><img src=':/UpdateChecker/%2.png'></td>")
                        .arg(style, escaped(type));
            html += QStringLiteral("<td %1><p style='margin-left: 8'>%2</p></td>").arg(style, text);
            html += QStringLiteral("</tr>");
        }
    }
    if (cut)
        html += QStringLiteral("<tr><td></td><td><p style='margin-left: 8'>%1</p></td></tr>").arg(cutMark);
    html += QStringLiteral("</table></body></html>");
    return html;
}

QString AvailableUpdate::downloadUrlFor(const tinyxml2::XMLElement* download,
                                        const std::shared_ptr<spdlog::logger>& logger)
{
    if (!download)
        return {};
    if (logger)
        logger->info("UpdateChecker: download subsystem is {}", "windows");
    const QString url = attributeText(download, "windows");
    if (url.isEmpty() && logger)
        logger->warn("No download link specified");
    return url;
}

QStringList AvailableUpdate::parseSystemList(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("%1\\[(.+?)\\]").arg(QStringLiteral("windows")),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    return match.captured(1).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

bool AvailableUpdate::isCurrentSystemIn(const QString& text)
{
    static const QString systemName = osVersionName();
    const QStringList systems = parseSystemList(text);
    if (systems.contains(QStringLiteral("32bit")) && ProcessHelpers::isWindows32Bit())
        return true;
    return systems.contains(systemName);
}

void convertReleaseNotesMarkup(QString& text)
{
    static const QRegularExpression link(QStringLiteral("\\[(.+?)\\]\\((.+?)\\)"));
    static const QRegularExpression bold(QStringLiteral("\\*\\*(.+?)\\*\\*"));
    text = replacedAll(text, u"\n", u"%newline%");
    text.replace(link, QStringLiteral("<a href=\"\\2\">\\1</a>"));
    text.replace(bold, QStringLiteral("<b>\\1</b>"));
    text = replacedAll(text, u"%newline%", u"<br>");
}
