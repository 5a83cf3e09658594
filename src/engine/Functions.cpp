// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Functions.h"

#include "engine/Html5Paragraphs.h"
#include "engine/UnitSearch.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <optional>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillet {

namespace {

const QString kLastItemNotice = QStringLiteral("Last item on the page is an opening <");
constexpr QStringView kCloseTag = u"</p>";

/// Characters of a tag name: ASCII letters and digits, and "/".
constexpr bool IsNameChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'/';
}

constexpr char16_t AsciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

constexpr bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

/// For each ASCII character, itself lower-cased when it is a name character, else 0.
constexpr auto kNameChars = [] {
    std::array<char16_t, 128> table{};
    for (char16_t c = 0; c < 128; ++c) table[c] = IsNameChar(c) ? AsciiLower(c) : u'\0';
    return table;
}();

/// `c` lower-cased when it is a name character, else 0.
inline char16_t NameCharLower(char16_t c) {
    return c < 128 ? kNameChars[c] : u'\0';
}

/// The same for every byte value.
constexpr auto kNameBytes = [] {
    std::array<quint8, 256> table{};
    for (int c = 0; c < 128; ++c) table[size_t(c)] = quint8(kNameChars[size_t(c)]);
    return table;
}();

constexpr bool IsAsciiAlphanumeric(char16_t c) {
    return IsAsciiDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

/// The length of the tag name that starts at `pos`, just after a "<": the run of name
/// characters, or none when the "<" is followed by a digit (a less-than sign before a
/// number, as in "<5 mg", is no tag).
template <typename Source>
qint64 NameLength(const Source& source, qint64 pos) {
    if (pos < source.size() && IsAsciiDigit(source[pos])) return 0;
    qint64 i = pos;
    while (i < source.size() && IsNameChar(source[i])) ++i;
    return i - pos;
}

/// What kind of content follows an opening tag, by its lower-cased name: text in which a
/// browser sees no tag until the element's own end tag (scripts, styles, titles, text
/// areas...), text that runs to the end of the page, or ordinary content.
enum class Content { Ordinary, Raw, ToTheEnd };

/// Whether a tag named `name` may open a comment or tagless text: a cheap first test, by
/// the name's length and first letter, that nearly every tag fails.
constexpr bool MayOpenPassage(qint64 length, char16_t first) {
    // For each length from 3 to 9, the first letters of the names of that length.
    constexpr auto kLetters = [](std::u16string_view letters) {
        quint32 bits = 0;
        for (const char16_t c : letters) bits |= 1u << (c - u'a');
        return bits;
    };
    constexpr quint32 kFirstLetters[] = {
        kLetters(u"x"), 0, kLetters(u"st"), kLetters(u"si"), kLetters(u"n"), kLetters(u"tn"),
        kLetters(u"p")};
    if (length == 0) return true;  // a comment has the empty name
    return length >= 3 && length <= 9 && first >= u'a' && first <= u'z' &&
           (kFirstLetters[length - 3] >> (first - u'a') & 1u) != 0;
}

inline bool MayOpenPassage(QStringView name) {
    return MayOpenPassage(name.size(), name.isEmpty() ? u'\0' : name[0].unicode());
}

/// The same test by the first two characters after the "<", lower-cased.
constexpr bool MayOpenPassage(char16_t first, char16_t second) {
    switch (first) {
        case u'!':
            return second == u'-';
        case u's':
            return second == u'c' || second == u't';
        case u't':
            return second == u'e' || second == u'i';
        case u'x':
            return second == u'm';
        case u'i':
            return second == u'f';
        case u'n':
            return second == u'o';
        case u'p':
            return second == u'l';
        default:
            return false;
    }
}

/// The length of a tag name and, when it is at most eight characters long, the name
/// lower-cased and packed a byte a character into a number (0 for the empty name). Name
/// characters are ASCII and never NUL, so the number names the name alone.
struct PackedName {
    qint64 length = 0;
    quint64 key = 0;
};

/// The eight bytes at `p` lower-cased where they are name characters, each 0 where it is
/// none, in one number (the first byte lowest).
inline quint64 NameBytes(const unsigned char* p) {
#if defined(__SSE2__)
    // Compared as signed bytes, so that no byte from 0x80 up is in any range.
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    const auto between = [](__m128i v, char low, char high) {
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(char(low - 1))),
                             _mm_cmplt_epi8(v, _mm_set1_epi8(char(high + 1))));
    };
    // Setting bit 5 lower-cases a capital and leaves a small letter; of all bytes, only
    // the letters land on a small letter.
    const __m128i lower = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
    const __m128i letter = between(lower, 'a', 'z');
    const __m128i name = _mm_or_si128(_mm_or_si128(letter, between(bytes, '0', '9')),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('/')));
    const __m128i lowered = _mm_or_si128(bytes, _mm_and_si128(letter, _mm_set1_epi8(0x20)));
    return quint64(_mm_cvtsi128_si64(_mm_and_si128(lowered, name)));
#else
    quint64 mapped = 0;
    for (int i = 0; i < 8; ++i) mapped |= quint64(kNameBytes[p[i]]) << (8 * i);
    return mapped;
#endif
}

/// A tag name of one to seven characters, and its packed number; length 0 for any other.
struct ShortName {
    qint64 length = 0;
    quint64 key = 0;
};

