#include "StringHelpers.h"

#include <algorithm>
#include <string_view>

namespace {

// Ordered so that comparing two classes gives text < separator < numeric.
enum class TokenClass { Text, Separator, Numeric };

struct Token
{
    TokenClass tokenClass;
    std::string_view text;
};

TokenClass classOf(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return TokenClass::Numeric;
    const bool space = c == ' ' || (c >= '\t' && c <= '\r');
    const bool punctuation
        = (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
    return space || punctuation ? TokenClass::Separator : TokenClass::Text;
}

// Hands out the tokens one by one, so that no length of version costs memory.
// Digits run together, other characters too; every separator byte stands alone.
// Trailing separators are dropped: "3.0.0 " and "3.0.0." are the version 3.0.0
// as a reader sees it, not a newer one.
class Tokens
{
public:
    explicit Tokens(std::string_view version)
        : rest(version)
    {
        while (!rest.empty() && classOf(static_cast<unsigned char>(rest.back())) == TokenClass::Separator)
            rest.remove_suffix(1);
    }

    bool atEnd() const { return rest.empty(); }

    Token next()
    {
        const TokenClass tokenClass = classOf(static_cast<unsigned char>(rest.front()));
        std::size_t length = 1;
        if (tokenClass != TokenClass::Separator) {
            while (length < rest.size() && classOf(static_cast<unsigned char>(rest[length])) == tokenClass)
                ++length;
        }
        const Token token{tokenClass, rest.substr(0, length)};
        rest.remove_prefix(length);
        return token;
    }

private:
    std::string_view rest;
};

// Compares two digit runs by value without converting them, so that no length
// of run can overflow: leading zeros dropped, then the longer run is larger.
int compareNumbers(std::string_view a, std::string_view b)
{
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

} // namespace

int compareVersions(const std::string& a, const std::string& b)
{
    Tokens aTokens(a);
    Tokens bTokens(b);
    while (!aTokens.atEnd() && !bTokens.atEnd()) {
        const Token x = aTokens.next();
        const Token y = bTokens.next();
        if (x.tokenClass != y.tokenClass)
            return x.tokenClass < y.tokenClass ? -1 : 1;
        if (x.tokenClass == TokenClass::Numeric) {
            if (const int order = compareNumbers(x.text, y.text))
                return order;
        } else if (x.tokenClass == TokenClass::Text) {
            // Views compare as unsigned bytes, a shorter prefix first.
            const int order = x.text.compare(y.text);
            if (order != 0)
                return order < 0 ? -1 : 1;
        }
        // Two separators are equal whatever their characters.
    }
    if (aTokens.atEnd() && bTokens.atEnd())
        return 0;
    if (!aTokens.atEnd())
        return aTokens.next().tokenClass == TokenClass::Text ? -1 : 1;
    return bTokens.next().tokenClass == TokenClass::Text ? 1 : -1;
}

std::size_t versionPartCount(const std::string& version)
{
    std::size_t parts = 0;
    for (Tokens tokens(version); !tokens.atEnd();) {
        if (tokens.next().tokenClass != TokenClass::Separator)
            ++parts;
    }
    return parts;
}
