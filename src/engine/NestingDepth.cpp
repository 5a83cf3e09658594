// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/NestingDepth.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

namespace {

/// What an element does to the elements open around it, and they to it.
enum Trait : uint32_t {
    kVoid = 1 << 0,             ///< holds nothing: never open
    kRawText = 1 << 1,          ///< holds only text, up to its own end tag
    kClosesParagraph = 1 << 2,  ///< its start tag closes a paragraph open in scope
    kParagraph = 1 << 3,        ///< `p`
    kParagraphScope = 1 << 4,   ///< hides the paragraphs open below it from that
    kListItem = 1 << 5,         ///< `li`: closes the list item open in scope
    kDefinition = 1 << 6,       ///< `dd`, `dt`: close the one open in scope
    kListScope = 1 << 7,        ///< hides the list items open below it from those
    kHeading = 1 << 8,          ///< `h1` to `h6`: closes a heading that is the current node
    kOnlyOne = 1 << 9,          ///< `a`, `nobr`, `button`: closes the one open
    kSelect = 1 << 10,          ///< `select`: inside another it closes that one instead
    kForm = 1 << 11,            ///< `form`: inside another it is left out
    kMerged = 1 << 12,          ///< `html`, `head`, `body`: never more than one each
    kForeign = 1 << 13,         ///< `svg`, `math`: inside, "/>" closes an element
    kPlainText = 1 << 14,       ///< `plaintext`: the rest of the page is its text
    kOption = 1 << 15,          ///< `option`: closes an option that is the current node
    kOptionGroup = 1 << 16,     ///< `optgroup`: closes an option or group that is current
    kRuby = 1 << 17,            ///< `rb`, `rp`, `rt`, `rtc`: close one that is current
    kCell = 1 << 18,            ///< `td`, `th`, `caption`: a nested table stays inside
    kTableRank = 7u << 24,      ///< table parts: 1 table, 2 its sections, 3 row, 4 cell
};
constexpr int kRankShift = 24;
constexpr uint32_t Rank(uint32_t rank) {
    return rank << kRankShift;
}

struct Known {
    std::string_view name;
    uint32_t traits;
};

constexpr uint32_t kBlock = kClosesParagraph;
constexpr uint32_t kBoundary = kParagraphScope | kListScope;

/// The elements whose start or end the parser treats apart from others, by name.
constexpr std::array kKnown = std::to_array<Known>({
    {"a", kOnlyOne},
    {"address", kBlock},
    {"applet", kBoundary},
    {"area", kVoid},
    {"article", kBlock},
    {"aside", kBlock},
    {"base", kVoid},
    {"basefont", kVoid},
    {"bgsound", kVoid},
    {"blockquote", kBlock},
    {"body", kMerged},
    {"br", kVoid},
    {"button", kBoundary | kOnlyOne},
    {"caption", kBoundary | kCell | Rank(2)},
    {"center", kBlock},
    {"col", kVoid},
    {"colgroup", Rank(2)},
    {"dd", kBlock | kDefinition},
    {"details", kBlock},
    {"dialog", kBlock},
    {"dir", kBlock | kListScope},
    {"div", kBlock},
    {"dl", kBlock | kListScope},
    {"dt", kBlock | kDefinition},
    {"embed", kVoid},
    {"fieldset", kBlock},
    {"figcaption", kBlock},
    {"figure", kBlock},
    {"footer", kBlock},
    {"form", kBlock | kForm},
    {"frame", kVoid},
    {"frameset", kMerged},
    {"h1", kBlock | kHeading},
    {"h2", kBlock | kHeading},
    {"h3", kBlock | kHeading},
    {"h4", kBlock | kHeading},
    {"h5", kBlock | kHeading},
    {"h6", kBlock | kHeading},
    {"head", kMerged},
    {"header", kBlock},
    {"hgroup", kBlock},
    {"hr", kBlock | kVoid},
    {"html", kMerged},
    {"iframe", kRawText},
    {"image", kVoid},
    {"img", kVoid},
    {"input", kVoid},
    {"isindex", kVoid},
    {"keygen", kVoid},
    {"li", kBlock | kListItem},
    {"link", kVoid},
    {"listing", kBlock},
    {"main", kBlock},
    {"marquee", kBoundary},
    {"math", kForeign},
    {"menu", kBlock | kListScope},
    {"meta", kVoid},
    {"nav", kBlock},
    {"nobr", kOnlyOne},
    {"noembed", kRawText},
    {"noframes", kRawText},
    {"object", kBoundary},
    {"ol", kBlock | kListScope},
    {"optgroup", kOptionGroup},
    {"option", kOption},
    {"p", kBlock | kParagraph},
    {"param", kVoid},
    {"plaintext", kBlock | kPlainText},
    {"pre", kBlock},
    {"rb", kRuby},
    {"rp", kRuby},
    {"rt", kRuby},
    {"rtc", kRuby},
    {"script", kRawText},
    {"search", kBlock},
    {"section", kBlock},
    {"select", kSelect},
    {"source", kVoid},
    {"style", kRawText},
    {"summary", kBlock},
    {"svg", kForeign},
    {"table", kBlock | kBoundary | Rank(1)},
    {"tbody", Rank(2)},
    {"td", kBoundary | kCell | Rank(4)},
    {"template", kBoundary},
    {"textarea", kRawText},
    {"tfoot", Rank(2)},
    {"th", kBoundary | kCell | Rank(4)},
    {"thead", Rank(2)},
    {"title", kRawText},
    {"tr", Rank(3)},
    {"track", kVoid},
    {"ul", kBlock | kListScope},
    {"wbr", kVoid},
    {"xmp", kBlock | kRawText},
});
static_assert(std::is_sorted(kKnown.begin(), kKnown.end(),
                             [](const Known& a, const Known& b) { return a.name < b.name; }));

constexpr bool IsAsciiAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr bool IsSpace(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r' || c == u' ';
}

constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

/// The elements' names, each with its number: the known ones first, in the order of
/// kKnown, then the others as they come. A table of open addressing, so that a name read
/// from the page is found with its hash and, mostly, one comparison.
class NameTable {
  public:
    /// The hash of a name, built up a character at a time (FNV-1a).
    static constexpr uint64_t kStart = 14695981039346656037ull;
    static constexpr uint64_t Step(uint64_t hash, char c) {
        return (hash ^ uint8_t(c)) * 1099511628211ull;
    }

