#include "OsVersion.h"

#include <QStringList>

QString osReleaseValue(const QString& osRelease, const QString& key)
{
    const QStringList lines = osRelease.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(key + QLatin1Char('=')))
            continue;
        QString value = trimmed.mid(key.size() + 1);
        if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
            && value.back() == value.front()) {
            const bool doubleQuoted = value.front() == QLatin1Char('"');
            value = value.mid(1, value.size() - 2);
            if (doubleQuoted) {
                // Inside double quotes a backslash escapes the next character.
                QString unescaped;
                for (int i = 0; i < value.size(); ++i) {
                    if (value[i] == QLatin1Char('\\') && i + 1 < value.size())
                        ++i;
                    unescaped += value[i];
                }
                value = unescaped;
            }
        }
        return value;
    }
    return {};
}
