// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestSupport.h"
#include "engine/Functions.h"

#include <gtest/gtest.h>

namespace quillet::test {

/// `text` with line breaks, tabs, NUL and non-ASCII characters spelled out, cut after 400
/// characters, for failure messages.
inline std::string Escaped(QStringView text) {
    QString out;
    for (const QChar c : text.first(std::min<qsizetype>(text.size(), 400))) {
        out += c == u'\r'   ? QStringLiteral("\\r")
               : c == u'\n' ? QStringLiteral("\\n")
               : c.unicode() < 0x20 || c.unicode() >= 0x7F
                   ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
                   : QString(c);
    }
    return out.toStdString() + (text.size() > 400 ? "..." : "");
}

/// An engine over in-memory word lists, with every observer call recorded.
class EngineFixture {
  public:
    explicit EngineFixture(QStringList skip = {}, QStringList include = {})
        : lists(std::move(skip), std::move(include)) {}

    /// Each runs its routine on `text` with a fresh log; the run must complete.
    QString Fix(const QString& text) {
        Reset();
        return Completed(engine.FixText(text));
    }
    QString StripNewlines(const QString& text, LoneLineFeeds lineFeeds = LoneLineFeeds::Keep) {
        Reset();
        return Completed(engine.StripNewlines(text, lineFeeds));
    }
    QString StripSpaces(const QString& text) {
        Reset();
        return Completed(engine.StripSpaces(text));
    }

    /// The observer calls of the last run.
    const QStringList& Events() const { return observer.events; }
    void Reset() {
        observer.events.clear();
        observer.notices.clear();
    }

    MemoryWordLists lists;
    RecordingObserver observer;
    Functions engine{observer, lists};

  private:
    QString Completed(const RepairResult& result) {
        EXPECT_EQ(result.status, RepairResult::Status::Completed) << Escaped(result.error);
        return result.text;
    }
};

}  // namespace quillet::test

// Lets GoogleTest show QString values readably in failed comparisons.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << quillet::test::Escaped(text) << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    for (const QString& item : list) *os << '"' << quillet::test::Escaped(item) << "\" ";
}