/// MayOpenPassage for a short name, without a branch: for each length from 0 to 8, the
/// first letters that may open a passage (every one for the empty name, which is all a
/// comment has).
inline bool ShortNameMayOpenPassage(const ShortName& name) {
    constexpr auto kByLength = [] {
        std::array<quint32, 9> letters{};
        letters[0] = ~0u;
        for (qint64 length = 1; length < 9; ++length) {
            for (char16_t c = u'a'; c <= u'z'; ++c) {
                if (MayOpenPassage(length, c)) letters[size_t(length)] |= 1u << (c - u'a');
            }
        }
        return letters;
    }();
    const unsigned letter = unsigned(name.key & 0xFF) - 'a';
    return ((kByLength[size_t(name.length)] >> (letter & 31)) & 1u &
            unsigned((letter < 26) | (name.length == 0))) != 0;
}

/// The name in the eight bytes at `p`, just after a "<", as NameLength reads it, when it
/// ends within them and is not empty; length 0 when it is empty, starts with a digit (no
/// name at all) or may run on past the eight bytes.
inline ShortName ReadShortName(const unsigned char* p) {
    static constexpr quint64 kMasks[] = {
        0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFFFF, 0xFFFFFFFFFFFFFF};
    const quint64 mapped = NameBytes(p);
    // The lowest byte that is 0 ends the name: its top bit is the lowest one set.
    constexpr quint64 kOnes = 0x0101010101010101ull;
    const quint64 zero = (mapped - kOnes) & ~mapped & (kOnes << 7);
    const qint64 length = zero == 0 || IsAsciiDigit(p[0]) ? 0 : std::countr_zero(zero) / 8;
    return {length, mapped & kMasks[length]};
}

/// The name that starts at `pos` of `source` (just after a "<"), as NameLength reads it.
/// Bytes are read eight at a time where eight remain, without a branch for each character,
/// since names are of every length from one to a few.
template <typename Source>
PackedName ReadPackedName(const Source& source, qint64 pos, qint64 end) {
    PackedName name;
    if (pos >= end || IsAsciiDigit(source[pos])) return name;
    if constexpr (Source::kBytes) {
        if (end - pos >= 8) {
            const unsigned char* p = source.bytesAt(pos);
            const quint64 mapped = NameBytes(p);
            // The lowest byte that is 0 ends the name: its top bit is the lowest one set.
            constexpr quint64 kOnes = 0x0101010101010101ull;
            const quint64 zero = (mapped - kOnes) & ~mapped & (kOnes << 7);
            if (zero != 0) {
                name.length = std::countr_zero(zero) / 8;
                name.key = mapped & ((quint64(1) << (8 * name.length)) - 1);
                return name;
            }
            name.key = mapped;
            name.length = 8;
            while (pos + name.length < end && kNameBytes[p[name.length]] != 0) ++name.length;
            return name;
        }
    }
    for (qint64 i = pos; i < end; ++i) {
        const char16_t c = NameCharLower(source[i]);
        if (c == u'\0') break;
        if (name.length < 8) name.key |= quint64(c) << (8 * name.length);
        ++name.length;
    }
    return name;
}

/// Whether `name` is `literal`; inlined, as this runs for many tags.
template <size_t N>
bool NameIs(QStringView name, const char16_t (&literal)[N]) {
    if (name.size() != qsizetype(N - 1)) return false;
    for (size_t i = 0; i < N - 1; ++i) {
        if (name[qsizetype(i)] != literal[i]) return false;
    }
    return true;
}

Content ContentAfter(QStringView name) {
    // Most names are none of these: the length and the first letter tell at once.
    if (name.size() < 3 || name.size() > 9) return Content::Ordinary;
    switch (name[0].unicode()) {
        case u's':
            return NameIs(name, u"script") || NameIs(name, u"style") ? Content::Raw
                                                                     : Content::Ordinary;
        case u't':
            return NameIs(name, u"textarea") || NameIs(name, u"title") ? Content::Raw
                                                                       : Content::Ordinary;
        case u'x':
            return NameIs(name, u"xmp") ? Content::Raw : Content::Ordinary;
        case u'i':
            return NameIs(name, u"iframe") ? Content::Raw : Content::Ordinary;
        case u'n':
            return NameIs(name, u"noembed") || NameIs(name, u"noframes") ||
                           NameIs(name, u"noscript")
                       ? Content::Raw
                       : Content::Ordinary;
        case u'p':
            return NameIs(name, u"plaintext") ? Content::ToTheEnd : Content::Ordinary;
        default:
            return Content::Ordinary;
    }
}

/// What the scan passes over after the "<" at `lt` whose name is `name`: the stretch
/// [`hiddenFrom`, `resume`) in which no "<" is a tag, and where the search for the next
/// "<" goes on. For an ordinary tag the stretch is empty and the search goes on right
/// after the "<".
struct Passage {
    qint64 hiddenFrom = 0;
    qint64 resume = 0;
};

