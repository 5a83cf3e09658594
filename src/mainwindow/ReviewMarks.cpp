// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/ReviewMarks.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr QByteArrayView kParagraphEnd("</p>");
/// The most of a tag a mark covers.
constexpr qint64 kMostTagMark = 80;

/// The tag whose "<" stands at `at`: up to its ">" if that comes soon, else its start.
TextSpan TagAt(QByteArrayView bytes, qint64 at) {
    const qint64 limit = std::min<qint64>(bytes.size(), at + kMostTagMark);
    for (qint64 i = at; i < limit; ++i) {
        if (bytes[i] == '>') return {at, i + 1 - at};
    }
    // A tag without its ">" soon after: its "<" and the name that follows it.
    qint64 end = std::min<qint64>(bytes.size(), at + 1);
    while (end < limit && bytes[end] != ' ' && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    return {at, std::max<qint64>(end - at, at < bytes.size() ? 1 : 0)};
}

}  // namespace

QList<TextSpan> KeepMarks(const QList<TextSpan>& marks, const QList<TextSpan>& kept) {
    QList<TextSpan> carried;
    auto span = kept.cbegin();
    qint64 spanOutput = 0;  // where the current kept stretch begins in the new text
    for (const TextSpan& mark : marks) {
        const qint64 markEnd = mark.start + mark.length;
        // Past the kept stretches that end before the mark.
        while (span != kept.cend() && span->start + span->length <= mark.start) {
            spanOutput += span->length;
            ++span;
        }
        qint64 output = spanOutput;
        for (auto piece = span; piece != kept.cend() && piece->start < markEnd; ++piece) {
            const qint64 from = std::max(mark.start, piece->start);
            const qint64 to = std::min(markEnd, piece->start + piece->length);
            if (from < to) {
                const TextSpan moved{output + (from - piece->start), to - from};
                if (!carried.isEmpty() &&
                    carried.last().start + carried.last().length == moved.start) {
                    carried.last().length += moved.length;
                } else {
                    carried.append(moved);
                }
            }
            output += piece->length;
        }
    }
    return carried;
}

QList<TextSpan> InsertedParagraphEnds(QByteArrayView bytes, const QList<TextSpan>& marks) {
    QList<TextSpan> ends;
    for (const TextSpan& mark : marks) {
        if (mark.length == 0 || mark.length % kParagraphEnd.size() != 0) continue;
        if (mark.start < 0 || mark.start + mark.length > bytes.size()) continue;
        QList<TextSpan> pieces;
        for (qint64 at = mark.start; at < mark.start + mark.length; at += kParagraphEnd.size()) {
            if (bytes.sliced(at, kParagraphEnd.size()) != kParagraphEnd) {
                pieces.clear();
                break;
            }
            pieces.append({at, kParagraphEnd.size()});
        }
        ends += pieces;
    }
    return ends;
}

QByteArray PageBefore(QByteArrayView bytes, const QList<TextSpan>& inserted) {
    QByteArray before;
    qint64 removed = 0;
    for (const TextSpan& span : inserted) removed += span.length;
    before.reserve(bytes.size() - removed);
    qint64 from = 0;
    for (const TextSpan& span : inserted) {
        before.append(bytes.sliced(from, span.start - from));
        from = span.start + span.length;
    }
    before.append(bytes.sliced(from));
    return before;
}

Differences CompareInsertions(QByteArrayView bytes, const QList<TextSpan>& inserted,
                              const QList<qint64>& other) {
    Differences differences;
    qsizetype mine = 0;
    qint64 removedBefore = 0;  // bytes of the inserted "</p>" before the place in hand
    auto next = other.cbegin();
    while (mine < inserted.size() || next != other.cend()) {
        const qint64 mineAt = mine < inserted.size() ? inserted[mine].start - removedBefore : -1;
        if (next != other.cend() && (mineAt < 0 || *next < mineAt)) {
            // Only the other way closes the paragraph here, before the tag at this place.
            differences.otherWouldAdd.append(TagAt(bytes, *next + removedBefore));
            ++next;
            continue;
        }
        if (next != other.cend() && *next == mineAt) {
            ++next;  // both ways agree
        } else {
            differences.otherWouldNotAdd.append(inserted[mine]);
        }
        removedBefore += inserted[mine].length;
        ++mine;
    }
    return differences;
}

}  // namespace quillet
