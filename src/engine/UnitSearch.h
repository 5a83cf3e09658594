// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Searches of a page's bytes for the few ASCII characters the repairs look for. They run
// inline, sixteen bytes at a time where the processor has SSE2 (every x86-64 one): the
// characters sought mostly lie a few dozen bytes apart, where calling memchr costs more
// than the search itself.

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillet::unitsearch {

/// How far ahead of a search the bytes are asked into the cache: a page is read from memory
/// at a pace the processor's own look-ahead does not keep up with when each step also does
/// work of its own.
constexpr long kPrefetchDistance = 2048;

/// Asks for the bytes `kPrefetchDistance` past `p` to be brought into the cache. A request
/// past the end of the text is harmless: it never faults.
inline void PrefetchAhead(const unsigned char* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p + kPrefetchDistance);
#else
    (void)p;
#endif
}

#if defined(__SSE2__)

/// The bits of the bytes of the sixteen at `p` that equal `c`.
inline unsigned Matches(const unsigned char* p, __m128i c) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, c)));
}

#endif

/// The places of the byte `c` among the 64 bytes at `p`: bit i stands for `p[i]`.
inline unsigned long long Places64(const unsigned char* p, unsigned char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(char(c));
    return (unsigned long long)(Matches(p, wanted)) |
           (unsigned long long)(Matches(p + 16, wanted)) << 16 |
           (unsigned long long)(Matches(p + 32, wanted)) << 32 |
           (unsigned long long)(Matches(p + 48, wanted)) << 48;
#else
    unsigned long long places = 0;
    for (int i = 0; i < 64; ++i) places |= (unsigned long long)(p[i] == c) << i;
    return places;
#endif
}

/// The first byte `c` in [`p`, `end`), or `end`.
inline const unsigned char* Find(const unsigned char* p, const unsigned char* end,
                                 unsigned char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(char(c));
    for (; end - p >= 16; p += 16) {
        if (const unsigned hits = Matches(p, wanted)) return p + __builtin_ctz(hits);
    }
    for (; p < end; ++p) {
        if (*p == c) return p;
    }
    return end;
#else
    const void* hit = std::memchr(p, c, size_t(end - p));
    return hit ? static_cast<const unsigned char*>(hit) : end;
#endif
}

/// The first byte that is `a` or `b` in [`p`, `end`), or `end`.
inline const unsigned char* FindEither(const unsigned char* p, const unsigned char* end,
                                       unsigned char a, unsigned char b) {
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(char(a));
    const __m128i second = _mm_set1_epi8(char(b));
    for (; end - p >= 16; p += 16) {
        if (const unsigned hits = Matches(p, first) | Matches(p, second)) {
            return p + __builtin_ctz(hits);
        }
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b) return p;
    }
    return end;
}

/// The first place in [`p`, `end`) where `c` stands twice in a row (both bytes before
/// `end`), or `end`.
inline const unsigned char* FindPair(const unsigned char* p, const unsigned char* end,
                                     unsigned char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(char(c));
    // Each byte and the one after it: seventeen bytes must lie before `end`.
    for (; end - p >= 17; p += 16) {
        PrefetchAhead(p);
        if (const unsigned hits = Matches(p, wanted) & Matches(p + 1, wanted)) {
            return p + __builtin_ctz(hits);
        }
    }
#endif
    for (; end - p >= 2; ++p) {
        if (p[0] == c && p[1] == c) return p;
    }
    return end;
}

/// The first unit that is `a` or `b` in [`p`, `end`) of a 16-bit text, or `end`.
inline const char16_t* FindEither(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi16(short(a));
    const __m128i second = _mm_set1_epi16(short(b));
    for (; end - p >= 8; p += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned hits = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi16(units, first), _mm_cmpeq_epi16(units, second))));
        if (hits != 0) return p + __builtin_ctz(hits) / 2;
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b) return p;
    }
    return end;
}

/// The first place in [`p`, `end`) of a 16-bit text where `c` stands twice in a row (both
/// units before `end`), or `end`.
inline const char16_t* FindPair(const char16_t* p, const char16_t* end, char16_t c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(short(c));
    for (; end - p >= 9; p += 8) {
        PrefetchAhead(reinterpret_cast<const unsigned char*>(p));
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const unsigned hits = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(here, wanted), _mm_cmpeq_epi16(next, wanted))));
        if (hits != 0) return p + __builtin_ctz(hits) / 2;
    }
#endif
    for (; end - p >= 2; ++p) {
        if (p[0] == c && p[1] == c) return p;
    }
    return end;
}

}  // namespace quillet::unitsearch