/// The passage after the "<" at `lt`: a comment "<!--" runs to the first "-->" from its
/// first "-" on (so "<!-->" is a whole one) or to the end of the text; the content of an
/// element whose text holds no tags runs from its name to its end tag ("</" and the name
/// in any letter case, then anything but a letter or digit), which is read as usual, or
/// to the end of the text when there is none.
template <typename Source>
Passage PassageAfter(const Source& source, qint64 lt, QStringView name) {
    const qint64 n = source.size();
    if (name.isEmpty()) {
        // A comment's name is empty: "!" is no name character.
        if (lt + 3 < n && source[lt + 1] == u'!' && source[lt + 2] == u'-' &&
            source[lt + 3] == u'-') {
            const qint64 close = source.find(std::u16string_view(u"-->"), lt + 2);
            return {lt + 1, close < 0 ? n : close + 3};
        }
        return {lt + 1, lt + 1};
    }
    const qint64 nameEnd = lt + 1 + name.size();
    switch (ContentAfter(name)) {
        case Content::Ordinary:
            return {lt + 1, lt + 1};
        case Content::ToTheEnd:
            return {nameEnd, n};
        case Content::Raw:
            break;
    }
    const qint64 length = name.size();
    for (qint64 at = source.find(std::u16string_view(u"</"), nameEnd); at >= 0;
         at = source.find(std::u16string_view(u"</"), at + 2)) {
        if (n - at - 2 < length) break;
        qint64 i = 0;
        while (i < length && AsciiLower(source[at + 2 + i]) == name[i]) ++i;
        if (i == length &&
            (at + 2 + length == n || !IsAsciiAlphanumeric(source[at + 2 + length]))) {
            return {nameEnd, at};
        }
    }
    return {nameEnd, n};
}

/// Clears a flag when the running routine leaves, however it leaves.
class RunningFlag {
  public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

  private:
    bool& flag_;
};

/// When a pass reports to its observer (EngineObserver::reportStride): at every step; at
/// the first step at or past every stride of code units from the last report; or never.
class Reports {
  public:
    explicit Reports(const EngineObserver& observer) {
        const qint64 stride = observer.reportStride();
        stride_ = stride == EngineObserver::kNoReports ? 0 : std::max<qint64>(stride, 1);
        next_ = stride_ == 0 ? LLONG_MAX : 0;
    }

    /// Whether the observer is told anything at all.
    bool any() const { return stride_ != 0; }
    /// Whether it is told at every step, and of every "</p>" added.
    bool everyStep() const { return stride_ == 1; }
    /// Whether the step at the unit `position` reports.
    bool due(qint64 position) const { return position >= next_; }
    /// The first unit whose step reports; LLONG_MAX when none does.
    qint64 next() const { return next_; }
    /// The step at `position` has reported.
    void made(qint64 position) {
        if (stride_ > 1) next_ = position + stride_;
    }

  private:
    qint64 stride_ = 1;
    qint64 next_ = 0;
};

RepairResult ListsFailed(StoreError error) {
    RepairResult result;
    result.status = RepairResult::Status::ListsUnavailable;
    result.listsError = std::move(error);
    return result;
}

/// `name` in lower case; names read from tags are lower case already and pass unchanged.
QStringView LowerName(QStringView name, QString& storage) {
    for (const QChar c : name) {
        if (c.isUpper()) {
            storage = name.toString().toLower();
            return storage;
        }
    }
    return name;
}

/// Adds a stretch to the kept ones, joining it to the last when they meet.
void Keep(QList<TextSpan>& kept, qint64 start, qint64 length) {
    if (length <= 0) return;
    if (!kept.isEmpty() && kept.last().start + kept.last().length == start) {
        kept.last().length += length;
    } else {
        kept.append({start, length});
    }
}

/// What a tag does to an open paragraph.
enum TagKind : qint16 {
    TagOther = 0,      ///< leaves an open paragraph alone
    TagBreak = 1,      ///< ends an open paragraph
    TagParaOpen = 2,   ///< "<p>", whatever its case and attributes
    TagParaClose = 3,  ///< "</p>", whatever its case
};

