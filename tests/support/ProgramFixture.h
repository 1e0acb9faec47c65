#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace TestSupport {

// One profile that discovery must find in a fixture tree.
struct ExpectedProfile
{
    QString program; // the owning program's display name
    QString name;
    QString title;
    QString path;
};

// Builds the data folders of the supported programs below a root folder,
// laid out as the programs lay them out on Windows: root/Local stands for
// LOCALAPPDATA and root/Roaming for APPDATA. Databases are real SQLite files
// with free pages to reclaim.
class ProgramFixture
{
public:
    explicit ProgramFixture(const QString& root);
    // A tree in a temporary folder of its own, removed with the object, with
    // LOCALAPPDATA and APPDATA already pointing into it.
    ProgramFixture();

    QString root() const { return m_root; }
    QString filePath(const QString& relative) const { return m_root + QLatin1Char('/') + relative; }
    QString localAppData() const;
    QString appData() const;
    // Points LOCALAPPDATA and APPDATA at this tree.
    void setEnvironment() const;

    bool makeDatabase(const QString& path);
    bool makeTextFile(const QString& path, const QByteArray& content);
    // "Preferences" (text) plus "History", "Cookies" and "Web Data" (SQLite),
    // and `extraDatabases` more databases.
    bool makeChromiumProfile(const QString& folder, int extraDatabases = 0);
    // "prefs.js" (text) plus "places.sqlite" and "cookies.sqlite".
    bool makeFirefoxProfile(const QString& folder, int extraDatabases = 0);
    // "Local State" naming the given (folder, user name) profiles.
    bool writeLocalState(const QString& userDataDir, const QList<QPair<QString, QString>>& profiles);

    // All thirty programs, each with at least one profile, holding the layouts
    // discovery must cope with (see the .cpp for the list).
    bool buildStandardTree();
    // All thirty programs with `profilesPerProgram` profiles of
    // `databasesPerProfile` extra databases each (Syncthing and Plex: one).
    bool buildLargeTree(int profilesPerProgram, int databasesPerProfile);

    // What discovery must find in the standard tree, in program order.
    const QList<ExpectedProfile>& expected() const { return m_expected; }

private:
    QString local(const QString& relative) const;
    QString roaming(const QString& relative) const;
    void expect(const QString& program, const QString& name, const QString& path, const QString& title = QString());

    bool buildFirefoxFamily();
    bool buildChromiumFamily();
    bool buildOpera();
    bool buildOthers();

    std::unique_ptr<QTemporaryDir> m_ownFolder;
    QString m_root;
    QString m_template;
    QList<ExpectedProfile> m_expected;
};

} // namespace TestSupport
