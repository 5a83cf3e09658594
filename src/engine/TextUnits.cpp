// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TextUnits.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace quillet {

namespace {

/// How many bytes of `marks` have their top bit set (and no other bit): the bits moved to
/// the bottom of their bytes and summed by one multiplication, without a population count
/// instruction that not every processor has.
inline int MarkedBytes(std::uint64_t marks) {
    return int(((marks >> 7) * 0x0101010101010101u) >> 56);
}

/// The 16-bit characters that the bytes of `w` make: every byte that does not continue a
/// sequence starts a character, and a four-byte one makes two.
inline qint64 WordCharacters(std::uint64_t w) {
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    if ((w & kHigh) == 0) return 8;  // ASCII alone, the common case
    // Bit 7 of each byte, and bits 6, 5 and 4 moved up to bit 7: a continuation byte is
    // 10xxxxxx, the lead of four bytes 11110xxx.
    const std::uint64_t b6 = w << 1;
    const std::uint64_t continuation = w & ~b6 & kHigh;
    const std::uint64_t fourByteLead = w & b6 & (w << 2) & (w << 3) & kHigh;
    return 8 - MarkedBytes(continuation) + MarkedBytes(fourByteLead);
}

/// The 16-bit characters of the bytes [`from`, `to`) of valid UTF-8 at `p`.
qint64 Utf8Characters(const unsigned char* p, qint64 from, qint64 to) {
    qint64 count = 0;
    qint64 i = from;
    for (; i + 8 <= to; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, sizeof w);
        count += WordCharacters(w);
    }
    const qint64 tail = to - i;
    if (tail == 0) return count;
    if constexpr (std::endian::native == std::endian::little) {
        if (to >= 8) {
            // The eight bytes that end at `to`, the ones before the tail shifted out as
            // NUL bytes, which count one each.
            std::uint64_t w;
            std::memcpy(&w, p + to - 8, sizeof w);
            return count + WordCharacters(w >> (8 * (8 - tail))) - (8 - tail);
        }
    }
    for (; i < to; ++i) count += ((p[i] & 0xC0) != 0x80) + (p[i] >= 0xF0);
    return count;
}

template <typename Text, typename View>
Text Joined(View text, const QList<TextSpan>& kept, const QList<qint64>* insertions, View insert) {
    qint64 size = insertions ? text.size() + insertions->size() * insert.size() : 0;
    if (!insertions) {
        for (const TextSpan& span : kept) size += span.length;
    }
    Text out;
    out.reserve(size);
    if (!insertions) {
        for (const TextSpan& span : kept) out.append(text.sliced(span.start, span.length));
        return out;
    }
    qint64 from = 0;
    for (const qint64 at : *insertions) {
        out.append(text.sliced(from, at - from));
        out.append(insert);
        from = at;
    }
    out.append(text.sliced(from));
    return out;
}

}  // namespace

qint64 TextUnits::characters(qint64 from, qint64 to) const {
    if (kind_ != Kind::Utf8 || to <= from) return to - from;
    return Utf8Characters(static_cast<const unsigned char*>(data_), from, to);
}

QString WithInsertions(QStringView text, const QList<qint64>& offsets, QStringView insert) {
    return Joined<QString>(text, {}, &offsets, insert);
}

QByteArray WithInsertions(QByteArrayView text, const QList<qint64>& offsets,
                          QByteArrayView insert) {
    return Joined<QByteArray>(text, {}, &offsets, insert);
}

QString KeptText(QStringView text, const QList<TextSpan>& kept) {
    return Joined<QString>(text, kept, nullptr, QStringView());
}

QByteArray KeptText(QByteArrayView text, const QList<TextSpan>& kept) {
    return Joined<QByteArray>(text, kept, nullptr, QByteArrayView());
}

}  // namespace quillet
