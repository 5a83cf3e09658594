// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ParagraphEnds.h"

#include <gumbo.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

namespace {

/// An element that a tag closed: where that tag starts, and where the element started.
struct Closed {
    unsigned int by;
    unsigned int start;
    const GumboNode* node = nullptr;
    bool standsInTable = false;  ///< see ParagraphEndFinder::MarkParagraphsInTables
    bool operator<(const Closed& other) const {
        return by != other.by ? by < other.by : start < other.start;
    }
};

/// A stretch of the input, [begin, end) in bytes, and the element it is.
struct Span {
    unsigned int begin;
    unsigned int end;
    const GumboNode* node = nullptr;
    bool operator<(const Span& other) const { return begin < other.begin; }
};

/// The name of the tag at `at` in `input` ("<" or "</" and the name), as the HTML
/// tokenizer reads it: up to white space, "/" or ">", in lower case. A name longer than
/// the buffer comes back empty.
template <size_t size>
std::string_view TokenizerNameAt(QByteArrayView input, size_t at, char (&buffer)[size]) {
    size_t i = at + 1;
    if (i < size_t(input.size()) && input[i] == '/') ++i;
    size_t length = 0;
    for (; i < size_t(input.size()); ++i, ++length) {
        const char c = input[i];
        if (c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ' || c == '/' || c == '>') {
            break;
        }
        if (length == size) return {};
        buffer[length] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return {buffer, length};
}

/// Whether the tag at `at` in `input` is an end tag.
bool IsEndTagAt(QByteArrayView input, size_t at) {
    return at + 1 < size_t(input.size()) && input[at + 1] == '/';
}

bool IsElement(const GumboNode& node) {
    return node.type == GUMBO_NODE_ELEMENT || node.type == GUMBO_NODE_TEMPLATE;
}

/// Whether an open element stops the search for a `p` "in button scope": a "</p>"
/// inserted above it would not reach a paragraph below it.
bool IsButtonScopeBoundary(const GumboElement& element) {
    switch (element.tag_namespace) {
        case GUMBO_NAMESPACE_HTML:
            switch (element.tag) {
                case GUMBO_TAG_APPLET:
                case GUMBO_TAG_BUTTON:
                case GUMBO_TAG_CAPTION:
                case GUMBO_TAG_HTML:
                case GUMBO_TAG_MARQUEE:
                case GUMBO_TAG_OBJECT:
                case GUMBO_TAG_TABLE:
                case GUMBO_TAG_TD:
                case GUMBO_TAG_TEMPLATE:
                case GUMBO_TAG_TH:
                    return true;
                default:
                    return false;
            }
        case GUMBO_NAMESPACE_MATHML:
            switch (element.tag) {
                case GUMBO_TAG_ANNOTATION_XML:
                case GUMBO_TAG_MI:
                case GUMBO_TAG_MN:
                case GUMBO_TAG_MO:
                case GUMBO_TAG_MS:
                case GUMBO_TAG_MTEXT:
                    return true;
                default:
                    return false;
            }
        case GUMBO_NAMESPACE_SVG:
            return element.tag == GUMBO_TAG_DESC || element.tag == GUMBO_TAG_FOREIGNOBJECT ||
                   element.tag == GUMBO_TAG_TITLE;
    }
    return false;
}

/// Whether the reference parsers (html5lib and the older browsers it follows) count an
/// element as "special": an end tag of an element further out does not close it.
bool IsSpecialForReference(const GumboElement& element) {
    static constexpr GumboTag kSpecial[] = {
        GUMBO_TAG_ADDRESS,    GUMBO_TAG_APPLET,   GUMBO_TAG_AREA,      GUMBO_TAG_ARTICLE,
        GUMBO_TAG_ASIDE,      GUMBO_TAG_BASE,     GUMBO_TAG_BASEFONT,  GUMBO_TAG_BGSOUND,
        GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_BODY,     GUMBO_TAG_BR,        GUMBO_TAG_BUTTON,
        GUMBO_TAG_CAPTION,    GUMBO_TAG_CENTER,   GUMBO_TAG_COL,       GUMBO_TAG_COLGROUP,
        GUMBO_TAG_DD,         GUMBO_TAG_DETAILS,  GUMBO_TAG_DIR,       GUMBO_TAG_DIV,
        GUMBO_TAG_DL,         GUMBO_TAG_DT,       GUMBO_TAG_EMBED,     GUMBO_TAG_FIELDSET,
        GUMBO_TAG_FIGURE,     GUMBO_TAG_FOOTER,   GUMBO_TAG_FORM,      GUMBO_TAG_FRAME,
        GUMBO_TAG_FRAMESET,   GUMBO_TAG_H1,       GUMBO_TAG_H2,        GUMBO_TAG_H3,
        GUMBO_TAG_H4,         GUMBO_TAG_H5,       GUMBO_TAG_H6,        GUMBO_TAG_HEAD,
        GUMBO_TAG_HEADER,     GUMBO_TAG_HR,       GUMBO_TAG_HTML,      GUMBO_TAG_IFRAME,
        GUMBO_TAG_IMAGE,      GUMBO_TAG_IMG,      GUMBO_TAG_INPUT,     GUMBO_TAG_ISINDEX,
        GUMBO_TAG_LI,         GUMBO_TAG_LINK,     GUMBO_TAG_LISTING,   GUMBO_TAG_MARQUEE,
        GUMBO_TAG_MENU,       GUMBO_TAG_META,     GUMBO_TAG_NAV,       GUMBO_TAG_NOEMBED,
        GUMBO_TAG_NOFRAMES,   GUMBO_TAG_NOSCRIPT, GUMBO_TAG_OBJECT,    GUMBO_TAG_OL,
        GUMBO_TAG_P,          GUMBO_TAG_PARAM,    GUMBO_TAG_PLAINTEXT, GUMBO_TAG_PRE,
        GUMBO_TAG_SCRIPT,     GUMBO_TAG_SECTION,  GUMBO_TAG_SELECT,    GUMBO_TAG_STYLE,
        GUMBO_TAG_TABLE,      GUMBO_TAG_TBODY,    GUMBO_TAG_TD,        GUMBO_TAG_TEXTAREA,
        GUMBO_TAG_TFOOT,      GUMBO_TAG_TH,       GUMBO_TAG_THEAD,     GUMBO_TAG_TITLE,
        GUMBO_TAG_TR,         GUMBO_TAG_UL,       GUMBO_TAG_WBR,       GUMBO_TAG_XMP,
    };
    switch (element.tag_namespace) {
        case GUMBO_NAMESPACE_HTML:
            return std::find(std::begin(kSpecial), std::end(kSpecial), element.tag) !=
                   std::end(kSpecial);
        case GUMBO_NAMESPACE_SVG:
            return element.tag == GUMBO_TAG_FOREIGNOBJECT;
        case GUMBO_NAMESPACE_MATHML:
            return false;
    }
    return false;
}

/// Reads the parser's tree for the places where "</p>" goes.
///
/// The parser records for each element where it ended (at the tag that closed it) and
/// whether its own end tag did. A paragraph closed by another tag gets a "</p>" before
/// that tag, unless a scope boundary opened after the paragraph was still open above it
/// (the "</p>" would then open an empty paragraph of its own), or the paragraph meets a
/// place where this parser, an older one, is known to differ from the HTML standard as
/// browsers and the reference parsers follow it.
class ParagraphEndFinder {
  public:
    ParagraphEndFinder(QByteArrayView input, std::pmr::memory_resource& memory)
        : input_(input),
          memory_(memory),
          paragraphs_(&memory),
          boundaries_(&memory),
          disputed_(&memory),
          tables_(&memory) {}

    std::pmr::vector<qsizetype> Find(const GumboNode& document) {
        std::pmr::vector<const GumboNode*> pending({&document}, &memory_);
        while (!pending.empty()) {
            const GumboNode& node = *pending.back();
            pending.pop_back();
            const GumboVector* children = nullptr;
            if (node.type == GUMBO_NODE_DOCUMENT) {
                children = &node.v.document.children;
            } else if (IsElement(node)) {
                children = &node.v.element.children;
                Visit(node);
            }
            if (!children) continue;
            for (unsigned int i = 0; i < children->length; ++i) {
                pending.push_back(static_cast<const GumboNode*>(children->data[i]));
            }
        }
        MarkParagraphsInTables();
        std::sort(paragraphs_.begin(), paragraphs_.end());
        std::sort(boundaries_.begin(), boundaries_.end());
        // Disputed stretches by their beginning, each with the furthest end so far.
        std::sort(disputed_.begin(), disputed_.end());
        for (size_t i = 1; i < disputed_.size(); ++i) {
            disputed_[i].end = std::max(disputed_[i].end, disputed_[i - 1].end);
        }

        // One "</p>" per tag, for the innermost paragraph it closed: the one that started
        // last. An outer paragraph that the same tag closes stays closed by the tag alone.
        std::pmr::vector<qsizetype> ends(&memory_);
        auto boundary = boundaries_.begin();
        for (auto it = paragraphs_.begin(); it != paragraphs_.end();) {
            auto innermost = it;
            while (innermost + 1 != paragraphs_.end() && (innermost + 1)->by == it->by) {
                ++innermost;
            }
            while (boundary != boundaries_.end() && boundary->by < it->by) ++boundary;
            bool blocked = IsDisputed(*innermost);
            for (auto b = boundary; b != boundaries_.end() && b->by == it->by; ++b) {
                blocked = blocked || b->start > innermost->start;
            }
            if (!blocked) ends.push_back(it->by);
            it = innermost + 1;
        }
        return ends;
    }

  private:
    void Visit(const GumboNode& node) {
        const GumboElement& element = node.v.element;
        const unsigned int end = element.end_pos.offset;
        NoteDisputed(node);
        if (element.tag == GUMBO_TAG_TABLE && element.tag_namespace == GUMBO_NAMESPACE_HTML) {
            tables_.push_back({element.start_pos.offset, end, &node});
        }
        // The end of the input closes what is still open; that is no tag.
        if (end >= input_.size() || input_[end] != '<') return;
        if (element.tag == GUMBO_TAG_P && element.tag_namespace == GUMBO_NAMESPACE_HTML &&
            (node.parse_flags & GUMBO_INSERTION_IMPLICIT_END_TAG)) {
            paragraphs_.push_back({end, element.start_pos.offset, &node});
        } else if (IsButtonScopeBoundary(element)) {
            boundaries_.push_back({end, element.start_pos.offset});
        }
    }

    /// Notes where this parser builds another tree than the standard, from which on its
    /// paragraph ends are not trusted:
    /// - a `template` (placed elsewhere), a `dialog` or a `search` (unknown to it, where
    ///   browsers close a paragraph), an `rb` or `rtc` (which the reference parsers do not
    ///   know: they neither close a paragraph nor are closed by the tags that close one), a
    ///   `noscript` whose contents browsers, running scripts, read as text, unless that
    ///   leaves them where this parser is;
    /// - an SVG or MathML element that lets HTML in (its contents are parsed as HTML) and
    ///   did not end with its own end tag: the parser keeps it open past the end tag of
    ///   the `svg` or `math` around it;
    /// - an end tag that closed an HTML element bounding a scope that the tag did not
    ///   name, other than the end tags of table parts;
    /// - an end tag of an unknown element that closed another unknown element (the
    ///   parser takes all unknown names for one) and SVG or MathML inside it.
    void NoteDisputed(const GumboNode& node) {
        const GumboElement& element = node.v.element;
        const unsigned int start = element.start_pos.offset;
        const unsigned int end = element.end_pos.offset;
        const unsigned int size = unsigned(input_.size());
        char buffer[16];
        // The parser flags SVG and MathML elements as closed implicitly even when their own
        // end tag closed them.
        bool implicitEnd = node.parse_flags & GUMBO_INSERTION_IMPLICIT_END_TAG;
        if (implicitEnd && element.tag_namespace != GUMBO_NAMESPACE_HTML && end < size &&
            IsEndTagAt(input_, end) && element.original_tag.length > 0) {
            char own[16];
            implicitEnd =
                TokenizerNameAt(input_, end, buffer) != TokenizerNameAt(input_, start, own);
        }
        // (In SVG and MathML such names are foreign elements, there as in browsers.)
        const std::string_view unknown = element.tag == GUMBO_TAG_UNKNOWN &&
                                                 element.tag_namespace == GUMBO_NAMESPACE_HTML &&
                                                 element.original_tag.length > 0
                                             ? TokenizerNameAt(input_, start, buffer)
                                             : std::string_view();
        if (node.type == GUMBO_NODE_TEMPLATE || element.tag == GUMBO_TAG_TEMPLATE ||
            element.tag == GUMBO_TAG_RB || element.tag == GUMBO_TAG_RTC || unknown == "dialog" ||
            unknown == "search" ||
            (element.tag == GUMBO_TAG_NOSCRIPT && !IsInertNoscript(node, implicitEnd))) {
            disputed_.push_back({start, size});
            return;
        }
        if (implicitEnd && IsButtonScopeBoundary(element) &&
            element.tag_namespace != GUMBO_NAMESPACE_HTML) {
            disputed_.push_back({start, size});
            return;
        }
        if (element.tag_namespace == GUMBO_NAMESPACE_HTML &&
            (element.tag == GUMBO_TAG_FIGCAPTION || element.tag == GUMBO_TAG_HGROUP ||
             element.tag == GUMBO_TAG_MAIN || element.tag == GUMBO_TAG_SUMMARY)) {
            NoteClosedFromOutside(node);
        }
        if (end >= size || !IsEndTagAt(input_, end)) return;
        const std::string_view closer = TokenizerNameAt(input_, end, buffer);
        if (implicitEnd && IsButtonScopeBoundary(element)) {
            for (const std::string_view tablePart :
                 {"table", "tbody", "thead", "tfoot", "tr", "td", "th", "caption", "template"}) {
                if (closer == tablePart) return;
            }
            disputed_.push_back({end, size});
        } else if (!implicitEnd && element.tag == GUMBO_TAG_UNKNOWN &&
                   element.original_tag.length > 0) {
            char own[16];
            if (TokenizerNameAt(input_, start, own) != closer && EndsForeignInside(node, end)) {
                disputed_.push_back({end, size});
            }
        }
    }

    /// Whether a `noscript` element leaves the parser where browsers are after it. Browsers
    /// run scripts, so they read its contents as text up to the first "</noscript>"; this
    /// parser reads them as markup. The two agree when that end tag closed it, and it held
    /// nothing but text and comments, or it stands in the head, where this parser lets in
    /// only what holds no paragraph (any other tag closes it of itself).
    bool IsInertNoscript(const GumboNode& node, bool implicitEnd) const {
        const GumboElement& element = node.v.element;
        const unsigned int end = element.end_pos.offset;
        char buffer[16];
        if (implicitEnd || end >= input_.size() || !IsEndTagAt(input_, end) ||
            TokenizerNameAt(input_, end, buffer) != "noscript") {
            return false;
        }
        for (unsigned int at = element.start_pos.offset; at + 1 < end; ++at) {
            if (input_[at] == '<' && input_[at + 1] == '/' &&
                TokenizerNameAt(input_, at, buffer) == "noscript") {
                return false;  // an earlier one ends it for browsers
            }
        }
        const GumboNode* parent = node.parent;
        if (parent && IsElement(*parent) && parent->v.element.tag == GUMBO_TAG_HEAD) return true;
        for (unsigned int i = 0; i < element.children.length; ++i) {
            if (IsElement(*static_cast<const GumboNode*>(element.children.data[i]))) return false;
        }
        return true;
    }

    /// `node` is one that this parser counts as "special" and the reference parsers do not:
    /// they let an end tag of an element around it (up to the first special one) close
    /// it, where this parser ignores that end tag. From the first such end tag inside it
    /// on, the trees may differ.
    void NoteClosedFromOutside(const GumboNode& node) {
        const GumboElement& element = node.v.element;
        std::pmr::vector<std::pmr::string> around(&memory_);
        for (const GumboNode* up = node.parent; up && IsElement(*up); up = up->parent) {
            const GumboElement& outer = up->v.element;
            if (IsSpecialForReference(outer)) break;
            char buffer[32];
            if (outer.tag != GUMBO_TAG_UNKNOWN) {
                around.emplace_back(gumbo_normalized_tagname(outer.tag));
            } else if (outer.original_tag.length > 0) {
                around.emplace_back(TokenizerNameAt(input_, outer.start_pos.offset, buffer));
            }
        }
        if (around.empty()) return;
        const unsigned int end = std::min(element.end_pos.offset, unsigned(input_.size()));
        for (unsigned int at = element.start_pos.offset; at + 1 < end; ++at) {
            if (input_[at] != '<' || input_[at + 1] != '/') continue;
            char buffer[32];
            const std::string_view name = TokenizerNameAt(input_, at, buffer);
            if (std::find(around.begin(), around.end(), name) != around.end()) {
                disputed_.push_back({at, unsigned(input_.size())});
                return;
            }
        }
    }

    /// Whether an SVG or MathML element inside `node` ends at `end` as well.
    bool EndsForeignInside(const GumboNode& node, unsigned int end) const {
        std::pmr::vector<const GumboNode*> pending({&node}, &memory_);
        while (!pending.empty()) {
            const GumboNode& inside = *pending.back();
            pending.pop_back();
            if (!IsElement(inside)) continue;
            const GumboElement& element = inside.v.element;
            if (element.tag_namespace != GUMBO_NAMESPACE_HTML && element.end_pos.offset == end) {
                return true;
            }
            for (unsigned int i = 0; i < element.children.length; ++i) {
                pending.push_back(static_cast<const GumboNode*>(element.children.data[i]));
            }
        }
        return false;
    }

    /// Whether the paragraph meets a disputed stretch, or is closed by a list item while
    /// it stands in a table outside its cells (the reference parsers put the item into
    /// the table then, but before it after a "</p>").
    bool IsDisputed(const Closed& paragraph) const {
        const unsigned int by = paragraph.by;
        auto after = std::upper_bound(disputed_.begin(), disputed_.end(), Span{by, by});
        return (after != disputed_.begin() && (after - 1)->end > paragraph.start) ||
               paragraph.standsInTable;
    }

    /// Marks the paragraphs closed by a list item that were opened inside a table but
    /// placed before it, as content outside the table's cells is: the innermost table
    /// open at their start is not among their ancestors. Tables nest, so a sweep over the
    /// paragraphs by their start keeps the open tables on a stack.
    void MarkParagraphsInTables() {
        std::pmr::vector<Closed*> candidates(&memory_);
        for (Closed& paragraph : paragraphs_) {
            char buffer[4];
            const std::string_view name = TokenizerNameAt(input_, paragraph.by, buffer);
            if (!IsEndTagAt(input_, paragraph.by) &&
                (name == "li" || name == "dd" || name == "dt")) {
                candidates.push_back(&paragraph);
            }
        }
        if (candidates.empty()) return;
        std::sort(candidates.begin(), candidates.end(),
                  [](const Closed* a, const Closed* b) { return a->start < b->start; });
        std::sort(tables_.begin(), tables_.end());
        std::pmr::vector<const Span*> open(&memory_);
        auto table = tables_.begin();
        for (Closed* paragraph : candidates) {
            for (; table != tables_.end() && table->begin < paragraph->start; ++table) {
                while (!open.empty() && open.back()->end <= table->begin) open.pop_back();
                open.push_back(&*table);
            }
            while (!open.empty() && open.back()->end <= paragraph->start) open.pop_back();
            if (open.empty()) continue;
            const GumboNode* up = paragraph->node->parent;
            while (up && up != open.back()->node) up = up->parent;
            paragraph->standsInTable = !up;
        }
    }

    QByteArrayView input_;
    std::pmr::memory_resource& memory_;
    std::pmr::vector<Closed> paragraphs_;  // paragraphs closed by another tag
    std::pmr::vector<Closed> boundaries_;  // scope boundaries closed by a tag
    std::pmr::vector<Span> disputed_;
    std::pmr::vector<Span> tables_;
};

void* Allocate(void* memory, size_t size) {
    return static_cast<std::pmr::memory_resource*>(memory)->allocate(size,
                                                                     alignof(std::max_align_t));
}

void Deallocate(void*, void*) {}

}  // namespace

std::pmr::vector<qsizetype> FindParagraphEnds(QByteArrayView input,
                                              std::pmr::memory_resource& memory) {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &Allocate;
    options.deallocator = &Deallocate;
    options.userdata = &memory;
    options.max_errors = 0;  // the parse errors are not needed
    const GumboOutput* output = gumbo_parse_with_options(&options, input.data(), input.size());
    return ParagraphEndFinder(input, memory).Find(*output->document);
}

}  // namespace quillet
