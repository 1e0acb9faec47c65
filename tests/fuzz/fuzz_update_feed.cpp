// An update feed of any content, parsed for the running version 3.0.0 and
// turned into the release notes' HTML; the same bytes also go through the
// release-note markup as one item text.
#include "FuzzWorld.h"

#include "AvailableUpdate.h"
#include "FeedLimits.h"

#include <QRegularExpression>

#include <cstdint>

namespace {

// The markup conversion written with QString::replace, which is quadratic in
// the number of line feeds: the reference for texts of ordinary size.
QString referenceMarkup(QString text)
{
    static const QRegularExpression link(QStringLiteral("\\[(.+?)\\]\\((.+?)\\)"));
    static const QRegularExpression bold(QStringLiteral("\\*\\*(.+?)\\*\\*"));
    text.replace(QLatin1Char('\n'), QStringLiteral("%newline%"));
    text.replace(link, QStringLiteral("<a href=\"\\2\">\\1</a>"));
    text.replace(bold, QStringLiteral("<b>\\1</b>"));
    text.replace(QStringLiteral("%newline%"), QStringLiteral("<br>"));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy: the feed reaches fromXML as decompressed bytes, which end in a zero.
    const QByteArray feed(reinterpret_cast<const char*>(data), qsizetype(size));

    AvailableUpdate update(nullptr, QStringLiteral("3.0.0"), nullptr);
    if (!update.fromXML(feed)) {
        FUZZ_CHECK(!update.hasUpdate());
    } else {
        for (const UpdateVersion& version : update.versionList()) {
            FUZZ_CHECK(!version.name.isEmpty());
            // What the dialog shows of it is short and without white space around.
            FUZZ_CHECK(version.name.size() <= FeedLimits::maxVersionNameChars);
            FUZZ_CHECK(version.name == version.name.trimmed());
        }
        if (update.hasUpdate())
            FUZZ_CHECK(update.newestVersionName() == update.versionList().first().name);
        const QString html = update.releaseNotesHtml();
        FUZZ_CHECK(html.endsWith(QLatin1String("</table></body></html>")));
        // However many versions and items: the cap, one row past it and the cut mark.
        FUZZ_CHECK(html.size() <= 512 * 1024);
    }

    const QString notes = QString::fromUtf8(feed);
    QString text = notes;
    convertReleaseNotesMarkup(text);
    FUZZ_CHECK(!text.contains(QLatin1Char('\n')));
    if (notes.size() <= 65536)
        FUZZ_CHECK(text == referenceMarkup(notes));
    return 0;
}
