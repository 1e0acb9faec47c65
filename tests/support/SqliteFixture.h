#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace TestSupport {

// Creates a real SQLite database at `path` holding `rows` rows of `payloadBytes`
// random bytes each, then deletes all but `keepRows` of them so that VACUUM has
// free pages to reclaim.
bool createBloatedDatabase(const QString& path, int rows, int payloadBytes, int keepRows);

// Runs `PRAGMA integrity_check` and returns its first answer ("ok" when sound).
QString integrityCheck(const QString& path);

// Number of rows in the fixture's table, or -1.
int rowCount(const QString& path);

QByteArray fileHash(const QString& path);

bool writeFile(const QString& path, const QByteArray& data);

// A second process (the sqlite3 shell) that holds a lock on a database until
// it is released or destroyed.
class LockHolder
{
public:
    // `transaction` is e.g. "BEGIN EXCLUSIVE" or "BEGIN IMMEDIATE".
    explicit LockHolder(const QString& path, const QString& transaction = QStringLiteral("BEGIN EXCLUSIVE"));
    ~LockHolder();

    bool isHolding() const { return m_holding; }
    void release();

private:
    QProcess m_process;
    bool m_holding = false;
};

} // namespace TestSupport
