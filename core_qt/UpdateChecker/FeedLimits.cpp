#include "FeedLimits.h"

#include "StringHelpers.h"

#include <cstring>

namespace FeedLimits {

namespace {

bool startsWith(const char* p, const char* end, const char* prefix)
{
    const std::size_t length = std::strlen(prefix);
    return std::size_t(end - p) >= length && std::memcmp(p, prefix, length) == 0;
}

// Just past the first `terminator` at or after `p`, else `end`: an unclosed
// construct runs to the end, where the parser fails on it.
const char* pastNext(const char* p, const char* end, const char* terminator)
{
    const std::size_t length = std::strlen(terminator);
    while (p < end) {
        const auto* hit = static_cast<const char*>(std::memchr(p, terminator[0], std::size_t(end - p)));
        if (!hit)
            break;
        if (startsWith(hit, end, terminator))
            return hit + length;
        p = hit + 1;
    }
    return end;
}

} // namespace

QString exceeded(QByteArrayView feed)
{
    const char* p = feed.data();
    const char* const end = p + qstrnlen(p, size_t(feed.size()));
    qsizetype markup = 0;
    qsizetype attributes = 0;
    while (p < end) {
        p = static_cast<const char*>(std::memchr(p, '<', std::size_t(end - p)));
        if (!p)
            break;
        if (++markup > maxMarkup)
            return QStringLiteral("more than %1 tags").arg(maxMarkup);
        // Where the parser's own constructs end, so that what they hold is
        // not taken for tags.
        if (startsWith(p, end, "<!--")) {
            p = pastNext(p + 4, end, "-->");
            continue;
        }
        if (startsWith(p, end, "<![CDATA[")) {
            p = pastNext(p + 9, end, "]]>");
            continue;
        }
        if (startsWith(p, end, "<?")) {
            p = pastNext(p + 2, end, "?>");
            continue;
        }
        if (startsWith(p, end, "<!") || startsWith(p, end, "</")) {
            p = pastNext(p + 2, end, ">");
            continue;
        }
        // A start tag: every attribute has a quoted value, and a quoted '>'
        // does not end the tag.
        qsizetype inTag = 0;
        ++p;
        while (p < end && *p != '>') {
            if (*p != '"' && *p != '\'') {
                ++p;
                continue;
            }
            const char* value = p + 1;
            const auto* close = static_cast<const char*>(std::memchr(value, *p, std::size_t(end - value)));
            if (!close)
                close = end;
            if (++inTag > maxAttributesPerElement)
                return QStringLiteral("more than %1 attributes in an element").arg(maxAttributesPerElement);
            if (++attributes > maxAttributes)
                return QStringLiteral("more than %1 attributes").arg(maxAttributes);
            if (close - value > maxAttributeValueBytes)
                return QStringLiteral("an attribute of more than %1 bytes").arg(maxAttributeValueBytes);
            p = close < end ? close + 1 : end;
        }
    }
    return QString();
}

bool isSaneVersionName(const QString& name)
{
    return name.size() <= maxVersionNameChars && versionPartCount(name.toStdString()) <= std::size_t(maxVersionParts);
}

} // namespace FeedLimits
