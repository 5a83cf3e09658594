// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RepairCommands.h"

#include <algorithm>

namespace quillet {

namespace {

RepairResult RunFix(Functions& engine, const TextUnits& text, const QString* shared,
                    const RepairSettings& settings) {
    // The parser's thread shares a decoded text rather than copying it.
    return settings.html5 ? engine.FixTextHtml5(text, shared) : engine.FixText(text);
}

RepairResult RunStripNewlines(Functions& engine, const TextUnits& text, const QString*,
                              const RepairSettings& settings) {
    return engine.StripNewlines(text, settings.lineFeeds);
}

RepairResult RunStripSpaces(Functions& engine, const TextUnits& text, const QString*,
                            const RepairSettings&) {
    return engine.StripSpaces(text);
}

qint64 CountAdded(const TextUnits&, const RepairResult& result) {
    return result.insertions.size();
}

/// Calls `removed(from, to)` for every stretch of `text` that `result` leaves out.
template <typename Removed>
void ForEachRemoved(const TextUnits& text, const RepairResult& result, Removed removed) {
    qint64 at = 0;
    for (const TextSpan& span : result.kept) {
        if (span.start > at) removed(at, span.start);
        at = std::max(at, span.start + span.length);
    }
    if (!result.kept.isEmpty() && text.size() > at) removed(at, text.size());
}

template <typename Unit>
qint64 LineBreaksIn(const Unit* units, qint64 from, qint64 to) {
    qint64 breaks = 0;
    for (qint64 i = from; i < to; ++i) {
        // A carriage return and the line feed after it end one line.
        if (units[i] == '\n' && !(i > from && units[i - 1] == '\r')) ++breaks;
        if (units[i] == '\r') ++breaks;
    }
    return breaks;
}

qint64 CountLineBreaks(const TextUnits& text, const RepairResult& result) {
    qint64 breaks = 0;
    ForEachRemoved(text, result, [&](qint64 from, qint64 to) {
        breaks += text.isUtf16() ? LineBreaksIn(text.utf16().utf16(), from, to)
                                 : LineBreaksIn(text.bytes().data(), from, to);
    });
    return breaks;
}

qint64 CountRemoved(const TextUnits& text, const RepairResult& result) {
    // Strip Spaces removes spaces alone, one code unit each in every width.
    qint64 removed = 0;
    ForEachRemoved(text, result, [&](qint64 from, qint64 to) { removed += to - from; });
    return removed;
}

const RepairCommand kCommands[] = {
    {RepairId::Fix, "fix", "Fix File", "</p>", "added", RunFix, CountAdded, "[--wordlists DB]",
     "Insert </p> before every tag that ends an open paragraph, as the word lists decide.",
     "Insert </p> wherever an HTML5 parser (a browser) ends a paragraph because of a tag; "
     "the page keeps its tree. No word lists are needed."},
    {RepairId::StripNewlines, "strip-newlines", "Strip Newlines", "line breaks", "removed",
     RunStripNewlines, CountLineBreaks, "[--join-lf]",
     "Join the lines of every paragraph from <p> to </p>.", nullptr},
    {RepairId::StripSpaces, "strip-spaces", "Strip Spaces", "spaces", "removed", RunStripSpaces,
     CountRemoved, "", "Trim spaces at both ends and shorten every run of spaces to one.", nullptr},
};

}  // namespace

QString RepairCommand::countText(qint64 count, bool would) const {
    return QStringLiteral("%1 %2 %3%4")
        .arg(count)
        .arg(QLatin1StringView(counted), would ? QStringLiteral("would be ") : QString(),
             QLatin1StringView(done));
}

std::span<const RepairCommand> RepairCommands() {
    return kCommands;
}

const RepairCommand& GetRepairCommand(RepairId id) {
    return kCommands[int(id)];
}

const RepairCommand* FindRepairCommand(QStringView name) {
    for (const RepairCommand& command : kCommands) {
        if (name == QLatin1StringView(command.name)) return &command;
    }
    return nullptr;
}

bool RepairChanges(const TextUnits& text, const RepairResult& result) {
    if (!result.kept.isEmpty()) {
        qint64 kept = 0;
        for (const TextSpan& span : result.kept) kept += span.length;
        return kept != text.size();
    }
    return !result.insertions.isEmpty();
}

}  // namespace quillet
