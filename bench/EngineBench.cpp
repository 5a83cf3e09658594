// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the repair routines with the default lists in SQLite, and the cost of
// one word-list lookup.
#include "PageGenerator.h"
#include "documents/CodePage.h"
#include "documents/PageDecoding.h"
#include "documents/Utf8Check.h"
#include "engine/Functions.h"
#include "frontend/StoreErrorText.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListStore.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QTemporaryDir>
#include <map>

namespace quillet::bench {
namespace {

/// A temporary folder holding a default word-list database, for the whole run.
const QString& DatabasePath() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("SkipList.db"));
        StoreError error;
        if (!CreateWordListDatabase(file, &error)) qFatal("%s", qPrintable(StoreErrorText(error)));
        return file;
    }();
    return path;
}

/// The generated page of `megabytes` MB, decoded, made once.
const QString& Page(int megabytes) {
    static std::map<int, QString> pages;
    auto it = pages.find(megabytes);
    if (it == pages.end()) {
        it = pages
                 .emplace(megabytes,
                          DecodeCodePage(GenerateOldPage(qint64(megabytes) * 1000 * 1000)))
                 .first;
    }
    return it->second;
}

/// The same page after Fix File, as Strip Newlines meets it in practice.
const QString& FixedPage(int megabytes) {
    static std::map<int, QString> pages;
    auto it = pages.find(megabytes);
    if (it == pages.end()) {
        SilentObserver observer;
        StoreListSource lists(DatabasePath());
        Functions engine(observer, lists);
        const QString& page = Page(megabytes);
        it = pages.emplace(megabytes, RepairedText(page, engine.FixText(TextUnits::Utf16(page))))
                 .first;
    }
    return it->second;
}

void Report(benchmark::State& state, qint64 characters) {
    state.SetBytesProcessed(state.iterations() * characters);  // one byte per character on disk
}

void BM_FixText(benchmark::State& state) {
    const QString& page = Page(int(state.range(0)));
    SilentObserver observer;
    StoreListSource lists(DatabasePath());
    Functions engine(observer, lists);
    qsizetype added = 0;
    for (auto _ : state) {
        const RepairResult result = engine.FixText(TextUnits::Utf16(page));
        if (!result.ok()) state.SkipWithError(qPrintable(result.error));
        benchmark::DoNotOptimize(RepairedText(page, result).data());
        added = result.insertions.size();
    }
    state.counters["added"] = double(added);
    Report(state, page.size());
}

void BM_StripNewlines(benchmark::State& state) {
    const QString& page = FixedPage(int(state.range(0)));
    SilentObserver observer;
    StoreListSource lists(DatabasePath());
    Functions engine(observer, lists);
    for (auto _ : state) {
        const RepairResult result =
            engine.StripNewlines(TextUnits::Utf16(page), LoneLineFeeds::Keep);
        benchmark::DoNotOptimize(RepairedText(page, result).data());
    }
    Report(state, page.size());
}

void BM_StripSpaces(benchmark::State& state) {
    const QString& page = Page(int(state.range(0)));
    SilentObserver observer;
    StoreListSource lists(DatabasePath());
    Functions engine(observer, lists);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            RepairedText(page, engine.StripSpaces(TextUnits::Utf16(page))).data());
    }
    Report(state, page.size());
}

/// The three routines on the page's own bytes, as the batch tool and the window run them:
/// range(0) MB, range(1) 0 for the Windows-1252 bytes (one a character), 1 for UTF-8;
/// range(2) the routine (0 Fix File, 1 Strip Newlines on the fixed page, 2 Strip Spaces).
void BM_RoutineOnBytes(benchmark::State& state) {
    const int routine = int(state.range(2));
    const QString& text = routine == 1 ? FixedPage(int(state.range(0))) : Page(int(state.range(0)));
    const bool utf8 = state.range(1) == 1;
    qsizetype bad = -1;
    const QByteArray bytes = utf8 ? text.toUtf8() : *EncodeCodePage(text, &bad);
    const TextUnits units = utf8 ? TextUnits::Utf8(bytes) : TextUnits::SingleByte(bytes);
    SilentObserver observer;
    StoreListSource lists(DatabasePath());
    Functions engine(observer, lists);
    for (auto _ : state) {
        const RepairResult result = routine == 0 ? engine.FixText(units)
                                    : routine == 1
                                        ? engine.StripNewlines(units, LoneLineFeeds::Keep)
                                        : engine.StripSpaces(units);
        if (!result.ok()) state.SkipWithError(qPrintable(result.error));
        benchmark::DoNotOptimize(result.kept.data());
    }
    Report(state, bytes.size());
}

