// SPDX-License-Identifier: GPL-3.0-or-later
// The engine against a literal rendering of its routines (ReferenceEngine.h) on seeded
// random documents, the engine reading them as 16-bit units, as UTF-8 and as single bytes.
// A failure names the seed and the document; QUILLET_DIFF_SEED runs another seed.

#include "EngineFixture.h"
#include "ReferenceEngine.h"

#include <random>
#include <string_view>
#include <tuple>

namespace quillet::test {
namespace {

using namespace std::string_view_literals;

/// Pieces that crowd the corners of the routines: paragraph tags in every case and shape,
/// names as the scan reads them, comments, a stray "<", every kind of line break, runs of
/// spaces, NUL, characters of every UTF-8 length and lone surrogates.
// clang-format off
const std::u16string_view kPieces[] = {
    u"<p>", u"<p>", u"</p>", u"<P>", u"</P>", u"<p align=x>", u"<P\n>", u"</p >", u"</ p>",
    u"<p/>", u"<pp>", u"<b>", u"</b>", u"<B>", u"<br/>", u"<BR />", u"<div>", u"</DIV>", u"<td>",
    u"</td>", u"<h1>", u"</H1>", u"<a/b>", u"<x1>", u"<3d>", u"<span class=\"x  y\">",
    u"<!-- c -->", u"<!DOCTYPE html>", u"<?xml?>", u"< ", u"<<", u"<\t", u"<\u00e9>",
    u"<\u0416x>", u"\u00e9t\u00e9", u"\u20ac", u"\U0001F600", u"<\U0001F600>", u"\xD83D",
    u"<\xDE00", u"\0"sv, u"a\0 "sv, u" ", u" ", u"   ", u"\t", u"\r\n", u"\n", u"\r", u"\r\r\n",
    u"\n\r", u" \r\n ", u">", u"p>", u"/p>", u"text", u"Word ", u"x", u"<p>a\r\nb</p>",
    u"<5", u"<!--", u"-->", u"<!-->", u"<!--->", u"--", u"<script>", u"<SCRIPT type=x>",
    u"</script>", u"</Script ", u"</scripts>", u"<title>", u"</TITLE>", u"<textarea>",
    u"</textarea>", u"<style>", u"</style>", u"<xmp>", u"</xmp>", u"<noscript>", u"</noscript\n",
    u"<plaintext>", u"<script/>", u"</"};
const std::u16string_view kEndings[] = {u"<", u"<x", u"<<", u"< ", u"</", u"<p", u" ", u"\r", u""};
const char16_t* const kSkipPool[] = {u"", u"b", u"i", u"br", u"br/", u"span", u"a", u"h1",
                                     u"pre", u"p", u"td", u"Div", u"x1", u"a/b", u"/b", u"3d"};
const char16_t* const kIncludePool[] = {u"/div", u"/td", u"/b", u"/", u"/h1", u"/table",
                                        u"/p", u"/li", u"/TD", u"div", u"/a/b", u"/x1"};
// clang-format on

enum class Routine { Fix, StripNewlines, JoinAllLines, StripSpaces };
enum class Width { Utf16, Utf8, SingleByte };
void PrintTo(Width width, std::ostream* os) {
    *os << (width == Width::Utf16 ? "UTF-16" : width == Width::Utf8 ? "UTF-8" : "bytes");
}

/// The document as both sides read it: UTF-8 has no room for half a surrogate pair, which
/// becomes "?"; single bytes are the UTF-8 bytes, each a character of its own.
QString ForWidth(QString text, Width width) {
    if (width == Width::Utf16) return text;
    text = QString::fromUtf8(text.toUtf8());
    return width == Width::Utf8 ? text : QString::fromLatin1(text.toUtf8());
}

/// What one run of the engine made: its result, and the text it makes of its input.
struct EngineRun {
    RepairResult result;
    QString text;
};

EngineRun RunEngine(Functions& engine, Routine routine, const QString& text, Width width) {
    const LoneLineFeeds lineFeeds =
        routine == Routine::JoinAllLines ? LoneLineFeeds::Join : LoneLineFeeds::Keep;
    const QByteArray bytes = width == Width::Utf8         ? text.toUtf8()
                             : width == Width::SingleByte ? text.toLatin1()
                                                          : QByteArray();
    const TextUnits units = width == Width::Utf16  ? TextUnits::Utf16(text)
                            : width == Width::Utf8 ? TextUnits::Utf8(bytes)
                                                   : TextUnits::SingleByte(bytes);
    EngineRun run;
    run.result = routine == Routine::Fix           ? engine.FixText(units)
                 : routine == Routine::StripSpaces ? engine.StripSpaces(units)
                                                   : engine.StripNewlines(units, lineFeeds);
    if (!run.result.ok()) return run;
    if (width == Width::Utf16) {
        run.text = RepairedText(text, run.result);
        return run;
    }
    const QByteArray out = routine == Routine::Fix
                               ? WithInsertions(bytes, run.result.insertions, "</p>")
                               : KeptText(bytes, run.result.kept);
    run.text = width == Width::Utf8 ? QString::fromUtf8(out) : QString::fromLatin1(out);
    return run;
}

ReferenceEngine::Run RunReference(ReferenceEngine& reference, Routine routine,
                                  const QString& text) {
    switch (routine) {
        case Routine::Fix:
            return reference.FixText(text);
        case Routine::StripSpaces:
            return reference.StripSpaces(text);
        case Routine::JoinAllLines:
            return reference.StripNewlines(text, LoneLineFeeds::Join);
        default:
            return reference.StripNewlines(text, LoneLineFeeds::Keep);
    }
}

/// How many pieces a random document has: in one case out of `longOnce`, `longLeast` and up
/// to `longMore` more, else fewer than `shortMost`.
struct CaseLengths {
    quint64 longOnce;
    qint64 longLeast;
    quint64 longMore;
    quint64 shortMost;
};

/// A random document of pieces in `width`, and random skip and include lists.
std::tuple<QString, QStringList, QStringList> RandomCase(std::mt19937_64& random, Width width,
                                                         CaseLengths lengths) {
    const auto below = [&](quint64 bound) { return qint64(random() % bound); };
    QString document;
    for (qint64 n = below(lengths.longOnce) == 0 ? lengths.longLeast + below(lengths.longMore)
                                                 : below(lengths.shortMost);
         n > 0; --n)
        document += QStringView(kPieces[below(std::size(kPieces))]);
    document += QStringView(kEndings[below(std::size(kEndings))]);
    QStringList skip, include;
    for (const char16_t* name : kSkipPool)
        if (below(2)) skip << QString::fromUtf16(name);
    for (const char16_t* name : kIncludePool)
        if (below(2)) include << QString::fromUtf16(name);
    return {ForWidth(document, width), skip, include};
}

class DifferentialTest : public ::testing::TestWithParam<Width> {};

TEST_P(DifferentialTest, EngineMatchesReferenceOnRandomDocuments) {
    const Width width = GetParam();
    const quint64 seed = qEnvironmentVariableIsSet("QUILLET_DIFF_SEED")
                             ? qEnvironmentVariableIntValue("QUILLET_DIFF_SEED")
                             : 20240611;
    for (int index = 0; index < 10000; ++index) {
        std::mt19937_64 random(seed * 1000003 + quint64(index));
        const auto below = [&](quint64 bound) { return qint64(random() % bound); };
        const auto [document, skip, include] = RandomCase(random, width, {6, 40, 400, 40});

        EngineFixture engineSide(skip, include);
        EngineFixture referenceSide(skip, include);
        ReferenceEngine reference(referenceSide.observer, referenceSide.lists);
        Functions& engine = engineSide.engine;
        QString current = document;
        std::optional<Routine> producer;  // the routine that made `current`
        for (int step = 0; step < 4; ++step) {
            const Routine routine = static_cast<Routine>(below(4));
            const bool onOutput = producer && below(10) < 6;
            const QString& input = onOutput ? current : document;
            // Now and then stop at a yield, or fail a lookup, on both sides.
            const int stopAt = below(8) == 0 ? 1 + int(below(40)) : -1;
            const int failAt = below(8) == 0 ? int(below(12)) : -1;
            for (EngineFixture* side : {&engineSide, &referenceSide}) {
                side->Reset();
                side->observer.stopAfterEvents = stopAt;
                side->lists.failAfterLookups = failAt;
                side->lists.lookups = 0;
            }
            const EngineRun got = RunEngine(engine, routine, input, width);
            const ReferenceEngine::Run want = RunReference(reference, routine, input);
            const auto where = [&] {
                return QStringLiteral("seed %1, document %2, step %3, routine %4%5, lists %6 / %7")
                           .arg(seed)
                           .arg(index)
                           .arg(step)
                           .arg(int(routine))
                           .arg(onOutput ? QStringLiteral(" on the last output") : QString())
                           .arg(skip.join(u','), include.join(u','))
                           .toStdString() +
                       "\n  input: " + Escaped(input);
            };
            ASSERT_EQ(got.result.status, want.status) << where();
            ASSERT_EQ(got.text, want.text) << where();
            ASSERT_EQ(got.result.listsError.reason, want.listsError.reason) << where();
            ASSERT_EQ(engineSide.Events(), referenceSide.Events()) << where();
            ASSERT_EQ(got.result.insertions.size(), want.added) << where();
            ASSERT_EQ(engineSide.lists.lookups, referenceSide.lists.lookups) << where();
            ASSERT_EQ(engineSide.lists.opens, engineSide.lists.closes) << where();
            ASSERT_FALSE(engine.IsRunning()) << where();
            if (!got.result.ok()) continue;
            // Each routine leaves nothing for a second run of it to do.
            if (onOutput && routine == *producer) {
                ASSERT_EQ(got.text, input) << where();
            }
            current = got.text;
            producer = routine;
        }
    }
}

/// The counts an observer was told, in order.
QStringList Counts(const QStringList& events) {
    QStringList counts;
    for (const QString& event : events) {
        if (event.startsWith(u"count ")) counts << event;
    }
    return counts;
}

/// The engine's short ways, which the test above never takes: lists whose answers a pass may
/// keep, so that it asks each name once, and an observer that samples the counts every so
/// many units, or wants none. The texts, the counts of "</p>" and the paragraph flag must be
/// the reference's; every count the engine reports must be one the reference reported, in
/// the same order; and no list may be asked more often than the reference asks it.
TEST_P(DifferentialTest, ShortWaysMatchReferenceOnRandomDocuments) {
    const Width width = GetParam();
    const quint64 seed = qEnvironmentVariableIsSet("QUILLET_DIFF_SEED")
                             ? qEnvironmentVariableIntValue("QUILLET_DIFF_SEED")
                             : 20240611;
    const qint64 strides[] = {EngineObserver::kNoReports, 2, 7, 64, 1000};
    for (int index = 0; index < 3000; ++index) {
        std::mt19937_64 random(seed * 7919 + quint64(index));
        const auto below = [&](quint64 bound) { return qint64(random() % bound); };
        // Longer documents too, so that the 64-byte steps of the short ways run many times.
        const auto [document, skip, include] = RandomCase(random, width, {4, 200, 800, 60});

        EngineFixture engineSide(skip, include);
        EngineFixture referenceSide(skip, include);
        engineSide.lists.answersFixed = true;
        engineSide.observer.stride = strides[below(std::size(strides))];
        ReferenceEngine reference(referenceSide.observer, referenceSide.lists);
        for (const Routine routine :
             {Routine::Fix, Routine::StripNewlines, Routine::JoinAllLines, Routine::StripSpaces}) {
            engineSide.Reset();
            referenceSide.Reset();
            engineSide.lists.lookups = referenceSide.lists.lookups = 0;
            const EngineRun got = RunEngine(engineSide.engine, routine, document, width);
            const ReferenceEngine::Run want = RunReference(reference, routine, document);
            const auto where = [&] {
                return QStringLiteral("seed %1, document %2, routine %3, stride %4, lists %5 / %6")
                           .arg(seed)
                           .arg(index)
                           .arg(int(routine))
                           .arg(engineSide.observer.stride)
                           .arg(skip.join(u','), include.join(u','))
                           .toStdString() +
                       "\n  input: " + Escaped(document);
            };
            ASSERT_EQ(got.result.status, want.status) << where();
            ASSERT_EQ(got.text, want.text) << where();
            ASSERT_EQ(got.result.insertions.size(), want.added) << where();
            ASSERT_LE(engineSide.lists.lookups, referenceSide.lists.lookups) << where();
            const QStringList wanted = Counts(referenceSide.Events());
            auto next = wanted.cbegin();
            for (const QString& count : Counts(engineSide.Events())) {
                next = std::find(next, wanted.cend(), count);
                ASSERT_NE(next, wanted.cend()) << count.toStdString() << " at " << where();
            }
            // An observer that wants no reports hears of notices alone.
            if (engineSide.observer.stride == EngineObserver::kNoReports) {
                for (const QString& event : engineSide.Events()) {
                    ASSERT_TRUE(event.startsWith(u"notice ")) << event.toStdString() << where();
                }
            }
        }
    }
}

/// A page with more names than a pass keeps answers for: the names past the limit are asked
/// at every tag, and the result is the reference's.
TEST_P(DifferentialTest, NamesPastTheKeptAnswersAreAskedEachTime) {
    QString document;
    QStringList skip;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 400; ++i) {
            const QString name = QStringLiteral("t%1").arg(i);
            document += QStringLiteral("<p>%1 <%2>x</%2> ").arg(round).arg(name);
            if (i % 3 == 0 && round == 0) skip << name;
        }
    }
    document = ForWidth(document, GetParam());
    EngineFixture engineSide(skip, {QStringLiteral("/t7")});
    EngineFixture referenceSide(skip, {QStringLiteral("/t7")});
    engineSide.lists.answersFixed = true;
    engineSide.observer.stride = EngineObserver::kNoReports;
    ReferenceEngine reference(referenceSide.observer, referenceSide.lists);
    const EngineRun got = RunEngine(engineSide.engine, Routine::Fix, document, GetParam());
    const ReferenceEngine::Run want = reference.FixText(document);
    ASSERT_TRUE(got.result.ok());
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.result.insertions.size(), want.added);
    // Fewer lookups than tags, but more than one per name: some names were past the limit.
    EXPECT_LT(engineSide.lists.lookups, referenceSide.lists.lookups);
    EXPECT_GT(engineSide.lists.lookups, 2 * 400);
}

INSTANTIATE_TEST_SUITE_P(Widths, DifferentialTest,
                         ::testing::Values(Width::Utf16, Width::Utf8, Width::SingleByte));

}  // namespace
}  // namespace quillet::test
