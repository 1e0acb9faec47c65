#pragma once

#include <QByteArrayView>
#include <QString>

// What a feed may hold before it is parsed. A real feed has tens of versions,
// each with a few attributes and notes; these limits leave it room many times
// over while keeping the parse of any feed under the size caps to a few
// megabytes and a fraction of a second.
namespace FeedLimits {

// Tags, comments, sections and declarations; the text between them makes at
// most as many nodes again.
constexpr qsizetype maxMarkup = 50000;
// The parser compares each attribute with every earlier one of its element.
constexpr qsizetype maxAttributesPerElement = 32;
constexpr qsizetype maxAttributes = 100000;
// Long enough for a download address with its query.
constexpr qsizetype maxAttributeValueBytes = 4096;

// A version name is shown in the dialog's text and compared part by part.
constexpr qsizetype maxVersionNameChars = 64;
constexpr qsizetype maxVersionParts = 32;

// The limit the feed passes, as a short text for the log, or an empty text
// when it keeps them all. Reads the bytes once, up to the first zero byte,
// as the parser does.
QString exceeded(QByteArrayView feed);

// Whether a (trimmed) version name is short enough and of few enough parts.
bool isSaneVersionName(const QString& name);

} // namespace FeedLimits
