#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What one run of a Windows program under Wine gave.
struct WineRun
{
    int exitCode = -1;
    bool finished = false;
    QByteArray standardOutput;
    QByteArray standardError;
};

// A private copy of the prepared Wine prefix with a wineserver of its own for
// the life of the object, and the Windows program's deployed folder to run
// from it. The environment comes from ctest (tests/winprogram/CMakeLists.txt).
class WinePrefix
{
public:
    WinePrefix();
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }

    QString path() const { return m_dir.path() + QStringLiteral("/prefix"); }
    // The environment a program started in this prefix gets.
    QProcessEnvironment environment() const { return m_environment; }

    // The deployed program and its folder, and the Windows build's own folder.
    static QString deployDir();
    static QString programPath();
    static QString windowsBuildDir();
    static QString windowsQtDir();

    // The user's folders inside the prefix, as Linux paths.
    QString userProfile() const;
    QString appData() const;
    QString localAppData() const;
    // A Linux path as the Windows program sees it (Z:\...).
    static QString windowsPath(const QString& linuxPath);
    // A path inside the prefix's drive C: as the program names it (C:\users\...).
    QString driveCName(const QString& linuxPath) const;

    // Runs a Windows program to its end (a minute at most unless told).
    WineRun run(const QString& program, const QStringList& arguments, const QString& workingDir = {},
                int timeoutMs = 120000) const;

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    bool m_valid = false;
    QString m_error;
};