/// A routine's result that failed with `status`.
RepairResult Failed(RepairResult::Status status, QString error = {}) {
    RepairResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

/// The units of one width, as the routines read them; positions are 0-based. Bytes are
/// read unsigned, so that none of them passes for an ASCII character.
template <typename Unit>
class Scan {
  public:
    explicit Scan(const TextUnits& text) : n_(text.size()) {
        if constexpr (sizeof(Unit) == 2) {
            p_ = text.utf16().utf16();
        } else {
            p_ = reinterpret_cast<const Unit*>(text.bytes().data());
        }
    }

    /// Whether the units are bytes, which bytesAt reads.
    static constexpr bool kBytes = sizeof(Unit) == 1;

    qint64 size() const { return n_; }
    char16_t operator[](qint64 i) const { return char16_t(p_[i]); }
    const Unit* bytesAt(qint64 i) const { return p_ + i; }

    /// The first `c` (ASCII) at or after `from`, or -1.
    qint64 find(char16_t c, qint64 from) const {
        if (from >= n_) return -1;
        const qint64 at = findIn(c, from, n_);
        return at < n_ ? at : -1;
    }

    /// The first `c` (ASCII) in [`from`, `to`), or `to`.
    qint64 findIn(char16_t c, qint64 from, qint64 to) const {
        if constexpr (sizeof(Unit) == 2) {
            const qint64 at = QStringView(p_, to).indexOf(QChar(c), from);
            return at < 0 ? to : at;
        } else {
            return unitsearch::Find(p_ + from, p_ + to, Unit(c)) - p_;
        }
    }

    /// The first `a` or `b` (ASCII) in [`from`, `to`), or `to`.
    qint64 findEitherIn(char16_t a, char16_t b, qint64 from, qint64 to) const {
        return unitsearch::FindEither(p_ + from, p_ + to, Unit(a), Unit(b)) - p_;
    }

    /// The first place in [`from`, `to`) where `c` (ASCII) stands twice in a row, both
    /// before `to`; or `to`.
    qint64 findPairIn(char16_t c, qint64 from, qint64 to) const {
        return unitsearch::FindPair(p_ + from, p_ + to, Unit(c)) - p_;
    }

    /// The first place of `mark` (ASCII, starting with "<") at or after `from`, or -1.
    qint64 find(std::u16string_view mark, qint64 from) const {
        if constexpr (sizeof(Unit) == 2) {
            return from > n_ ? -1 : QStringView(p_, n_).indexOf(QStringView(mark), from);
        } else {
            const qint64 length = qint64(mark.size());
            for (qint64 at = find(mark[0], from); at >= 0; at = find(mark[0], at + 1)) {
                if (n_ - at < length) return -1;
                qint64 i = 1;
                while (i < length && char16_t(p_[at + i]) == mark[i]) ++i;
                if (i == length) return at;
            }
            return -1;
        }
    }

    /// The view of a 16-bit text, for slicing.
    QStringView utf16() const {
        if constexpr (sizeof(Unit) == 2) return QStringView(p_, n_);
        return {};
    }

  private:
    const Unit* p_ = nullptr;
    qint64 n_ = 0;
};

/// What the tags of one pass were classified as, by name: the names of up to eight
/// characters, each packed a byte a character into a number (name characters are ASCII and
/// never NUL, so the number names it alone), in a small open-addressed table. A page has a
/// few dozen names; past a limit the table takes no more, and further names are looked up
/// every time.
class TagMemo {
  public:
    /// The kind of the name packed as `key`, or -1 when it was not classified yet.
    int find(quint64 key) const {
        if (key == 0) return empty_;
        for (size_t slot = Slot(key);; slot = (slot + 1) % kSlots) {
            if (keys_[slot] == key) return kinds_[slot];
            if (keys_[slot] == 0) return -1;
        }
    }
    void add(quint64 key, TagKind kind) {
        if (key == 0) {
            empty_ = kind;
            return;
        }
        if (used_ >= kMostNames) return;
        size_t slot = Slot(key);
        while (keys_[slot] != 0) slot = (slot + 1) % kSlots;
        keys_[slot] = key;
        kinds_[slot] = kind;
        ++used_;
    }

  private:
    static constexpr size_t kSlots = 256;
    static constexpr size_t kMostNames = 192;
    static size_t Slot(quint64 key) { return size_t((key * 0x9E3779B97F4A7C15ull) >> 56); }

    std::array<quint64, kSlots> keys_{};
    std::array<int, kSlots> kinds_{};
    size_t used_ = 0;
    int empty_ = -1;  // the empty name: a comment, "< ", "<5"
};

/// What a tag of each kind does inside and outside a paragraph: bit 0, a "</p>" goes in
/// before it; bit 1, a paragraph is open after it. Indexed by 2 * kind + inside.
constexpr quint8 kTagActions[] = {
    0, 2,  // TagOther: nothing changes
    0, 1,  // TagBreak: closes an open paragraph
    2, 3,  // TagParaOpen: closes an open paragraph and opens one
    0, 0,  // TagParaClose: no paragraph is open after it
};

/// The short way of Fix File's pass over a page's bytes, from the unit `step` (0-based,
/// where the search for "<" goes on) while it is before `next`: tags whose names `memo`
/// knows and that open no passage, found 64 bytes at a time, their names read eight bytes
/// at a time, and what they do decided without a branch. Adds to `insertions` the offsets
/// before which "</p>" goes, and returns the step after the last tag taken; the general
/// way goes on from there, at a tag it does not take or near the end of the text.
template <typename Memo>
qint64 TakeKnownTags(const unsigned char* text, qint64 length, qint64 step, qint64 next,
                     const Memo& memo, bool& inParagraph, QList<qint64>& insertions) {
    // A name's eight bytes lie before the end for a "<" before `last`.
    const qint64 last = length - 9;
    unsigned inside = inParagraph ? 1 : 0;
    std::array<qint64, 64> added;  // the insertions of one block
    for (qint64 block = step; step < next && block + 64 <= length; block += 64) {
        int count = 0;
        bool leave = false;
        unitsearch::PrefetchAhead(text + block);
        for (quint64 places = unitsearch::Places64(text + block, '<'); places != 0;
             places &= places - 1) {
            const qint64 lt = block + std::countr_zero(places);
            if (lt >= last) {
                leave = true;
                break;
            }
            const ShortName name = ReadShortName(text + lt + 1);
            if (ShortNameMayOpenPassage(name)) {
                leave = true;
                break;
            }
            const int kind = memo.find(name.key);
            if (kind < 0) {
                leave = true;
                break;
            }
            const unsigned action = kTagActions[2 * kind + int(inside)];
            added[size_t(count)] = lt;
            count += int(action & 1);
            inside = action >> 1;
            step = lt + 1;
            if (step >= next) {
                leave = true;
                break;
            }
        }
        if (count > 0) {
            const qsizetype at = insertions.size();
            insertions.resize(at + count);
            std::copy_n(added.begin(), count, insertions.begin() + at);
        }
        if (leave) break;
    }
    inParagraph = inside != 0;
    return step;
}
/// The name of the tag whose "<" stands just before `pos`, as the word lists are asked
/// about it: its name characters (NameLength), lower-cased.
template <typename Source>
QString ListNameAt(const Source& source, qint64 pos) {
    QString name;
    const qint64 length = NameLength(source, pos);
    for (qint64 i = pos; i < pos + length; ++i) name.append(QChar(AsciiLower(source[i])));
    return name;
}

/// The "<" at or after `from` that may open a tag, or -1 when there is none before the
/// last unit; a "<" as the last unit is reported to `observer` as a notice.
template <typename Source>
qint64 FindTagStart(EngineObserver& observer, const Source& source, qint64 from) {
    const qint64 lt = source.find(u'<', from);
    if (lt >= 0 && lt + 1 < source.size()) return lt;
    if (lt >= 0) observer.notice(kLastItemNotice);
    return -1;
}

/// What a tag of the lower-cased `name` does by `lists`; `closing` when it starts with
/// "/". Nullopt when a lookup failed.
std::optional<TagKind> ClassifyName(WordListLookup& lists, QStringView name, bool closing) {
    if (name == u"p") return TagParaOpen;
    if (name == u"/p") return TagParaClose;
    QString storage;
    if (closing) {
        const std::optional<bool> listed = lists.inIncludeList(LowerName(name, storage));
        if (!listed) return std::nullopt;
        return *listed ? TagBreak : TagOther;
    }
    const std::optional<bool> skipped = lists.inSkipList(LowerName(name, storage));
    if (!skipped) return std::nullopt;
    return *skipped ? TagOther : TagBreak;
}

/// Classifies the tag whose name starts at `pos`, just after its "<": its TagKind, or -1
/// when a lookup failed. Sets `resume` to where the scan goes on: right after the "<", or
/// past the comment or the tagless text that the tag opens. With `memo`, a name classified
/// before is not looked up again.
template <typename Source>
int ClassifyTag(const Source& source, qint64 pos, WordListLookup& lists, qint64& resume,
                TagMemo* memo) {
    // This runs once per tag: the name is read packed into a number, and spelled out only
    // when it may open a passage or must be looked up.
    const PackedName packed = ReadPackedName(source, pos, source.size());
    const qint64 length = packed.length;
    std::array<char16_t, 24> buffer;
    QString longName;
    QStringView name;
    const auto spell = [&] {
        if (length > qint64(buffer.size())) {
            longName = ListNameAt(source, pos);
            name = longName;
        } else {
            for (qint64 i = 0; i < length; ++i) buffer[size_t(i)] = AsciiLower(source[pos + i]);
            name = QStringView(buffer.data(), length);
        }
    };
    resume = pos;
    if (MayOpenPassage(length, char16_t(packed.key & 0xFF))) {
        spell();
        resume = PassageAfter(source, pos - 1, name).resume;
    }
    const bool known = memo && length <= 8;
    if (known) {
        if (const int kind = memo->find(packed.key); kind >= 0) return kind;
    }
    if (name.size() != length) spell();
    const std::optional<TagKind> kind = ClassifyName(lists, name, source[pos] == u'/');
    if (!kind) return -1;
    if (known) memo->add(packed.key, *kind);
    return *kind;
}

/// Fix File by the word lists over `source`, the units of `text`.
template <typename Unit>
RepairResult FixPass(EngineObserver& observer, WordListSource& listSource, const Scan<Unit>& source,
                     const TextUnits& text) {
    StoreError error;
    // The lists are open for the length of the pass only.
    const std::unique_ptr<WordListLookup> lists = listSource.openLists(&error);
    if (!lists) return ListsFailed(std::move(error));
    RepairResult result;
    QList<qint64>& insertions = result.insertions;
    const qint64 length = source.size();
    // Pages have about one "</p>" to add in every few hundred units: room for that many
    // spares most of the list's growing.
    insertions.reserve(qsizetype(length / 256 + 16));

    // The loop runs while characters remain after the "<" the search would start at,
    // counted in 16-bit characters as the pass reports them. They are counted only for
    // the reports; between two reports, the units say the same.
    Reports reports(observer);
    const qint64 total = reports.any() ? text.characters() : 0;
    CharacterCursor counted(text);
    if (reports.any()) {
        observer.showAdded(0);
        if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
    }
    bool inParagraph = false;
    qsizetype addedShown = 0;
    // Lists that answer a name the same way all along are asked once for each name.
    TagMemo memo;
    TagMemo* const known = lists->answersFixed() ? &memo : nullptr;
    // Puts "</p>" before the "<" at `lt`; false when the observer asks to stop.
    const auto closeParagraph = [&](qint64 lt) {
        insertions.append(lt);
        if (!reports.everyStep()) return true;
        observer.showAdded(qint32(insertions.size()));
        return observer.processEvents();
    };

    qint64 step = 0;  // where the search for the next "<" goes on
    for (;;) {
        if constexpr (Scan<Unit>::kBytes) {
            if (known && step < reports.next()) {
                step = TakeKnownTags(source.bytesAt(0), length, step, reports.next(), *known,
                                     inParagraph, insertions);
            }
        }
        if (reports.due(step)) {
            const qint64 remaining = total - counted.before(step) - 1;
            if (remaining <= 0) break;
            observer.showRemaining(remaining);
            if (!reports.everyStep() && insertions.size() != addedShown) {
                addedShown = insertions.size();
                observer.showAdded(qint32(addedShown));
            }
            if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
            reports.made(step);
        } else if (step + 1 >= length) {
            // Fewer than two units remain: a "<" among them would be the last character.
            break;
        }
        const qint64 lt = FindTagStart(observer, source, step);
        if (lt < 0) break;
        // Most tags are names classified before that open no passage: they take the short
        // way, inline, and the scan goes on right after the "<"; the others are classified
        // in full, which says where it goes on.
        qint64 resume = lt + 1;
        int kind = -1;
        if (known) {
            const PackedName name = ReadPackedName(source, lt + 1, length);
            if (name.length <= 8 && !MayOpenPassage(name.length, char16_t(name.key & 0xFF))) {
                kind = known->find(name.key);
            }
        }
        if (kind < 0) kind = ClassifyTag(source, lt + 1, *lists, resume, known);
        if (kind < 0) return ListsFailed(lists->lastError());
        bool goOn = true;
        if (kind == TagParaOpen) {
            if (inParagraph) goOn = closeParagraph(lt);
            inParagraph = true;
        } else if (kind == TagParaClose) {
            inParagraph = false;
        } else if (kind == TagBreak && inParagraph) {
            goOn = closeParagraph(lt);
            inParagraph = false;
        }
        if (!goOn) return Failed(RepairResult::Status::Stopped);
        step = resume;
    }
    return result;
}

/// Fix File by the HTML5 parser over `text`; `shared`, when given, is the string that holds
/// its 16-bit units.
RepairResult Html5Pass(EngineObserver& observer, const TextUnits& text, const QString* shared) {
    // The parser counts its input's bytes in 32 bits, and a character takes up to three.
    constexpr qsizetype kMostCharacters = UINT_MAX / 3 - 1;
    const qint64 total = text.characters();
    if (total > kMostCharacters || text.kind() == TextUnits::Kind::SingleByte) {
        return Failed(RepairResult::Status::ParserFailed,
                      text.kind() == TextUnits::Kind::SingleByte
                          ? QStringLiteral("the HTML5 parser reads UTF-8 or UTF-16 text only")
                          : QStringLiteral("the page has %1 characters; the HTML5 parser reads "
                                           "at most %2")
                                .arg(total)
                                .arg(kMostCharacters));
    }
    RepairResult result;
    observer.showAdded(0);
    if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);

    // The parser cannot report progress, so the whole text remains while it runs.
    observer.showRemaining(total);
    // Stopping ends the parse with the object; when the parse is done, the object lasts
    // while the parser gives its memory back.
    Html5Parse parse = !text.isUtf16() ? Html5Parse(text.bytes())
                       : shared        ? Html5Parse(*shared)
                                       : Html5Parse(text.utf16().toString());
    while (!parse.wait(std::chrono::milliseconds(20))) {
        if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
    }
    QList<qint64> ends;
    QString error;
    if (!parse.takeResult(&ends, &error)) {
        return Failed(RepairResult::Status::ParserFailed, error);
    }
    CharacterCursor counted(text);
    for (const qint64 end : ends) {
        observer.showRemaining(total - counted.before(end) - 1);
        result.insertions.append(end);
        observer.showAdded(qint32(result.insertions.size()));
        if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
    }
    return result;
}