    NameTable() : slots_(256) {
        for (const Known& known : kKnown) {
            uint64_t hash = kStart;
            for (const char c : known.name) hash = Step(hash, c);
            Id(known.name, hash);
        }
    }

    /// The number of `name`, which has `hash`; a new name gets the next one.
    uint32_t Id(std::string_view name, uint64_t hash) {
        const size_t mask = slots_.size() - 1;
        for (size_t slot = size_t(hash) & mask;; slot = (slot + 1) & mask) {
            Slot& entry = slots_[slot];
            if (entry.id == kEmpty) {
                entry = {hash, uint32_t(names_.size())};
                names_.emplace_back(name);
                if (2 * names_.size() > slots_.size()) Grow();
                return uint32_t(names_.size() - 1);
            }
            if (entry.hash == hash && names_[entry.id] == name) return entry.id;
        }
    }

  private:
    static constexpr uint32_t kEmpty = ~uint32_t(0);
    struct Slot {
        uint64_t hash = 0;
        uint32_t id = kEmpty;
    };

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const size_t mask = slots_.size() - 1;
        for (const Slot& entry : old) {
            if (entry.id == kEmpty) continue;
            size_t slot = size_t(entry.hash) & mask;
            while (slots_[slot].id != kEmpty) slot = (slot + 1) & mask;
            slots_[slot] = entry;
        }
    }

    std::vector<Slot> slots_;
    std::vector<std::string> names_;
};

