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
    for (qint64 i = pos; i < source.size() && IsNameChar(source[i]); ++i) {
        name.append(QChar(AsciiLower(source[i])));
    }
    return name;
}

}  // namespace

QString Functions::ReadTagName(qint64 pos) const {
    if (Source.isUtf16()) return TagNameAt(Scan<char16_t>(Source), pos);
    return TagNameAt(Scan<unsigned char>(Source), pos);
}

template <typename Unit>
std::optional<TagKind> Functions::ClassifyTagIn(const Scan<Unit>& source, qint64 pos) {
    // The name is read into a small buffer: names are short, and this runs once per tag.
    std::array<char16_t, 24> buffer;
    qint64 length = 0;
    for (qint64 i = pos; i < SourceLen && IsNameChar(source[i]); ++i) {
        if (length < qint64(buffer.size())) buffer[length] = AsciiLower(source[i]);
        ++length;
    }
    QString longName;
    QStringView name(buffer.data(), length);
    if (length > qint64(buffer.size())) {
        longName = ReadTagName(pos);
        name = longName;
    }

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
    if (Source.isUtf16()) return ClassifyTagIn(Scan<char16_t>(Source), pos);
    return ClassifyTagIn(Scan<unsigned char>(Source), pos);
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
        if (found < SourceLen) {
            const std::optional<TagKind> kind = ClassifyTagIn(source, found);
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
        ScanPos = found + 1;
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
/// directly follows it, and with LoneLineFeeds::Join every other line feed too.
template <typename Source>
void JoinLines(QList<TextSpan>& kept, const Source& source, qint64 from, qint64 to,
               LoneLineFeeds lineFeeds) {
    while (from < to && source[from] == u' ') ++from;
    while (to > from && source[to - 1] == u' ') --to;
    qint64 start = from;
    for (qint64 i = from; i < to; ++i) {
        const char16_t c = source[i];
        if (c != u'\r' && !(c == u'\n' && lineFeeds == LoneLineFeeds::Join)) continue;
        Keep(kept, start, i - start);
        if (c == u'\r' && i + 1 < to && source[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    Keep(kept, start, to - start);
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

    observer_.clearAdded();
    observer_.showRemaining(total);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    InParagraph = false;

    for (;;) {
        // The piece runs up to and including the "<" of the next mark.
        const qint64 mark = source.find(InParagraph ? std::u16string_view(u"</p>") : u"<p>", cut);
        if (mark < 0) break;
        if (InParagraph) {
            JoinLines(result.kept, source, cut, mark + 1, lineFeeds);
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
