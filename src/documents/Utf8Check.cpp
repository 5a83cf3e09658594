// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/Utf8Check.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUILLET_UTF8_AVX2 1
#endif

namespace quillet {

namespace {

/// The first byte from 0x80 up in [`p`, `end`), or `end`.
const unsigned char* SkipAscii(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int high = _mm_movemask_epi8(bytes)) return p + __builtin_ctz(unsigned(high));
    }
#endif
    while (p < end && *p < 0x80) ++p;
    return p;
}

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

/// The bytes of the character that `lead` starts, or 0 when no character starts with it: a
/// continuation byte, an overlong lead (C0, C1), or F5 to FF.
int CharacterLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

/// Whether the `length` bytes at `p` (its CharacterLength, from 2 up) make a character:
/// each after the first 10xxxxxx, the second one's range excluding the overlong forms,
/// the surrogates and what lies beyond U+10FFFF.
bool IsCharacter(const unsigned char* p, int length) {
    for (int i = 1; i < length; ++i) {
        if (!IsContinuation(p[i])) return false;
    }
    switch (p[0]) {
        case 0xE0:
            return p[1] >= 0xA0;
        case 0xED:
            return p[1] < 0xA0;
        case 0xF0:
            return p[1] >= 0x90;
        case 0xF4:
            return p[1] < 0x90;
        default:
            return true;
    }
}

/// Checks the characters from `p` on that start before `stop`, one by one: nullptr when
/// they are not UTF-8; else where the first character from `stop` on starts, or where a
/// character that the bytes end inside starts, or `end`.
const unsigned char* CheckCharacters(const unsigned char* p, const unsigned char* stop,
                                     const unsigned char* end) {
    while (p < stop) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int length = CharacterLength(*p);
        if (length == 0) return nullptr;
        if (end - p < length) return p;
        if (!IsCharacter(p, length)) return nullptr;
        p += length;
    }
    return p;
}

#ifdef QUILLET_UTF8_AVX2

/// The step of CheckPiece below, 32 bytes at a time where the processor has AVX2: passes
/// the blocks that hold ASCII and two-byte characters alone, and stops at the first block
/// that holds anything else, or when fewer than 32 bytes are left.
__attribute__((target("avx2"))) const unsigned char* PassTwoByteBlocks(const unsigned char* p,
                                                                       const unsigned char* end,
                                                                       unsigned* carry,
                                                                       unsigned* seen) {
    const __m256i continuationBelow = _mm256_set1_epi8(-64);
    const __m256i leadAbove = _mm256_set1_epi8(-63);
    const __m256i leadBelow = _mm256_set1_epi8(-32);
    for (; end - p >= 32; p += 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const quint32 high = quint32(_mm256_movemask_epi8(bytes));
        const quint32 continuations =
            quint32(_mm256_movemask_epi8(_mm256_cmpgt_epi8(continuationBelow, bytes)));
        const quint32 leads = quint32(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_cmpgt_epi8(bytes, leadAbove), _mm256_cmpgt_epi8(leadBelow, bytes))));
        *seen |= high;
        if ((high & ~continuations & ~leads) != 0 || ((leads << 1) | *carry) != continuations) {
            break;
        }
        *carry = leads >> 31;
    }
    return p;
}

/// Whether the processor has AVX2, asked once.
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

/// Checks [`p`, `end`): nullptr when the bytes are not UTF-8; else where a character that
/// the bytes end inside starts, or `end`. Clears `*ascii` at a byte from 0x80 up.
const unsigned char* CheckPiece(const unsigned char* p, const unsigned char* end, bool* ascii) {
#if defined(__SSE2__)
    // Sixteen bytes at a time while they hold ASCII and two-byte characters alone, as the
    // text of most pages in Latin scripts does, without a branch for each character: every
    // continuation byte must follow a lead of two bytes (C2 to DF), and every such lead be
    // followed by one. `carry` is 1 when the last block ended with a lead.
    const __m128i continuationBelow = _mm_set1_epi8(-64);  // 0x80-0xBF, as signed bytes
    const __m128i leadAbove = _mm_set1_epi8(-63);          // 0xC2 and up
    const __m128i leadBelow = _mm_set1_epi8(-32);          // up to 0xDF
    unsigned carry = 0;
    unsigned seen = 0;  // the high bits met
#ifdef QUILLET_UTF8_AVX2
    const bool avx2 = HasAvx2();
#endif
    for (;;) {
#ifdef QUILLET_UTF8_AVX2
        if (avx2) p = PassTwoByteBlocks(p, end, &carry, &seen);
#endif
        if (end - p < 16) break;
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned high = unsigned(_mm_movemask_epi8(bytes));
        const unsigned continuations =
            unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(bytes, continuationBelow)));
        const unsigned leads = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpgt_epi8(bytes, leadAbove), _mm_cmplt_epi8(bytes, leadBelow))));
        seen |= high;
        if ((high & ~continuations & ~leads) == 0 &&
            (((leads << 1) | carry) & 0xFFFF) == continuations) {
            carry = leads >> 15;
            p += 16;
            continue;
        }
        // Longer characters, or bytes that are not UTF-8: one character at a time, from
        // the one the block starts in to the first one past the block.
        p = CheckCharacters(p - carry, p + 16, end);
        if (!p) return nullptr;
        carry = 0;
    }
    if (seen != 0) *ascii = false;
    p -= carry;
#endif
    if (const unsigned char* high = SkipAscii(p, end); high != end) *ascii = false;
    return CheckCharacters(p, end, end);
}

}  // namespace

bool IsAscii(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    return SkipAscii(p, p + bytes.size()) == p + bytes.size();
}

bool IsValidUtf8(QByteArrayView bytes) {
    Utf8Check check;
    check.add(bytes);
    return check.valid();
}

void Utf8Check::add(QByteArrayView bytes) {
    // Bytes that are not UTF-8 are not ASCII either: nothing is left to learn. (Nor from no
    // bytes, whose data may be no address at all, which the checks below take for a failure.)
    if (!valid_ || bytes.isEmpty()) return;
    const auto invalid = [&] {
        valid_ = false;
        ascii_ = false;
    };
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    if (pendingLength_ > 0) {
        // The character begun before: its other bytes first.
        const int length = CharacterLength(pending_[0]);
        const int taken = int(std::min<qsizetype>(length - pendingLength_, end - p));
        std::copy_n(p, taken, pending_ + pendingLength_);
        pendingLength_ += taken;
        p += taken;
        if (pendingLength_ < length) return;
        pendingLength_ = 0;
        if (!IsCharacter(pending_, length)) return invalid();
    }
    const unsigned char* const rest = CheckPiece(p, end, &ascii_);
    if (!rest) return invalid();
    pendingLength_ = int(end - rest);
    std::copy(rest, end, pending_);
}

}  // namespace quillet
