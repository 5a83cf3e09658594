// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Functions.h"

#include "engine/Html5Paragraphs.h"
#include "engine/Utilities.h"

#include <array>
#include <climits>
#include <cstring>
#include <string_view>

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
inline bool MayOpenPassage(QStringView name) {
    // For each length from 3 to 9, the first letters of the names of that length.
    constexpr auto kLetters = [](std::u16string_view letters) {
        quint32 bits = 0;
        for (const char16_t c : letters) bits |= 1u << (c - u'a');
        return bits;
    };
    constexpr quint32 kFirstLetters[] = {
        kLetters(u"x"), 0, kLetters(u"st"), kLetters(u"si"), kLetters(u"n"), kLetters(u"tn"),
        kLetters(u"p")};
    if (name.isEmpty()) return true;  // a comment has the empty name
    const qsizetype length = name.size();
    const char16_t first = name[0].unicode();
    return length >= 3 && length <= 9 && first >= u'a' && first <= u'z' &&
           (kFirstLetters[length - 3] >> (first - u'a') & 1u) != 0;
}

/// The same test by the first two characters after the "<", lower-cased.
inline bool MayOpenPassage(char16_t first, char16_t second) {
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

/// A routine's result from a QString: the text built from what the pass found.
RepairResult AsText(RepairResult result, QStringView text) {
    if (!result.ok()) return result;
    result.text = result.kept.isEmpty() ? WithInsertions(text, result.insertions, kCloseTag)
                                        : KeptText(text, result.kept);
    result.insertions.clear();
    result.kept.clear();
    return result;
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

}  // namespace

/// The units of one width, as the routines read them; positions are 0-based. Bytes are
/// read unsigned, so that none of them passes for an ASCII character.
template <typename Unit>
class Functions::Scan {
  public:
    explicit Scan(const TextUnits& text) : n_(text.size()) {
        if constexpr (sizeof(Unit) == 2) {
            p_ = text.utf16().utf16();
        } else {
            p_ = reinterpret_cast<const Unit*>(text.bytes().data());
        }
    }

    qint64 size() const { return n_; }
    char16_t operator[](qint64 i) const { return char16_t(p_[i]); }

    /// The first `c` (ASCII) at or after `from`, or -1.
    qint64 find(char16_t c, qint64 from) const {
        if (from >= n_) return -1;
        if constexpr (sizeof(Unit) == 2) {
            return QStringView(p_, n_).indexOf(QChar(c), from);
        } else {
            const void* hit = std::memchr(p_ + from, c, size_t(n_ - from));
            return hit ? static_cast<const Unit*>(hit) - p_ : -1;
        }
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

/// Holds the pass state while a pass runs: the source, its open lists and where the pass
/// collects; all of it is let go when the pass leaves, however it leaves.
class Functions::PassScope {
  public:
    PassScope(Functions& f, const TextUnits& text, WordListLookup* lists, RepairResult& result)
        : f_(f) {
        f_.Source = text;
        f_.SourceLen = text.size();
        f_.lists_ = lists;
        f_.insertions_ = &result.insertions;
    }
    ~PassScope() {
        f_.SourceText = QString();
        f_.Source = TextUnits();
        f_.SourceLen = 0;
        f_.lists_ = nullptr;
        f_.insertions_ = nullptr;
    }
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

  private:
    Functions& f_;
};

Functions::Functions(EngineObserver& observer, WordListSource& lists)
    : observer_(observer), listSource_(lists) {}

RepairResult Functions::Fail(RepairResult::Status status, QString error) {
    RepairResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

void Functions::SetSourceText(QString text, WordListLookup* lists) {
    if (running_) return;  // a running pass keeps its text
    SourceText = std::move(text);
    Source = TextUnits::Utf16(SourceText);
    SourceLen = SourceText.size();
    lists_ = lists;
}

template <typename Unit>
qint64 Functions::FindTagStartIn(const Scan<Unit>& source, qint64 pos) {
    const qint64 index = pos >= 1 && pos <= SourceLen ? source.find(u'<', pos - 1) : -1;
    const qint64 found = index + 1;
    if (found >= 1 && found < SourceLen) return found;
    if (found >= 1) observer_.notice(kLastItemNotice);
    return SourceLen;
}

qint64 Functions::FindTagStart(qint64 pos) {
    if (Source.isUtf16()) return FindTagStartIn(Scan<char16_t>(Source), pos);
    return FindTagStartIn(Scan<unsigned char>(Source), pos);
}

namespace {

template <typename Source>
QString TagNameAt(const Source& source, qint64 pos) {
    QString name;
    const qint64 length = NameLength(source, pos);
    for (qint64 i = pos; i < pos + length; ++i) name.append(QChar(AsciiLower(source[i])));
    return name;
}

}  // namespace

QString Functions::ReadTagName(qint64 pos) const {
    if (Source.isUtf16()) return TagNameAt(Scan<char16_t>(Source), pos);
    return TagNameAt(Scan<unsigned char>(Source), pos);
}

template <typename Unit>
std::optional<TagKind> Functions::ClassifyTagIn(const Scan<Unit>& source, qint64 pos,
                                                qint64* resume) {
    // The name is read into a small buffer: names are short, and this runs once per tag.
    std::array<char16_t, 24> buffer;
    qint64 length = 0;
    if (pos < SourceLen && !IsAsciiDigit(source[pos])) {
        for (qint64 i = pos; i < SourceLen && IsNameChar(source[i]); ++i) {
            if (length < qint64(buffer.size())) buffer[length] = AsciiLower(source[i]);
            ++length;
        }
    }
    QString longName;
    QStringView name(buffer.data(), length);
    if (length > qint64(buffer.size())) {
        longName = TagNameAt(source, pos);
        name = longName;
    }
    if (resume) *resume = MayOpenPassage(name) ? PassageAfter(source, pos - 1, name).resume : pos;

    if (name == u"p") return TagParaOpen;
    if (name == u"/p") return TagParaClose;
    if (source[pos] == u'/') {
        const std::optional<bool> listed = InIncludeList(name);
        if (!listed) return std::nullopt;
        return *listed ? TagBreak : TagOther;
    }
    const std::optional<bool> skipped = InSkipList(name);
    if (!skipped) return std::nullopt;
    return *skipped ? TagOther : TagBreak;
}

std::optional<TagKind> Functions::ClassifyTag(qint64 pos) {
    if (Source.isUtf16()) return ClassifyTagIn(Scan<char16_t>(Source), pos, nullptr);
    return ClassifyTagIn(Scan<unsigned char>(Source), pos, nullptr);
}

std::optional<bool> Functions::InSkipList(QStringView name) {
    if (!lists_) return std::nullopt;
    QString storage;
    return lists_->inSkipList(LowerName(name, storage));
}

std::optional<bool> Functions::InIncludeList(QStringView name) {
    if (!lists_) return std::nullopt;
    QString storage;
    return lists_->inIncludeList(LowerName(name, storage));
}

bool Functions::CloseParagraph(qint64 found) {
    insertions_->append(found - 1);
    SegmentStart = found;
    ++AddedCount;
    observer_.showAdded(AddedCount);
    return observer_.processEvents();
}

RepairResult Functions::FixText(QString text, FixOutput output) {
    RepairResult result = FixText(TextUnits::Utf16(text));
    return output == FixOutput::Text ? AsText(std::move(result), text) : result;
}

RepairResult Functions::FixText(const TextUnits& text) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);
    if (text.isUtf16()) return FixPass(Scan<char16_t>(text), text);
    return FixPass(Scan<unsigned char>(text), text);
}

template <typename Unit>
RepairResult Functions::FixPass(const Scan<Unit>& source, const TextUnits& text) {
    StoreError error;
    // The lists are open for the length of the pass only.
    const std::unique_ptr<WordListLookup> lists = listSource_.openLists(&error);
    if (!lists) return ListsFailed(std::move(error));
    RepairResult result;
    const PassScope scope(*this, text, lists.get(), result);

    // The loop runs while characters remain after ScanPos, counted in 16-bit characters
    // as the pass reports them: SourceLen - ScanPos.
    const qint64 total = text.characters();
    CharacterCursor counted(text);
    AddedCount = 0;
    SegmentStart = 1;
    ScanPos = 1;
    observer_.showAdded(AddedCount);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    InParagraph = false;

    for (qint64 remaining; (remaining = total - counted.before(ScanPos - 1) - 1) > 0;) {
        observer_.showRemaining(remaining);
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
        const qint64 found = FindTagStartIn(source, ScanPos);
        // The scan goes on after the "<", or past the comment or the text it opens.
        qint64 resume = found;
        if (found < SourceLen) {
            const std::optional<TagKind> kind = ClassifyTagIn(source, found, &resume);
            if (!kind) return ListsFailed(lists->lastError());
            bool goOn = true;
            if (*kind == TagParaOpen) {
                if (InParagraph) goOn = CloseParagraph(found);
                InParagraph = true;
            } else if (*kind == TagParaClose) {
                InParagraph = false;
            } else if (*kind == TagBreak && InParagraph) {
                goOn = CloseParagraph(found);
                InParagraph = false;
            }
            if (!goOn) return Fail(RepairResult::Status::Stopped);
        }
        ScanPos = resume + 1;
    }
    return result;
}

RepairResult Functions::FixTextHtml5(QString text, FixOutput output) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);
    RepairResult result = Html5Pass(TextUnits::Utf16(text), &text);
    return output == FixOutput::Text ? AsText(std::move(result), text) : result;
}

