#include "TextReplace.h"

QString replacedAll(const QString& text, QStringView before, QStringView after)
{
    qsizetype at = before.isEmpty() ? -1 : text.indexOf(before);
    if (at < 0)
        return text;
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (; at >= 0; at = text.indexOf(before, from)) {
        result += QStringView(text).mid(from, at - from);
        result += after;
        from = at + before.size();
    }
    result += QStringView(text).mid(from);
    return result;
}