/// JoinLines over the stretch [`from`, `to`) of `source`, as the stretches it keeps: the
/// stretch without its outer spaces, each carriage return removed with a line feed that
/// directly follows it, and with LoneLineFeeds::Join every other line feed too. The line
/// breaks of the `hidden` stretches (ascending, inside the stretch) stay: they belong to
/// comments and scripts, whose lines must not be joined.
template <typename Source>
void JoinLines(QList<TextSpan>& kept, const Source& source, qint64 from, qint64 to,
               LoneLineFeeds lineFeeds, const QList<TextSpan>& hidden) {
    while (from < to && source[from] == u' ') ++from;
    while (to > from && source[to - 1] == u' ') --to;
    qint64 start = from;
    qint64 i = from;
    for (auto next = hidden.cbegin();; ++next) {
        // The stretch up to the next hidden one, or to the end.
        const qint64 end = next == hidden.cend() ? to : std::min(next->start, to);
        for (;; ++i) {
            i = lineFeeds == LoneLineFeeds::Join ? source.findEitherIn(u'\r', u'\n', i, end)
                                                 : source.findIn(u'\r', i, end);
            if (i >= end) break;
            Keep(kept, start, i - start);
            if (source[i] == u'\r' && i + 1 < to && source[i + 1] == u'\n') ++i;
            start = i + 1;
        }
        if (next == hidden.cend()) break;
        i = std::max(i, next->start + next->length);
    }
    Keep(kept, start, to - start);
}

