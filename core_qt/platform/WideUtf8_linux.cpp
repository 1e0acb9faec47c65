#include "WideUtf8.h"

static_assert(sizeof(wchar_t) == 4, "a wide character holds a whole code point here");

namespace {

constexpr char32_t escapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at `i` and its code point; 0 when invalid.
std::size_t decodeOne(std::string_view bytes, std::size_t i, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate)
        return 0;
    return length;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

std::wstring utf8ToWide(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        if (const std::size_t length = decodeOne(bytes, i, codePoint)) {
            text += wchar_t(codePoint);
            i += length;
        } else {
            text += wchar_t(escapeBase + static_cast<unsigned char>(bytes[i]));
            ++i;
        }
    }
    return text;
}

std::string wideToUtf8(std::wstring_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c >= escapeBase + 0x80 && c <= escapeBase + 0xFF)
            bytes += char(c - escapeBase);
        else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            appendUtf8(bytes, 0xFFFD);
        else
            appendUtf8(bytes, c);
    }
    return bytes;
}
