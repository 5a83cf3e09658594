// The engine against a literal rendering of its routines, on seeded random documents, the
// engine reading them as 16-bit units, as UTF-8 and as single bytes. A failure names the
// seed, the width and the document index; QUILLET_DIFF_SEED and QUILLET_DIFF_ONLY replay
// one document.

#include "DocumentGenerator.h"
#include "ReferenceEngine.h"
#include "TestSupport.h"
#include "TextPrinting.h"
#include "engine/Functions.h"
#include "engine/Utilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>

namespace quillet::test {
namespace {

constexpr quint64 kDefaultSeed = 20240611;
constexpr int kDocuments = 10000;
// Every this many documents one carries a paragraph of 40,000 characters or more.
constexpr int kLongEvery = 400;
constexpr int kStepsPerDocument = 4;

enum class Routine { Fix, StripNewlines, StripSpaces };

/// How the engine reads the documents.
enum class Width { Utf16, Utf8, SingleByte };

const char* WidthName(Width width) {
    switch (width) {
        case Width::Utf16:
            return "16-bit units";
        case Width::Utf8:
            return "UTF-8";
        case Width::SingleByte:
            return "single bytes";
    }
    return "?";
}

/// The document as both sides read it at `width`: UTF-8 has no room for half a surrogate
/// pair, which becomes U+FFFD (one character either way); single bytes are the UTF-8 bytes,
/// each a character of its own.
QString ForWidth(const QString& document, Width width) {
    if (width == Width::Utf16) return document;
    QString text = document;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (text[i].isSurrogate()) {
            text[i] = QChar(0xFFFD);
        }
    }
    return width == Width::Utf8 ? text : QString::fromLatin1(text.toUtf8());
}

const char* RoutineName(Routine routine) {
    switch (routine) {
        case Routine::Fix:
            return "FixText";
        case Routine::StripNewlines:
            return "StripNewlines";
        case Routine::StripSpaces:
            return "StripSpaces";
    }
    return "?";
}

const char* StatusName(RepairResult::Status status) {
    switch (status) {
        case RepairResult::Status::Completed:
            return "Completed";
        case RepairResult::Status::Stopped:
            return "Stopped";
        case RepairResult::Status::ListsUnavailable:
            return "ListsUnavailable";
        case RepairResult::Status::Busy:
            return "Busy";
        case RepairResult::Status::ParserFailed:
            return "ParserFailed";
    }
    return "?";
}

std::optional<quint64> EnvNumber(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::strtoull(value, nullptr, 0);
}

/// The engine and the reference side by side, each with its own lists and observer.
struct Pair {
    Pair(const QStringList& skip, const QStringList& include)
        : engineLists(skip, include), referenceLists(skip, include) {}

