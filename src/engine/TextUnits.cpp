// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TextUnits.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
#if defined(__SSE2__)
    // Sixteen bytes at a time: each byte's counters go up by one for a continuation byte
    // (10xxxxxx, below -64 as a signed byte) and for a lead of four bytes (F0 and up, the
    // bytes that F0 does not exceed), and are summed before they can overflow.
    const __m128i continuationBelow = _mm_set1_epi8(-64);
    const __m128i fourByteLead = _mm_set1_epi8(char(0xF0));
    while (to - i >= 16) {
        const qint64 stop = std::min(to - 15, i + 255 * 16);
        const qint64 start = i;
        __m128i continuations = _mm_setzero_si128();
        __m128i fourByteLeads = _mm_setzero_si128();
        for (; i < stop; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            continuations = _mm_sub_epi8(continuations, _mm_cmplt_epi8(bytes, continuationBelow));
            fourByteLeads = _mm_sub_epi8(fourByteLeads,
                                         _mm_cmpeq_epi8(_mm_max_epu8(bytes, fourByteLead), bytes));
        }
        const auto sum = [](__m128i counters) {
            const __m128i halves = _mm_sad_epu8(counters, _mm_setzero_si128());
            return qint64(_mm_cvtsi128_si64(halves)) +
                   qint64(_mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves)));
        };
        count += (i - start) - sum(continuations) + sum(fourByteLeads);
    }
#endif
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
