#include "VisibleText.h"

namespace {

bool isBidiControl(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString visibleText(const QString& text)
{
    QString result = text;
    for (QChar& ch : result) {
        const char16_t c = ch.unicode();
        if (c < 0x20)
            ch = QChar(char16_t(0x2400 + c)); // the control pictures: ␊ for a line feed
        else if (c == 0x7F)
            ch = QChar(char16_t(0x2421)); // ␡
        else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || isBidiControl(c))
            ch = QChar::ReplacementCharacter;
    }
    return result;
}