/// The open elements as the parser would hold them, reduced to what decides the depth:
/// each element by a number for its name, and for the elements that close others, the
/// places of those open (so that every question is answered without a search).
class OpenElements {
  public:
    qsizetype deepest() const { return deepest_; }
    bool inForeign() const { return foreign_ > 0; }

    static uint32_t Traits(uint32_t id) { return id < kKnown.size() ? kKnown[id].traits : 0; }

    /// Whether the element `id` is open.
    bool IsOpen(uint32_t id) const { return id < counts_.size() && counts_[id] > 0; }

    void Start(uint32_t id, bool selfClosing) {
        const uint32_t traits = Traits(id);
        if ((traits & kMerged) || ((traits & kForm) && IsOpen(id))) return;
        if ((traits & kClosesParagraph) && InScope(paragraphs_, paragraphScopes_)) {
            PopTo(paragraphs_.back());
        }
        if ((traits & kListItem) && InScope(listItems_, listScopes_)) PopTo(listItems_.back());
        if ((traits & kDefinition) && InScope(definitions_, listScopes_)) {
            PopTo(definitions_.back());
        }
        if ((traits & kHeading) && CurrentHas(kHeading)) Pop();
        if ((traits & (kOnlyOne | kSelect)) && IsOpen(id)) {
            PopElement(id);
            if (traits & kSelect) return;  // it closes the open one, and nothing opens
        }
        if (traits & (kOption | kOptionGroup)) {
            if (CurrentHas(kOption)) Pop();
            if ((traits & kOptionGroup) && CurrentHas(kOptionGroup)) Pop();
        }
        if ((traits & kRuby)) {
            while (CurrentHas(kRuby)) Pop();
        }
        if (traits & kTableRank) CloseTableParts(traits);
        if (traits & kVoid) return;
        if (selfClosing && inForeign()) return;
        Push(id, traits);
        // Text-only elements are closed by their end tag, which the reader finds.
        if (traits & kRawText) Pop();
    }

    void End(uint32_t id) {
        const uint32_t traits = Traits(id);
        if (traits & kHeading) {
            // Any heading's end tag closes the open heading.
            if (headings_ > 0) {
                while (!(Pop() & kHeading)) {
                }
            }
        } else if (IsOpen(id)) {
            PopElement(id);
        }
    }

  private:
    struct Entry {
        uint32_t id;
        uint32_t traits;
    };
    using Places = std::vector<uint32_t>;

    /// Whether the innermost of `open` lies inside the innermost of `scopes`.
    static bool InScope(const Places& open, const Places& scopes) {
        return !open.empty() && (scopes.empty() || open.back() > scopes.back());
    }
    bool CurrentHas(uint32_t trait) const {
        return !stack_.empty() && (stack_.back().traits & trait);
    }

    /// A table part closes the parts open since the nearest table part of a lower rank
    /// (a cell closes a cell, a row closes a cell and a row); a table outside a cell closes
    /// the table it stands in.
    void CloseTableParts(uint32_t traits) {
        const uint32_t rank = traits & kTableRank;
        while (!tableParts_.empty()) {
            const Entry& nearest = stack_[tableParts_.back()];
            const uint32_t nearestRank = nearest.traits & kTableRank;
            if (rank == Rank(1) ? (nearest.traits & kCell) : nearestRank < rank) return;
            const bool table = nearestRank == Rank(1);
            PopTo(tableParts_.back());
            if (rank == Rank(1) && table) return;
        }
    }

    void Push(uint32_t id, uint32_t traits) {
        const uint32_t place = uint32_t(stack_.size());
        stack_.push_back({id, traits});
        if (id >= counts_.size()) counts_.resize(id + 1, 0);
        ++counts_[id];
        if (traits & kParagraph) paragraphs_.push_back(place);
        if (traits & kParagraphScope) paragraphScopes_.push_back(place);
        if (traits & kListItem) listItems_.push_back(place);
        if (traits & kDefinition) definitions_.push_back(place);
        if (traits & kListScope) listScopes_.push_back(place);
        if (traits & kTableRank) tableParts_.push_back(place);
        if (traits & kHeading) ++headings_;
        if (traits & kForeign) ++foreign_;
        deepest_ = std::max(deepest_, qsizetype(stack_.size()));
    }