RepairResult Functions::FixTextHtml5(const TextUnits& text) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);
    return Html5Pass(text, nullptr);
}

RepairResult Functions::Html5Pass(const TextUnits& text, const QString* shared) {
    // The parser counts its input's bytes in 32 bits, and a character takes up to three.
    constexpr qsizetype kMostCharacters = UINT_MAX / 3 - 1;
    const qint64 total = text.characters();
    if (total > kMostCharacters || text.kind() == TextUnits::Kind::SingleByte) {
        return Fail(RepairResult::Status::ParserFailed,
                    text.kind() == TextUnits::Kind::SingleByte
                        ? QStringLiteral("the HTML5 parser reads UTF-8 or UTF-16 text only")
                        : QStringLiteral("the page has %1 characters; the HTML5 parser reads at "
                                         "most %2")
                              .arg(total)
                              .arg(kMostCharacters));
    }
    RepairResult result;
    const PassScope scope(*this, text, nullptr, result);
    AddedCount = 0;
    SegmentStart = 1;
    ScanPos = 1;
    InParagraph = false;
    observer_.showAdded(AddedCount);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);

    // The parser cannot report progress, so the whole text remains while it runs.
    observer_.showRemaining(total);
    // Stopping ends the parse with the object; when the parse is done, the object lasts
    // while the parser gives its memory back.
    Html5Parse parse = shared           ? Html5Parse(*shared)
                       : text.isUtf16() ? Html5Parse(text.utf16().toString())
                                        : Html5Parse(text.bytes());
    while (!parse.wait(std::chrono::milliseconds(20))) {
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    }
    QList<qint64> ends;
    QString error;
    if (!parse.takeResult(&ends, &error)) return Fail(RepairResult::Status::ParserFailed, error);
    CharacterCursor counted(text);
    for (const qint64 end : ends) {
        ScanPos = end + 1;
        observer_.showRemaining(total - counted.before(end) - 1);
        if (!CloseParagraph(ScanPos)) return Fail(RepairResult::Status::Stopped);
    }
    return result;
}