/// Whether `mark` (ASCII) stands in `source` at `at`.
template <typename Source>
bool MarkAt(const Source& source, qint64 at, std::u16string_view mark) {
    if (source.size() - at < qint64(mark.size())) return false;
    for (size_t i = 0; i < mark.size(); ++i) {
        if (source[at + qint64(i)] != mark[i]) return false;
    }
    return true;
}

/// Where the search for `mark` ("<p>" or "</p>") goes on after the "<" at `at`: -1 when
/// that "<" starts the mark; else right after it, or past the comment or tagless text it
/// opens, which is then added to `hidden` (when given).
template <typename Source>
qint64 PastLessThan(const Source& source, qint64 at, std::u16string_view mark,
                    QList<TextSpan>* hidden) {
    if (MarkAt(source, at, mark)) return -1;
    // Only "<!-" and names that begin with one of a few pairs of letters can open a
    // passage; most tags are passed at their first two characters.
    const qint64 n = source.size();
    const char16_t first = at + 1 < n ? AsciiLower(source[at + 1]) : u'\0';
    const char16_t second = at + 2 < n ? AsciiLower(source[at + 2]) : u'\0';
    if (!MayOpenPassage(first, second)) return at + 1;
    std::array<char16_t, 10> buffer;  // enough for the names that open tagless text
    qint64 length = first == u'!' ? 0 : NameLength(source, at + 1);
    if (length > qint64(buffer.size())) length = 0;  // no such name is this long
    for (qint64 i = 0; i < length; ++i) buffer[i] = AsciiLower(source[at + 1 + i]);
    const QStringView name(buffer.data(), length);
    if (length > 0 && !MayOpenPassage(name)) return at + 1;
    const Passage passage = PassageAfter(source, at, name);
    if (hidden && passage.resume > passage.hiddenFrom) {
        hidden->append({passage.hiddenFrom, passage.resume - passage.hiddenFrom});
    }
    return passage.resume;
}

