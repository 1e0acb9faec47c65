#include "StringHelpers.h"

#include <algorithm>
#include <vector>

namespace {

// Ordered so that comparing two classes gives text < separator < numeric.
enum class TokenClass { Text, Separator, Numeric };

struct Token
{
    TokenClass tokenClass;
    std::string text;
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

std::vector<Token> tokenize(const std::string& version)
{
    std::vector<Token> tokens;
    for (const char c : version) {
        const TokenClass tokenClass = classOf(static_cast<unsigned char>(c));
        if (!tokens.empty() && tokens.back().tokenClass == tokenClass && tokenClass != TokenClass::Separator)
            tokens.back().text += c;
        else
            tokens.push_back({tokenClass, std::string(1, c)});
    }
    return tokens;
}

// Compares two digit runs by value without converting them, so that no length
// of run can overflow: leading zeros dropped, then the longer run is larger.
int compareNumbers(const std::string& a, const std::string& b)
{
    const std::string::size_type aStart = std::min(a.find_first_not_of('0'), a.size());
    const std::string::size_type bStart = std::min(b.find_first_not_of('0'), b.size());
    const std::string::size_type aLength = a.size() - aStart;
    const std::string::size_type bLength = b.size() - bStart;
    if (aLength != bLength)
        return aLength < bLength ? -1 : 1;
    const int order = a.compare(aStart, aLength, b, bStart, bLength);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

} // namespace

int compareVersions(const std::string& a, const std::string& b)
{
    const std::vector<Token> aTokens = tokenize(a);
    const std::vector<Token> bTokens = tokenize(b);
    const std::size_t common = std::min(aTokens.size(), bTokens.size());
    for (std::size_t i = 0; i < common; ++i) {
        const Token& x = aTokens[i];
        const Token& y = bTokens[i];
        if (x.tokenClass != y.tokenClass)
            return x.tokenClass < y.tokenClass ? -1 : 1;
        if (x.tokenClass == TokenClass::Numeric) {
            if (const int order = compareNumbers(x.text, y.text))
                return order;
        } else if (x.tokenClass == TokenClass::Text) {
            // std::string compares as unsigned bytes, a shorter prefix first.
            const int order = x.text.compare(y.text);
            if (order != 0)
                return order < 0 ? -1 : 1;
        }
        // Two separators are equal whatever their characters.
    }
    if (aTokens.size() == bTokens.size())
        return 0;
    if (aTokens.size() > bTokens.size())
        return aTokens[common].tokenClass == TokenClass::Text ? -1 : 1;
    return bTokens[common].tokenClass == TokenClass::Text ? 1 : -1;
}