    /// Closes the current node; returns its traits.
    uint32_t Pop() {
        const Entry entry = stack_.back();
        stack_.pop_back();
        --counts_[entry.id];
        const uint32_t traits = entry.traits;
        if (traits & kParagraph) paragraphs_.pop_back();
        if (traits & kParagraphScope) paragraphScopes_.pop_back();
        if (traits & kListItem) listItems_.pop_back();
        if (traits & kDefinition) definitions_.pop_back();
        if (traits & kListScope) listScopes_.pop_back();
        if (traits & kTableRank) tableParts_.pop_back();
        if (traits & kHeading) --headings_;
        if (traits & kForeign) --foreign_;
        return traits;
    }
    /// Closes the element at `place` and all opened after it.
    void PopTo(uint32_t place) {
        while (stack_.size() > place) Pop();
    }
    /// Closes the innermost open element `id` and all opened after it.
    void PopElement(uint32_t id) {
        for (bool found = false; !found;) {
            found = stack_.back().id == id;
            Pop();
        }
    }

    std::vector<Entry> stack_;
    std::vector<uint32_t> counts_;  // open elements by number
    Places paragraphs_, paragraphScopes_, listItems_, definitions_, listScopes_, tableParts_;
    int headings_ = 0;
    int foreign_ = 0;
    qsizetype deepest_ = 0;
};

/// Reads the page as the HTML tokenizer reads it, as far as tags go: comments,
/// declarations and the text of text-only elements hold no tags. `Unit` is `char` (bytes
/// of UTF-8 or another code that extends ASCII) or `char16_t`; every decision is about
/// ASCII characters, which are single units in both.
template <typename Unit>
class TagReader {
  public:
    TagReader(const Unit* page, size_t size) : p_(page), n_(size) {}

    qsizetype Read() {
        size_t i = 0;
        while ((i = Find(u'<', i)) < n_) {
            const char16_t next = At(i + 1);
            if (next == u'!') {
                i = SkipMarkup(i);
            } else if (next == u'?') {
                i = Find(u'>', i + 2) + 1;
            } else if (next == u'/' && IsAsciiAlpha(At(i + 2))) {
                size_t end = 0;
                const uint64_t hash = Name(i + 2, &end);
                open_.End(names_.Id(name_, hash));
                i = TagEnd(end, nullptr);
            } else if (next == u'/') {
                i = Find(u'>', i + 2) + 1;
            } else if (IsAsciiAlpha(next)) {
                size_t end = 0;
                const uint64_t hash = Name(i + 1, &end);
                bool selfClosing = false;
                i = TagEnd(end, &selfClosing);
                const uint32_t id = names_.Id(name_, hash);
                open_.Start(id, selfClosing);
                const uint32_t traits = OpenElements::Traits(id);
                if (traits & kPlainText) break;
                if (traits & kRawText) i = SkipText(i, name_);
            } else {
                ++i;
            }
        }
        return open_.deepest();
    }

