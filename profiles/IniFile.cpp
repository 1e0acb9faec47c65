#include "IniFile.h"

#include "RegularFile.h"

QMap<QString, QHash<QString, QString>> readIniFile(const QString& path)
{
    QMap<QString, QHash<QString, QString>> groups;
    QByteArray data;
    if (!RegularFile::readAll(path, data))
        return groups;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);

    QHash<QString, QString>* group = nullptr;
    for (const QByteArray& rawLine : data.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.lastIndexOf(QLatin1Char(']'));
            const QString name = (close > 0 ? line.mid(1, close - 1) : line.mid(1)).trimmed();
            group = &groups[name]; // a repeated group adds to the first
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!group || eq <= 0)
            continue;
        group->insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return groups;
}
