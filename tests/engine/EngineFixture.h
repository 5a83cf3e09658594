// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestSupport.h"
#include "engine/Functions.h"

#include <gtest/gtest.h>

namespace quillet::test {

/// An engine over in-memory word lists, with every observer call recorded.
class EngineFixture {
  public:
    explicit EngineFixture(QStringList skip = {}, QStringList include = {})
        : lists(std::move(skip), std::move(include)) {}

    /// Each runs its routine on `text`, read as 16-bit units, with a fresh log; the run
    /// must complete. Each returns the text the run makes and keeps its result in `last`.
    QString Fix(const QString& text) {
        Reset();
        return Completed(text, engine.FixText(TextUnits::Utf16(text)));
    }
    /// Fix File by HTML5 rules, with the string shared with the parser as the program
    /// shares a decoded page.
    QString FixHtml5(const QString& text) {
        Reset();
        return Completed(text, engine.FixTextHtml5(TextUnits::Utf16(text), &text));
    }
    QString StripNewlines(const QString& text, LoneLineFeeds lineFeeds = LoneLineFeeds::Keep) {
        Reset();
        return Completed(text, engine.StripNewlines(TextUnits::Utf16(text), lineFeeds));
    }
    QString StripSpaces(const QString& text) {
        Reset();
        return Completed(text, engine.StripSpaces(TextUnits::Utf16(text)));
    }

    /// How many "</p>" the last run added.
    qsizetype Added() const { return last.insertions.size(); }
    /// The observer calls of the last run.
    const QStringList& Events() const { return observer.events; }
    void Reset() {
        observer.events.clear();
        observer.notices.clear();
    }

    MemoryWordLists lists;
    RecordingObserver observer;
    Functions engine{observer, lists};
    RepairResult last;

  private:
    QString Completed(const QString& text, RepairResult result) {
        EXPECT_EQ(result.status, RepairResult::Status::Completed) << Escaped(result.error);
        last = std::move(result);
        return last.ok() ? RepairedText(text, last) : QString();
    }
};

}  // namespace quillet::test
