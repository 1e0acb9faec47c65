// A language file of any content, loaded into the language table.
#include "FuzzWorld.h"

#include "LanguageTable.h"
#include "TextReplace.h"

#include <cstdint>
#include <utility>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    LanguageTable table(QStringLiteral(":/no-builtin-strings.xml"));
    const bool loaded = table.loadFileContent(content);

    // The one-pass replacement gives what QString::replace gives.
    const QString contentText = QString::fromUtf8(content);
    for (const auto& [before, after] : {std::pair{u"\\n", u"\n"}, std::pair{u"\n", u"%newline%"},
                                        std::pair{u"%newline%", u"<br>"}, std::pair{u"aa", u"a"}}) {
        const QString beforeText = QString::fromUtf16(before);
        const QString afterText = QString::fromUtf16(after);
        if (contentText.size() <= 65536)
            FUZZ_CHECK(replacedAll(contentText, beforeText, afterText)
                       == QString(contentText).replace(beforeText, afterText));
    }

    const QString key = QStringLiteral("core/QMessageBoxEx/buttonOK");
    QString text;
    if (!table.tryTranslate(key, text))
        FUZZ_CHECK(table.translate(key) == key);
    else
        FUZZ_CHECK(loaded && table.translate(key) == text);
    return 0;
}
