#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

// Makes the text of a key name shared by several places, for a process-wide
// constant such as: const QString keySelectedProfiles = declareSettingKey("SelectedProfiles");
QString declareSettingKey(const char* name);

// ISO 8601 text of a valid date and time; empty for an invalid one.
QString dateTimeToSettingString(const QDateTime& value);

// Typed access to the program's settings. Every key is registered once with a
// default whose type stays the key's type for the run; absent keys get their
// default written at once, and every write is synced straight away.
class AppSettings
{
public:
    AppSettings(const QString& applicationName, const QString& organizationName);
    ~AppSettings();

    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    void registerValue(const QString& key, const QVariant& defaultValue);
    void registerValueByteArray(const QString& key, const QByteArray& defaultValue);
    void registerValueDateTime(const QString& key, const QDateTime& defaultValue);
    void registerValueInt(const QString& key, int defaultValue);
    void registerValueString(const QString& key, const QString& defaultValue);
    void registerValueStringList(const QString& key, const QStringList& defaultValue);

    bool checkKey(const QString& key, const char* typeName);

    QByteArray valueByteArray(const QString& key);
    QDateTime valueDateTime(const QString& key);
    int valueInt(const QString& key);
    QString valueString(const QString& key);
    QStringList valueStringList(const QString& key);

    void setValueByteArray(const QString& key, const QByteArray& value);
    void setValueDateTime(const QString& key, const QDateTime& value);
    void setValueInt(const QString& key, int value);
    void setValueString(const QString& key, const QString& value);
    void setValueStringList(const QString& key, const QStringList& value);

    // Unchecked write and sync; only registration writes this way.
    void setValue(const QString& key, const QVariant& value);

private:
    QSettings* settings = nullptr;
    QMap<QString, QString> typeByKey;
};
