#include "SqliteFixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStandardPaths>

#include <sqlite3.h>

namespace TestSupport {

namespace {

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

bool createBloatedDatabase(const QString& path, int rows, int payloadBytes, int keepRows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    bool ok = exec(db, "CREATE TABLE IF NOT EXISTS items(id INTEGER PRIMARY KEY, payload BLOB)") && exec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    ok = ok
        && sqlite3_prepare_v2(db, "INSERT INTO items(payload) VALUES(randomblob(?))", -1, &insert, nullptr)
            == SQLITE_OK;
    for (int i = 0; ok && i < rows; ++i) {
        sqlite3_bind_int(insert, 1, payloadBytes);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && exec(db, "COMMIT");
    if (ok) {
        const QByteArray del = QStringLiteral("DELETE FROM items WHERE id > %1").arg(keepRows).toUtf8();
        ok = exec(db, del.constData());
    }
    sqlite3_close(db);
    return ok;
}

QString integrityCheck(const QString& path)
{
    sqlite3* db = nullptr;
    QString answer;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW) {
            answer = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return answer;
}

int rowCount(const QString& path)
{
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM items", -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW) {
            count = sqlite3_column_int(stmt, 0);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return count;
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

LockHolder::LockHolder(const QString& path, const QString& transaction)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return;
    m_process.start(shell, {path});
    // Generous: the waits end as soon as the shell answers, and a busy machine is slow to start one.
    if (!m_process.waitForStarted(60000))
        return;
    // The table read makes the shell really take the lock before it answers.
    m_process.write(transaction.toUtf8() + ";\nSELECT count(*) FROM sqlite_master;\nSELECT 'holding';\n");
    QByteArray out;
    while (!out.contains("holding") && m_process.waitForReadyRead(60000))
        out += m_process.readAllStandardOutput();
    m_holding = out.contains("holding");
}

LockHolder::~LockHolder()
{
    release();
}

void LockHolder::release()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("ROLLBACK;\n.quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_holding = false;
}

} // namespace TestSupport
