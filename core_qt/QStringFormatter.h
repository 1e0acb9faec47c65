#pragma once

#include <QString>

#include <fmt/format.h>

// Lets log calls take QString arguments with the usual string format
// specification ("{:>8}", "{:.1}", "{:{}}"): the text is written as UTF-8.
template <>
struct fmt::formatter<QString> : fmt::formatter<fmt::string_view>
{
    template <typename FormatContext>
    auto format(const QString& text, FormatContext& ctx) const -> decltype(ctx.out())
    {
        const QByteArray utf8 = text.toUtf8();
        return fmt::formatter<fmt::string_view>::format(fmt::string_view(utf8.constData(), size_t(utf8.size())), ctx);
    }
};

using QStringFormatter = fmt::formatter<QString>;
