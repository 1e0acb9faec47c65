// A language file of any content, loaded into the language table.
#include "FuzzWorld.h"

#include "LanguageTable.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LanguageTable table(QStringLiteral(":/no-builtin-strings.xml"));
    const bool loaded = table.loadFileContent(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    const QString key = QStringLiteral("core/QMessageBoxEx/buttonOK");
    QString text;
    if (!table.tryTranslate(key, text))
        FUZZ_CHECK(table.translate(key) == key);
    else
        FUZZ_CHECK(loaded && table.translate(key) == text);
    return 0;
}