  private:
    /// The unit at `i` as a number, bytes read unsigned so that none passes for ASCII;
    /// 0 past the end.
    char16_t At(size_t i) const {
        if (i >= n_) return 0;
        if constexpr (sizeof(Unit) == 1) return char16_t(uint8_t(p_[i]));
        return p_[i];
    }
    size_t Find(char16_t c, size_t from) const {
        if (from >= n_) return n_;
        if constexpr (sizeof(Unit) == 1) {
            const void* hit = std::memchr(p_ + from, int(c), n_ - from);
            return hit ? size_t(static_cast<const Unit*>(hit) - p_) : n_;
        } else {
            const qsizetype at = QStringView(p_ + from, qsizetype(n_ - from)).indexOf(QChar(c));
            return at < 0 ? n_ : from + size_t(at);
        }
    }
    /// The first place of `what` (ASCII) at or after `from`, or the end.
    size_t Find(std::string_view what, size_t from) const {
        for (size_t at = Find(char16_t(what[0]), from); at < n_;
             at = Find(char16_t(what[0]), at + 1)) {
            if (HasAt(at, what)) return at;
        }
        return n_;
    }
    bool HasAt(size_t at, std::string_view what) const {
        for (size_t k = 0; k < what.size(); ++k) {
            if (At(at + k) != char16_t(uint8_t(what[k]))) return false;
        }
        return true;
    }

    /// "<!" at `i`: a comment, CDATA or a declaration; where the reading goes on.
    size_t SkipMarkup(size_t i) const {
        if (At(i + 2) == u'-' && At(i + 3) == u'-') return Find("-->", i + 2) + 3;
        if (HasAt(i, "<![CDATA[")) return Find("]]>", i + 9) + 3;
        return Find(u'>', i + 2) + 1;
    }

    /// Reads the tag name from `from` into `name_`, in lower case, and returns its hash;
    /// `end` gets the place after it. A unit beyond ASCII goes in as three bytes above
    /// ASCII, so that names stay apart.
    uint64_t Name(size_t from, size_t* end) {
        name_.clear();
        uint64_t hash = NameTable::kStart;
        const auto put = [&](char c) {
            name_ += c;
            hash = NameTable::Step(hash, c);
        };
        size_t i = from;
        for (; i < n_; ++i) {
            const char16_t c = At(i);
            if (IsSpace(c) || c == u'/' || c == u'>') break;
            if (c < 0x80) {
                put(AsciiLower(char(c)));
            } else if constexpr (sizeof(Unit) == 1) {
                put(char(c));
            } else {
                put(char(0x80 | (c >> 12)));
                put(char(0x80 | ((c >> 6) & 0x3F)));
                put(char(0x80 | (c & 0x3F)));
            }
        }
        *end = i;
        return hash;
    }

    /// Reads the attributes from `from` to the tag's ">" (a quoted value may hold ">");
    /// returns the place after it. `selfClosing` tells whether it ends in "/>".
    size_t TagEnd(size_t from, bool* selfClosing) const {
        size_t i = from;
        while (i < n_ && At(i) != u'>') {
            if (At(i) != u'=') {
                ++i;
                continue;
            }
            ++i;
            while (i < n_ && IsSpace(At(i))) ++i;
            if (At(i) == u'"' || At(i) == u'\'') i = Find(At(i), i + 1) + 1;
        }
        if (selfClosing) *selfClosing = i < n_ && i > from && At(i - 1) == u'/';
        return std::min(i + 1, n_);
    }

    /// The text of a text-only element `name` from `from`: up to its end tag.
    size_t SkipText(size_t from, std::string_view name) const {
        for (size_t i = Find("</", from); i < n_; i = Find("</", i + 2)) {
            size_t k = 0;
            while (k < name.size() && At(i + 2 + k) < 0x80 &&
                   AsciiLower(char(At(i + 2 + k))) == name[k]) {
                ++k;
            }
            const char16_t after = At(i + 2 + k);
            if (k == name.size() && (IsSpace(after) || after == u'/' || after == u'>')) return i;
        }
        return n_;
    }

    const Unit* p_;
    size_t n_;
    std::string name_;
    NameTable names_;
    OpenElements open_;
};

}  // namespace

qsizetype EstimateNestingDepth(QByteArrayView page) {
    return TagReader<char>(page.data(), size_t(page.size())).Read();
}

qsizetype EstimateNestingDepth(QStringView page) {
    return TagReader<char16_t>(page.utf16(), size_t(page.size())).Read();
}

}  // namespace quillet
