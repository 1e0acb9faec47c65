#include "AppSettings.h"

#include "SettingsFiles.h"

#include <QDebug>
#include <QSettings>

QString declareSettingKey(const char* name)
{
    return QString::fromLatin1(name);
}

QString dateTimeToSettingString(const QDateTime& value)
{
    if (!value.isValid())
        return QString();
    return value.toString(Qt::ISODate);
}

AppSettings::AppSettings(const QString& applicationName, const QString& organizationName)
    // A store that cannot be read safely is left alone: the run keeps its
    // settings in memory only.
    : settings(settingsStoreReadable(organizationName, applicationName)
                   ? new QSettings(organizationName, applicationName)
                   : new QSettings(QString(), QSettings::IniFormat))
{
}

AppSettings::~AppSettings()
{
    delete settings;
}

void AppSettings::registerValue(const QString& key, const QVariant& defaultValue)
{
    if (typeByKey.contains(key)) {
        qDebug().noquote() << QString("ERROR: trying to register a value '%1' for the second time!").arg(key);
        return;
    }
    typeByKey.insert(key, QString::fromLatin1(defaultValue.typeName()));

    // A value from an earlier run stays, whatever type it was stored with.
    if (settings->allKeys().contains(key, Qt::CaseSensitive))
        return;
    setValue(key, defaultValue);
}

void AppSettings::registerValueByteArray(const QString& key, const QByteArray& defaultValue)
{
    registerValue(key, QVariant(defaultValue));
}

void AppSettings::registerValueDateTime(const QString& key, const QDateTime& defaultValue)
{
    registerValue(key, QVariant(dateTimeToSettingString(defaultValue)));
}

void AppSettings::registerValueInt(const QString& key, int defaultValue)
{
    registerValue(key, QVariant(defaultValue));
}

void AppSettings::registerValueString(const QString& key, const QString& defaultValue)
{
    registerValue(key, QVariant(defaultValue));
}

void AppSettings::registerValueStringList(const QString& key, const QStringList& defaultValue)
{
    registerValue(key, QVariant(defaultValue));
}

bool AppSettings::checkKey(const QString& key, const char* typeName)
{
    const auto it = typeByKey.constFind(key);
    if (it == typeByKey.constEnd()) {
        qDebug().noquote() << QString("ERROR: '%1' is not registered in AppSettings").arg(key);
        return false;
    }
    if (*it != QLatin1String(typeName)) {
        qDebug().noquote() << QString("ERROR: '%1' is registered with another type %2").arg(key, *it);
        return false;
    }
    return true;
}

QByteArray AppSettings::valueByteArray(const QString& key)
{
    if (!checkKey(key, "QByteArray"))
        return QByteArray();
    return settings->value(key).toByteArray();
}

QDateTime AppSettings::valueDateTime(const QString& key)
{
    if (!checkKey(key, "QString"))
        return QDateTime();
    return QDateTime::fromString(settings->value(key).toString(), Qt::ISODate);
}

int AppSettings::valueInt(const QString& key)
{
    if (!checkKey(key, "int"))
        return 0;
    return settings->value(key).toInt();
}

QString AppSettings::valueString(const QString& key)
{
    if (!checkKey(key, "QString"))
        return QString();
    return settings->value(key).toString();
}

QStringList AppSettings::valueStringList(const QString& key)
{
    if (!checkKey(key, "QStringList"))
        return QStringList();
    return settings->value(key).toStringList();
}

void AppSettings::setValueByteArray(const QString& key, const QByteArray& value)
{
    if (checkKey(key, "QByteArray"))
        setValue(key, QVariant(value));
}

void AppSettings::setValueDateTime(const QString& key, const QDateTime& value)
{
    if (checkKey(key, "QString"))
        setValue(key, QVariant(dateTimeToSettingString(value)));
}

void AppSettings::setValueInt(const QString& key, int value)
{
    if (checkKey(key, "int"))
        setValue(key, QVariant(value));
}

void AppSettings::setValueString(const QString& key, const QString& value)
{
    if (checkKey(key, "QString"))
        setValue(key, QVariant(value));
}

void AppSettings::setValueStringList(const QString& key, const QStringList& value)
{
    if (checkKey(key, "QStringList"))
        setValue(key, QVariant(value));
}

void AppSettings::setValue(const QString& key, const QVariant& value)
{
    settings->setValue(key, value);
    settings->sync();
}
