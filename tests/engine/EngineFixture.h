#pragma once

#include "TestSupport.h"
#include "TextPrinting.h"
#include "engine/Functions.h"

#include <gtest/gtest.h>

namespace quillet::test {

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
    const QStringList& Notices() const { return observer.notices; }
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

/// Observer calls as RecordingObserver writes them down.
inline QStringList Calls(std::initializer_list<const char*> calls) {
    QStringList list;
    for (const char* call : calls) list << QString::fromLatin1(call);
    return list;
}

}  // namespace quillet::test