/// The first `mark` ("<p>" or "</p>") at or after `from` that is a tag: a "<" inside a
/// comment, or in the text of a script, style or the like, is none. The stretches passed
/// over on the way are added to `hidden` (when given); -1 when there is no such mark.
template <typename Source>
qint64 FindParagraphMarkIn(const Source& source, qint64 from, std::u16string_view mark,
                           QList<TextSpan>* hidden) {
    if constexpr (Source::kBytes) {
        // Bytes are searched 64 at a time, and each "<" among them examined in turn: the
        // mark by its four bytes at once, and whether it may open a passage by its next two
        // characters, through two tables, since most tags do not.
        static constexpr auto kSecondIndex = [] {
            std::array<quint8, 256> index{};
            index.fill(31);  // none of the characters below
            for (int c = 'a'; c <= 'z'; ++c)
                index[size_t(c)] = index[size_t(c - 'a' + 'A')] = quint8(c - 'a');
            index[size_t('-')] = 26;
            return index;
        }();
        static constexpr auto kSecondsAfter = [] {
            std::array<quint32, 256> seconds{};
            for (int first = 0; first < 128; ++first) {
                for (int second = 0; second < 128; ++second) {
                    if (kSecondIndex[size_t(second)] != 31 &&
                        MayOpenPassage(AsciiLower(char16_t(first)), AsciiLower(char16_t(second)))) {
                        seconds[size_t(first)] |= 1u << kSecondIndex[size_t(second)];
                    }
                }
            }
            return seconds;
        }();
        quint32 markWord = 0;
        for (size_t i = 0; i < mark.size(); ++i) markWord |= quint32(mark[i]) << (8 * i);
        const quint32 markMask = mark.size() >= 4 ? ~0u : (1u << (8 * mark.size())) - 1;
        const unsigned char* const bytes = source.bytesAt(0);
        qint64 block = from;
        // Four bytes from each "<" of a block lie before the end.
        for (; block + 64 + 4 <= source.size(); block = std::max(from, block + 64)) {
            unitsearch::PrefetchAhead(bytes + block);
            for (quint64 places = unitsearch::Places64(bytes + block, '<'); places != 0;
                 places &= places - 1) {
                const qint64 at = block + std::countr_zero(places);
                if (at < from) continue;  // inside a passage passed over
                quint32 word;
                std::memcpy(&word, bytes + at, sizeof word);
                if ((qFromLittleEndian(word) & markMask) == markWord) return at;
                if (((kSecondsAfter[bytes[at + 1]] >> kSecondIndex[bytes[at + 2]]) & 1u) == 0) {
                    from = at + 1;
                    continue;
                }
                from = PastLessThan(source, at, mark, hidden);
            }
        }
        from = std::max(from, block);
    }
    for (qint64 at = source.find(u'<', from); at >= 0; at = source.find(u'<', from)) {
        from = PastLessThan(source, at, mark, hidden);
        if (from < 0) return at;
    }
    return -1;
}

/// Strip Newlines over `source`, the units of `text`.
template <typename Unit>
RepairResult StripNewlinesPass(EngineObserver& observer, const Scan<Unit>& source,
                               const TextUnits& text, LoneLineFeeds lineFeeds) {
    // The remainder is the text from `cut` on; cutting moves `cut` forward.
    const qint64 length = source.size();
    Reports reports(observer);
    const qint64 total = reports.any() ? text.characters() : 0;
    CharacterCursor counted(text);
    qint64 cut = 0;
    RepairResult result;
    QList<TextSpan> hidden;  // inside the open paragraph
    bool inParagraph = false;

    if (reports.any()) {
        observer.clearAdded();
        observer.showRemaining(total);
        if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
        reports.made(0);
    }

    for (;;) {
        // The piece runs up to and including the "<" of the next mark.
        hidden.clear();
        const qint64 mark = FindParagraphMarkIn(source, cut, inParagraph ? u"</p>" : u"<p>",
                                                inParagraph ? &hidden : nullptr);
        if (mark < 0) break;
        if (inParagraph) {
            JoinLines(result.kept, source, cut, mark + 1, lineFeeds, hidden);
            inParagraph = false;
        } else {
            Keep(result.kept, cut, mark + 1 - cut);
            inParagraph = true;
        }
        cut = mark + 1;
        if (reports.due(cut)) {
            observer.showRemaining(total - counted.before(cut));
            if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
            reports.made(cut);
        }
    }
    Keep(result.kept, cut, length - cut);
    if (result.kept.isEmpty()) result.kept.append({0, 0});
    return result;
}

