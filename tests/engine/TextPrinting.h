#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <ostream>

namespace quillet::test {

/// `text` with line breaks, tabs, NUL and non-ASCII characters spelled out, cut after
/// `limit` characters, for failure messages.
inline std::string Escaped(QStringView text, qsizetype limit = 400) {
    QString out;
    for (qsizetype i = 0; i < text.size() && i < limit; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c < 0x20 || c >= 0x7F)
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            out += QChar(c);
    }
    if (text.size() > limit) out += QStringLiteral("... (%1 characters)").arg(text.size());
    return out.toStdString();
}

}  // namespace quillet::test

// Lets GoogleTest show QString values readably in failed comparisons.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << quillet::test::Escaped(text) << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", " : "") << '"' << quillet::test::Escaped(list.at(i)) << '"';
    *os << '}';
}