/// Reading and writing the code page.
void BM_DecodeCodePage(benchmark::State& state) {
    const QByteArray bytes = GenerateOldPage(qint64(state.range(0)) * 1000 * 1000);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeCodePage(bytes).data());
    Report(state, bytes.size());
}

void BM_EncodeCodePage(benchmark::State& state) {
    const QString& page = Page(int(state.range(0)));
    qsizetype bad = -1;
    for (auto _ : state) benchmark::DoNotOptimize(EncodeCodePage(page, &bad)->data());
    Report(state, page.size());
}

/// The benchmark page of `megabytes` MB in the encoding of `kind`: 0 Windows-1252, 1 UTF-8,
/// 2 UTF-16LE with its byte-order mark.
QByteArray PageBytes(int megabytes, int kind) {
    const QString& page = Page(megabytes);
    if (kind == 1) return page.toUtf8();
    if (kind == 2) {
        qsizetype bad = -1;
        return *TextEncoding::Utf16LE(true).encode(page, &bad);
    }
    return GenerateOldPage(qint64(megabytes) * 1000 * 1000);
}

/// Reading a page as the batch tool and the window do: detection, decoding and the check
/// that the text encodes back to the same bytes.
void BM_DecodePage(benchmark::State& state) {
    const QByteArray bytes = PageBytes(10, int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(DecodePage(bytes).text.data());
    Report(state, bytes.size());
}

/// Writing it back in its encoding.
void BM_EncodePage(benchmark::State& state) {
    const DecodedPage page = DecodePage(PageBytes(10, int(state.range(0))));
    qsizetype bad = -1;
    for (auto _ : state) benchmark::DoNotOptimize(page.encoding.encode(page.text, &bad)->data());
    Report(state, page.text.size());
}

/// The check for UTF-8 of the 10 MB page in UTF-8: 0, Qt's (QByteArrayView::isValidUtf8);
/// 1, the one the batch tool makes as it reads a page; both on bytes in the cache.
void BM_Utf8Check(benchmark::State& state) {
    const QByteArray bytes = PageBytes(10, 1);
    const bool own = state.range(0) == 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(own ? IsValidUtf8(bytes) : QByteArrayView(bytes).isValidUtf8());
    }
    Report(state, bytes.size());
}

/// One indexed seek on the stored table, as a pass makes it for a name it has not met.
void BM_StoreSeek(benchmark::State& state) {
    StoreError error;
    auto db = WordListDatabase::Open(DatabasePath(), &error);
    auto table = db->OpenTable(SkipListSchema(), &error);
    table->SetIndex(&error);
    const std::array<QStringView, 4> names = {u"b", u"div", u"font", u"h1"};
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(table->Seek(names[i++ % names.size()], &error));
}

/// A lookup of a name the pass has met before.
void BM_PassLookupRepeated(benchmark::State& state) {
    StoreListSource source(DatabasePath());
    StoreError error;
    auto lists = source.openLists(&error);
    const std::array<QStringView, 4> names = {u"b", u"div", u"font", u"h1"};
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(lists->inSkipList(names[i++ % names.size()]));
}

BENCHMARK(BM_FixText)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StripNewlines)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StripSpaces)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RoutineOnBytes)
    ->ArgsProduct({{10}, {0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_DecodeCodePage)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeCodePage)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8Check)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreSeek);
BENCHMARK(BM_PassLookupRepeated);

}  // namespace
}  // namespace quillet::bench

BENCHMARK_MAIN();