qint64 Functions::FindParagraphMark(QStringView text) const {
    return text.indexOf(InParagraph ? QStringView(u"</p>") : QStringView(u"<p>")) + 1;
}

RepairResult Functions::StripNewlines(QString text, LoneLineFeeds lineFeeds) {
    return AsText(StripNewlines(TextUnits::Utf16(text), lineFeeds), text);
}

RepairResult Functions::StripNewlines(const TextUnits& text, LoneLineFeeds lineFeeds) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);
    if (text.isUtf16()) return StripNewlinesPass(Scan<char16_t>(text), text, lineFeeds);
    return StripNewlinesPass(Scan<unsigned char>(text), text, lineFeeds);
}

namespace {

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
        for (; i < end; ++i) {
            const char16_t c = source[i];
            if (c != u'\r' && !(c == u'\n' && lineFeeds == LoneLineFeeds::Join)) continue;
            Keep(kept, start, i - start);
            if (c == u'\r' && i + 1 < to && source[i + 1] == u'\n') ++i;
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

/// The first `mark` ("<p>" or "</p>") at or after `from` that is a tag: a "<" inside a
/// comment, or in the text of a script, style or the like, is none. The stretches passed
/// over on the way are added to `hidden` (when given); -1 when there is no such mark.
template <typename Source>
qint64 FindParagraphMarkIn(const Source& source, qint64 from, std::u16string_view mark,
                           QList<TextSpan>* hidden) {
    std::array<char16_t, 10> buffer;  // enough for the names that open tagless text
    const qint64 n = source.size();
    for (qint64 at = source.find(u'<', from); at >= 0; at = source.find(u'<', from)) {
        if (MarkAt(source, at, mark)) return at;
        // Only "<!-" and names that begin with one of a few pairs of letters can open a
        // passage; most tags are passed at their first two characters.
        const char16_t first = at + 1 < n ? AsciiLower(source[at + 1]) : u'\0';
        const char16_t second = at + 2 < n ? AsciiLower(source[at + 2]) : u'\0';
        if (!MayOpenPassage(first, second)) {
            from = at + 1;
            continue;
        }
        qint64 length = first == u'!' ? 0 : NameLength(source, at + 1);
        if (length > qint64(buffer.size())) length = 0;  // no such name is this long
        for (qint64 i = 0; i < length; ++i) buffer[i] = AsciiLower(source[at + 1 + i]);
        const QStringView name(buffer.data(), length);
        if (length > 0 && !MayOpenPassage(name)) {
            from = at + 1;
            continue;
        }
        const Passage passage = PassageAfter(source, at, name);
        if (hidden && passage.resume > passage.hiddenFrom) {
            hidden->append({passage.hiddenFrom, passage.resume - passage.hiddenFrom});
        }
        from = passage.resume;
    }
    return -1;
}

}  // namespace

template <typename Unit>
RepairResult Functions::StripNewlinesPass(const Scan<Unit>& source, const TextUnits& text,
                                          LoneLineFeeds lineFeeds) {
    // The remainder is the text from `cut` on; cutting moves `cut` forward.
    const qint64 length = source.size();
    const qint64 total = text.characters();
    CharacterCursor counted(text);
    qint64 cut = 0;
    RepairResult result;
    QList<TextSpan> hidden;  // inside the open paragraph

    observer_.clearAdded();
    observer_.showRemaining(total);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    InParagraph = false;

    for (;;) {
        // The piece runs up to and including the "<" of the next mark.
        hidden.clear();
        const qint64 mark = FindParagraphMarkIn(source, cut, InParagraph ? u"</p>" : u"<p>",
                                                InParagraph ? &hidden : nullptr);
        if (mark < 0) break;
        if (InParagraph) {
            JoinLines(result.kept, source, cut, mark + 1, lineFeeds, hidden);
            InParagraph = false;
        } else {
            Keep(result.kept, cut, mark + 1 - cut);
            InParagraph = true;
        }
        cut = mark + 1;
        observer_.showRemaining(total - counted.before(cut));
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    }
    Keep(result.kept, cut, length - cut);
    if (result.kept.isEmpty()) result.kept.append({0, 0});
    return result;
}

RepairResult Functions::StripSpaces(QString text) {
    return AsText(StripSpaces(TextUnits::Utf16(text)), text);
}

RepairResult Functions::StripSpaces(const TextUnits& text) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);
    if (text.isUtf16()) return StripSpacesPass(Scan<char16_t>(text), text);
    return StripSpacesPass(Scan<unsigned char>(text), text);
}

template <typename Unit>
RepairResult Functions::StripSpacesPass(const Scan<Unit>& source, const TextUnits& text) {
    // The remainder is the trimmed text from `cut` on.
    qint64 begin = 0;
    qint64 end = source.size();
    while (begin < end && source[begin] == u' ') ++begin;
    while (end > begin && source[end - 1] == u' ') --end;
    const qint64 total = text.characters(begin, end);
    CharacterCursor counted(text);
    counted.before(begin);
    const qint64 skipped = begin;  // the characters before `begin`: spaces only
    qint64 cut = begin;
    qint64 searchFrom = begin;
    RepairResult result;

    observer_.clearAdded();
    observer_.showRemaining(total);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);

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
        observer_.showRemaining(total - (counted.before(cut) - skipped));
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    }
    Keep(result.kept, cut, end - cut);
    if (result.kept.isEmpty()) result.kept.append({begin, 0});
    return result;
}

}  // namespace quillet
