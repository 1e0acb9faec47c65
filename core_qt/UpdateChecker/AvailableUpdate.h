#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

namespace spdlog {
class logger;
}
namespace tinyxml2 {
class XMLElement;
}
class LanguageTable;
class QUpdateChecker;

// One version of the update feed.
struct UpdateVersion
{
    QDate date;
    QString name;
    bool noInstall = false;
    bool tmpInstall = false;
    bool saveToDownloads = false;
    // (type, html) release-note items in feed order.
    QList<QPair<QString, QString>> items;
};

// The parsed update feed: the installer's address and the versions newer than
// the running one, newest first, with their notes in the user's language.
class AvailableUpdate
{
public:
    // The checker gives the running version and the language table; both are
    // handed over here so that the parse needs nothing else from it.
    AvailableUpdate(QUpdateChecker* checker, const QString& currentVersion, const LanguageTable* languageTable);

    void setLogger(std::shared_ptr<spdlog::logger> logger);

    // Refills the object from the decompressed feed; false when it cannot be used.
    bool fromXML(const QByteArray& feed);

    QString newestVersionName() const;
    bool hasUpdate() const;
    bool isNoInstall() const;
    bool isTmpInstall() const;
    bool isSaveToDownloads() const;
    QString releaseNotesHtml() const;

    const QList<UpdateVersion>& versionList() const { return versions; }

    static QString downloadUrlFor(const tinyxml2::XMLElement* download, const std::shared_ptr<spdlog::logger>& logger);
    static QStringList parseSystemList(const QString& text);
    static bool isCurrentSystemIn(const QString& text);

    std::shared_ptr<spdlog::logger> logger;
    QString downloadUrl;
    QList<UpdateVersion> versions;
    QUpdateChecker* checker = nullptr;
    // The date a version without one gets; the day of the parse when not set.
    QDate today;

private:
    QString languageCode() const;

    QString currentVersion;
    const LanguageTable* languageTable = nullptr;
    // Some of the notes were left out to keep them small.
    bool notesCut = false;
};

// Release-note markup to HTML: line feeds, [text](url) links and **bold**.
void convertReleaseNotesMarkup(QString& text);