    MemoryWordLists engineLists;
    MemoryWordLists referenceLists;
    RecordingObserver engineObserver;
    RecordingObserver referenceObserver;
    Functions engine{engineObserver, engineLists};
    ReferenceEngine reference{referenceObserver, referenceLists};
};

template <typename Engine>
RepairResult RunRoutine(Engine& engine, Routine routine, const QString& text) {
    switch (routine) {
        case Routine::Fix:
            return engine.FixText(text);
        case Routine::StripNewlines:
            return engine.StripNewlines(text);
        case Routine::StripSpaces:
            return engine.StripSpaces(text);
    }
    return {};
}

/// The engine on the bytes of `text`, with the text built from its result.
RepairResult RunOnBytes(Functions& engine, Routine routine, const QString& text, Width width) {
    const QByteArray bytes = width == Width::Utf8 ? text.toUtf8() : text.toLatin1();
    const TextUnits units =
        width == Width::Utf8 ? TextUnits::Utf8(bytes) : TextUnits::SingleByte(bytes);
    RepairResult result = routine == Routine::Fix ? engine.FixText(units)
                          : routine == Routine::StripNewlines
                              ? engine.StripNewlines(units, LoneLineFeeds::Keep)
                              : engine.StripSpaces(units);
    if (!result.ok()) return result;
    const QByteArray out = routine == Routine::Fix
                               ? WithInsertions(bytes, result.insertions, "</p>")
                               : KeptText(bytes, result.kept);
    result.text = width == Width::Utf8 ? QString::fromUtf8(out) : QString::fromLatin1(out);
    return result;
}

/// Prepares one side for a run: empty logs, and where to stop or fail (-1: never).
void Arm(RecordingObserver& observer, MemoryWordLists& lists, int stopAt, int failAt) {
    observer.events.clear();
    observer.notices.clear();
    observer.stopAfterEvents = stopAt;
    lists.lookups = 0;
    lists.failAfterLookups = failAt;
}

std::string Around(const QStringList& events, qsizetype at) {
    std::string out;
    for (qsizetype i = std::max<qsizetype>(0, at - 3); i < std::min(events.size(), at + 3); ++i)
        out += "\n      [" + std::to_string(i) + "] " + Escaped(events.at(i));
    return out;
}

::testing::AssertionResult SameOutcome(const Pair& pair, const QString& input,
                                       const RepairResult& got, const RepairResult& want) {
    if (got.status != want.status)
        return ::testing::AssertionFailure()
               << "status " << StatusName(got.status) << ", expected " << StatusName(want.status);
    if (want.status == RepairResult::Status::Completed) {
        if (got.text != want.text) {
            qsizetype at = 0;
            while (at < got.text.size() && at < want.text.size() && got.text[at] == want.text[at])
                ++at;
            const qsizetype from = std::max<qsizetype>(0, at - 20);
            return ::testing::AssertionFailure()
                   << "text differs at index " << at << " (lengths " << got.text.size() << ", "
                   << want.text.size()
                   << ")\n    engine:    " << Escaped(QStringView(got.text).mid(from), 60)
                   << "\n    reference: " << Escaped(QStringView(want.text).mid(from), 60);
        }
    } else if (!got.text.isEmpty() && got.text != input) {
        return ::testing::AssertionFailure() << "an unfinished run returned a changed text";
    }
    if (got.listsError.reason != want.listsError.reason)
        return ::testing::AssertionFailure()
               << "lists error \"" << Escaped(got.listsError.reason) << "\", expected \""
               << Escaped(want.listsError.reason) << '"';
    if (got.error != want.error)
        return ::testing::AssertionFailure() << "error \"" << Escaped(got.error)
                                             << "\", expected \"" << Escaped(want.error) << '"';
    const QStringList& gotEvents = pair.engineObserver.events;
    const QStringList& wantEvents = pair.referenceObserver.events;
    if (gotEvents != wantEvents) {
        qsizetype at = 0;
        while (at < gotEvents.size() && at < wantEvents.size() && gotEvents[at] == wantEvents[at])
            ++at;
        return ::testing::AssertionFailure()
               << "observer calls differ at call " << at << " (" << gotEvents.size() << " vs "
               << wantEvents.size() << " calls)\n    engine:" << Around(gotEvents, at)
               << "\n    reference:" << Around(wantEvents, at);
    }
    if (pair.engine.AddedCount != pair.reference.AddedCount)
        return ::testing::AssertionFailure() << "AddedCount " << pair.engine.AddedCount
                                             << ", expected " << pair.reference.AddedCount;
    // A stopped run may leave the flag either side of the step it stopped in; the next
    // routine resets it anyway.
    if (want.status != RepairResult::Status::Stopped &&
        pair.engine.InParagraph != pair.reference.InParagraph)
        return ::testing::AssertionFailure() << "InParagraph " << pair.engine.InParagraph
                                             << ", expected " << pair.reference.InParagraph;
    if (pair.engineLists.lookups != pair.referenceLists.lookups)
        return ::testing::AssertionFailure()
               << pair.engineLists.lookups << " lookups, expected " << pair.referenceLists.lookups;
    if (pair.engineLists.opens != pair.engineLists.closes)
        return ::testing::AssertionFailure() << "the word lists were left open";
    if (pair.engine.IsRunning())
        return ::testing::AssertionFailure() << "the engine still counts itself running";
    return ::testing::AssertionSuccess();
}

class DifferentialTest : public ::testing::TestWithParam<Width> {};

TEST_P(DifferentialTest, EngineMatchesReferenceOnRandomDocuments) {
    const Width width = GetParam();
    const quint64 seed = EnvNumber("QUILLET_DIFF_SEED").value_or(kDefaultSeed);
    const std::optional<quint64> only = EnvNumber("QUILLET_DIFF_ONLY");
    int stops = 0, failures = 0, idempotent = 0, longDocuments = 0;

    for (int index = 0; index < kDocuments; ++index) {
        if (only && *only != quint64(index)) continue;
        DocumentGenerator random(seed * 0x100000001B3ULL + quint64(index));
        const bool isLong = index % kLongEvery == kLongEvery / 2;
        const QString document =
            ForWidth(isLong ? random.LongDocument() : random.Document(), width);
        longDocuments += isLong;
        const QStringList skip = random.SkipList();
        const QStringList include = random.IncludeList();
        Pair pair(skip, include);

        QString current = document;
        std::optional<Routine> producer;  // the routine that made `current`, if any
        for (int step = 0; step < kStepsPerDocument; ++step) {
            const Routine routine =
                producer && random.Chance(35) ? *producer : static_cast<Routine>(random.Below(3));
            const bool onOutput = producer && random.Chance(60);
            const QString& input = onOutput ? current : document;

            // Now and then stop at a random step, or fail a random lookup, of a run the
            // reference first makes without either.
            int stopAt = -1, failAt = -1;
            if (random.Chance(12)) {
                const qint32 added = pair.reference.AddedCount;
                const bool inParagraph = pair.reference.InParagraph;
                Arm(pair.referenceObserver, pair.referenceLists, -1, -1);
                RunRoutine(pair.reference, routine, input);
                const int yields =
                    int(pair.referenceObserver.events.count(QStringLiteral("events")));
                const int lookups = pair.referenceLists.lookups;
                pair.reference.AddedCount = added;
                pair.reference.InParagraph = inParagraph;
                if (routine == Routine::Fix && lookups > 0 && random.Chance(50)) {
                    failAt = random.Below(lookups + 1);
                    ++failures;
                } else {
                    stopAt = 1 + random.Below(yields);
                    ++stops;
                }
            }

            Arm(pair.referenceObserver, pair.referenceLists, stopAt, failAt);
            Arm(pair.engineObserver, pair.engineLists, stopAt, failAt);
            const RepairResult want = RunRoutine(pair.reference, routine, input);
            const RepairResult got = width == Width::Utf16
                                         ? RunRoutine(pair.engine, routine, input)
                                         : RunOnBytes(pair.engine, routine, input, width);
            ASSERT_TRUE(SameOutcome(pair, input, got, want))
                << WidthName(width) << ", seed " << seed << ", document " << index << ", step "
                << step << ": " << RoutineName(routine)
                << (onOutput ? " on the previous output" : "")
                << (stopAt > 0 ? ", stopped at yield " + std::to_string(stopAt) : "")
                << (failAt >= 0 ? ", lookup " + std::to_string(failAt + 1) + " failing" : "")
                << "\n  skip list: " << ::testing::PrintToString(skip)
                << "\n  include list: " << ::testing::PrintToString(include)
                << "\n  input: " << Escaped(input);

            if (want.status == RepairResult::Status::Stopped)
                pair.reference.InParagraph = pair.engine.InParagraph;
            if (!got.ok()) continue;
            if (onOutput && routine == *producer) {
                // Each routine leaves nothing for a second run to do.
                EXPECT_EQ(got.text, input) << "seed " << seed << ", document " << index;
                if (routine == Routine::Fix) {
                    EXPECT_EQ(pair.engine.AddedCount, 0) << "document " << index;
                }
                ++idempotent;
            }
            current = got.text;
            producer = routine;
        }
    }
    std::cout << "[          ] " << WidthName(width) << ", seed " << seed << ": " << kDocuments
              << " documents (" << longDocuments << " long), " << stops << " stopped runs, "
              << failures << " failing lookups, " << idempotent << " repeated runs\n";
}

INSTANTIATE_TEST_SUITE_P(Widths, DifferentialTest,
                         ::testing::Values(Width::Utf16, Width::Utf8, Width::SingleByte));

TEST(DifferentialJoinTest, JoinLinesMatchesReference) {
    DocumentGenerator random(EnvNumber("QUILLET_DIFF_SEED").value_or(kDefaultSeed));
    for (int i = 0; i < 20'000; ++i) {
        const QString text = random.LineText();
        const QString want = ReferenceEngine::JoinLines(text);
        ASSERT_EQ(JoinLines(text), want) << "input " << Escaped(text);
        QString appended = QStringLiteral("x");
        AppendJoinedLines(appended, text);
        ASSERT_EQ(appended, QStringLiteral("x") + want) << "input " << Escaped(text);
    }
}

}  // namespace
}  // namespace quillet::test