/// Strip Spaces over `source`, the units of `text`.
template <typename Unit>
RepairResult StripSpacesPass(EngineObserver& observer, const Scan<Unit>& source,
                             const TextUnits& text) {
    // The remainder is the trimmed text from `cut` on.
    qint64 begin = 0;
    qint64 end = source.size();
    while (begin < end && source[begin] == u' ') ++begin;
    while (end > begin && source[end - 1] == u' ') --end;
    Reports reports(observer);
    const qint64 total = reports.any() ? text.characters(begin, end) : 0;
    CharacterCursor counted(text);
    if (reports.any()) counted.before(begin);
    const qint64 skipped = begin;  // the characters before `begin`: spaces only
    qint64 cut = begin;
    qint64 searchFrom = begin;
    RepairResult result;
    // The characters not yet moved to the output.
    const auto remaining = [&] { return total - (counted.before(cut) - skipped); };

    if (reports.any()) {
        observer.clearAdded();
        observer.showRemaining(total);
        if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
        reports.made(begin);
    }

    if (!reports.everyStep()) {
        // A single space changes nothing and moves no count: go from one run of spaces to
        // the next, reporting at the first run (or the first unit) past each stride. No two
        // kept stretches meet (a run lies between them), so they are gathered a block at a
        // time and added to the list together.
        std::array<TextSpan, 256> spans;
        size_t gathered = 0;
        const auto flush = [&] {
            const qsizetype at = result.kept.size();
            result.kept.resize(at + qsizetype(gathered));
            std::copy_n(spans.begin(), gathered, result.kept.begin() + at);
            gathered = 0;
        };
        for (;;) {
            const qint64 limit =
                std::min(end, reports.next() == LLONG_MAX ? end : reports.next() + 1);
            const qint64 runStart = source.findPairIn(u' ', searchFrom, limit);
            if (runStart >= limit) {
                if (limit >= end) break;
                // No run starts before `limit - 1`; one may start there.
                searchFrom = std::max(searchFrom, limit - 1);
                observer.showRemaining(remaining());
                if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
                reports.made(limit - 1);
                continue;
            }
            qint64 runEnd = runStart + 2;
            while (runEnd < end && source[runEnd] == u' ') ++runEnd;
            if (gathered == spans.size()) flush();
            spans[gathered++] = {cut, runStart + 1 - cut};
            cut = runEnd;
            searchFrom = cut;
            if (reports.due(runStart)) {
                observer.showRemaining(remaining());
                if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
                reports.made(runStart);
            }
        }
        flush();
        Keep(result.kept, cut, end - cut);
        if (result.kept.isEmpty()) result.kept.append({begin, 0});
        return result;
    }

    for (;;) {
        const qint64 runStart = source.find(u' ', searchFrom);
        if (runStart < 0 || runStart >= end) break;
        qint64 runEnd = runStart;
        while (runEnd < end && source[runEnd] == u' ') ++runEnd;
        if (runEnd > runStart + 1) {
            // Keep the text before the run and the run's first space.
            Keep(result.kept, cut, runStart + 1 - cut);
            cut = runEnd;
            searchFrom = cut;
        } else {
            searchFrom = runStart + 1;
        }
        observer.showRemaining(remaining());
        if (!observer.processEvents()) return Failed(RepairResult::Status::Stopped);
    }
    Keep(result.kept, cut, end - cut);
    if (result.kept.isEmpty()) result.kept.append({begin, 0});
    return result;
}

/// Runs `pass` unless a routine of the engine whose flag is `running` runs already.
template <typename Pass>
RepairResult RunAlone(bool& running, Pass pass) {
    if (running) return Failed(RepairResult::Status::Busy);
    const RunningFlag flag(running);
    return pass();
}

/// The same for a pass over `text`, which reads its units in their width.
template <typename Pass>
RepairResult RunAlone(bool& running, const TextUnits& text, Pass pass) {
    return RunAlone(running, [&] {
        return text.isUtf16() ? pass(Scan<char16_t>(text)) : pass(Scan<unsigned char>(text));
    });
}

}  // namespace

QString RepairedText(QStringView text, const RepairResult& result) {
    return result.kept.isEmpty() ? WithInsertions(text, result.insertions, kCloseTag)
                                 : KeptText(text, result.kept);
}

Functions::Functions(EngineObserver& observer, WordListSource& lists)
    : observer_(observer), listSource_(lists) {}

RepairResult Functions::FixText(const TextUnits& text) {
    return RunAlone(running_, text, [&](const auto& source) {
        return FixPass(observer_, listSource_, source, text);
    });
}

RepairResult Functions::FixTextHtml5(const TextUnits& text, const QString* shared) {
    return RunAlone(running_, [&] { return Html5Pass(observer_, text, shared); });
}

RepairResult Functions::StripNewlines(const TextUnits& text, LoneLineFeeds lineFeeds) {
    return RunAlone(running_, text, [&](const auto& source) {
        return StripNewlinesPass(observer_, source, text, lineFeeds);
    });
}

RepairResult Functions::StripSpaces(const TextUnits& text) {
    return RunAlone(running_, text,
                    [&](const auto& source) { return StripSpacesPass(observer_, source, text); });
}

}  // namespace quillet
