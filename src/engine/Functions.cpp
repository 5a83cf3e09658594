#include "engine/Functions.h"

#include "engine/Html5Paragraphs.h"
#include "engine/Utilities.h"

#include <array>
#include <climits>

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

}  // namespace

Functions::Functions(EngineObserver& observer, WordListSource& lists)
    : observer_(observer), listSource_(lists) {}

RepairResult Functions::Fail(RepairResult::Status status, QString error) {
    RepairResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

void Functions::ReleasePassState() {
    SourceText = QString();
    Source = QStringView();
    SourceLen = 0;
    FixedText = QString();
    lists_ = nullptr;
    insertions_ = nullptr;
}

void Functions::SetSourceText(QString text, WordListLookup* lists) {
    if (running_) return;  // a running pass keeps its text
    SourceText = std::move(text);
    Source = SourceText;
    SourceLen = SourceText.size();
    lists_ = lists;
}

qint64 Functions::FindTagStart(qint64 pos) {
    const qsizetype index = pos >= 1 && pos <= SourceLen ? Source.indexOf(u'<', pos - 1) : -1;
    const qint64 found = index + 1;
    if (found >= 1 && found < SourceLen) return found;
    if (found >= 1) observer_.notice(kLastItemNotice);
    return SourceLen;
}

QString Functions::ReadTagName(qint64 pos) const {
    qint64 i = pos + 1;
    while (i <= SourceLen && IsNameChar(Source[i - 1].unicode())) ++i;
    QString name = Source.sliced(pos, i - pos - 1).toString();
    for (QChar& c : name) c = QChar(AsciiLower(c.unicode()));
    return name;
}

std::optional<TagKind> Functions::ClassifyTag(qint64 pos) {
    // The name is read into a small buffer: names are short, and this runs once per tag.
    std::array<char16_t, 24> buffer;
    qint64 length = 0;
    for (qint64 i = pos; i < SourceLen && IsNameChar(Source[i].unicode()); ++i) {
        if (length < qint64(buffer.size())) buffer[length] = AsciiLower(Source[i].unicode());
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
    if (Source[pos] == u'/') {
        const std::optional<bool> listed = InIncludeList(name);
        if (!listed) return std::nullopt;
        return *listed ? TagBreak : TagOther;
    }
    const std::optional<bool> skipped = InSkipList(name);
    if (!skipped) return std::nullopt;
    return *skipped ? TagOther : TagBreak;
}

namespace {

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

}  // namespace

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
    if (insertions_) {
        insertions_->append(found - 1);
    } else {
        FixedText.append(Source.sliced(SegmentStart - 1, found - SegmentStart));
        FixedText.append(kCloseTag);
    }
    SegmentStart = found;
    ++AddedCount;
    observer_.showAdded(AddedCount);
    return observer_.processEvents();
}

RepairResult Functions::FixText(QString text, FixOutput output) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);

    StoreError error;
    const std::unique_ptr<WordListLookup> lists = listSource_.openLists(&error);
    if (!lists) return ListsFailed(std::move(error));

    SourceText = std::move(text);
    Source = SourceText;
    SourceLen = SourceText.size();
    lists_ = lists.get();
    // The pass state holds the source, the growing result and the open lists only while
    // the pass runs: the lists close at its end and the texts are not kept twice.
    struct ReleasePassState {
        Functions& f;
        ~ReleasePassState() { f.ReleasePassState(); }
    } release{*this};

    FixedText = QString();
    RepairResult result;
    if (output == FixOutput::Insertions) {
        insertions_ = &result.insertions;
    } else {
        FixedText.reserve(SourceLen + SourceLen / 16 + 16);
    }
    AddedCount = 0;
    SegmentStart = 1;
    ScanPos = 1;
    observer_.showAdded(AddedCount);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    InParagraph = false;

    while (ScanPos < SourceLen) {
        observer_.showRemaining(SourceLen - ScanPos);
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
        const qint64 found = FindTagStart(ScanPos);
        if (found < SourceLen) {
            const std::optional<TagKind> kind = ClassifyTag(found);
            if (!kind) return ListsFailed(lists->lastError());
            bool goOn = true;
            switch (*kind) {
                case TagParaOpen:
                    if (InParagraph) goOn = CloseParagraph(found);
                    InParagraph = true;
                    break;
                case TagParaClose:
                    InParagraph = false;
                    break;
                case TagBreak:
                    if (InParagraph) {
                        goOn = CloseParagraph(found);
                        InParagraph = false;
                    }
                    break;
                case TagOther:
                    break;
            }
            if (!goOn) return Fail(RepairResult::Status::Stopped);
        }
        ScanPos = found + 1;
    }

    if (!insertions_) {
        FixedText.append(Source.sliced(SegmentStart - 1));
        result.text = std::move(FixedText);
    }
    return result;
}

RepairResult Functions::FixTextHtml5(QString text, FixOutput output) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);

    // The parser counts its input's bytes in 32 bits, and a character takes up to three.
    constexpr qsizetype kMostCharacters = UINT_MAX / 3 - 1;
    if (text.size() > kMostCharacters) {
        return Fail(RepairResult::Status::ParserFailed,
                    QStringLiteral("the page has %1 characters; the HTML5 parser reads at most %2")
                        .arg(text.size())
                        .arg(kMostCharacters));
    }
    SourceText = std::move(text);
    Source = SourceText;
    SourceLen = SourceText.size();
    struct ReleasePassState {
        Functions& f;
        ~ReleasePassState() { f.ReleasePassState(); }
    } release{*this};

    FixedText = QString();
    RepairResult result;
    if (output == FixOutput::Insertions) insertions_ = &result.insertions;
    AddedCount = 0;
    SegmentStart = 1;
    ScanPos = 1;
    InParagraph = false;
    observer_.showAdded(AddedCount);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);

    // The parser cannot report progress, so the whole text remains while it runs.
    observer_.showRemaining(SourceLen);
    // Stopping ends the parse with the object; when the parse is done, the object lasts
    // while the parser gives its memory back.
    Html5Parse parse(SourceText);
    while (!parse.wait(std::chrono::milliseconds(20))) {
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    }
    QList<qint64> ends;
    QString error;
    if (!parse.takeResult(&ends, &error)) return Fail(RepairResult::Status::ParserFailed, error);
    if (!insertions_) FixedText.reserve(SourceLen + 4 * ends.size());
    for (const qint64 end : ends) {
        ScanPos = end + 1;
        observer_.showRemaining(SourceLen - ScanPos);
        if (!CloseParagraph(ScanPos)) return Fail(RepairResult::Status::Stopped);
    }
    if (!insertions_) {
        FixedText.append(Source.sliced(SegmentStart - 1));
        result.text = std::move(FixedText);
    }
    return result;
}

qint64 Functions::FindParagraphMark(QStringView text) const {
    return text.indexOf(InParagraph ? QStringView(u"</p>") : QStringView(u"<p>")) + 1;
}

RepairResult Functions::StripNewlines(QString text, LoneLineFeeds lineFeeds) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);

    // The remainder is the view of `text` from `cut` on; cutting moves `cut` forward.
    const QStringView source = text;
    const qint64 length = source.size();
    qint64 cut = 0;
    QString output;
    output.reserve(length);

    observer_.clearAdded();
    observer_.showRemaining(length);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    InParagraph = false;

    for (;;) {
        const qint64 k = FindParagraphMark(source.sliced(cut));
        if (k == 0) break;
        const QStringView piece = source.sliced(cut, k);
        if (InParagraph) {
            AppendJoinedLines(output, piece, lineFeeds);
            InParagraph = false;
        } else {
            output.append(piece);
            InParagraph = true;
        }
        cut += k;
        observer_.showRemaining(length - cut);
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    }

    output.append(source.sliced(cut));
    RepairResult result;
    result.text = std::move(output);
    return result;
}

RepairResult Functions::StripSpaces(QString text) {
    if (running_) return Fail(RepairResult::Status::Busy);
    const RunningFlag running(running_);

    // The remainder is the view of the trimmed text from `cut` on.
    const QStringView trimmed = TrimSpaces(text);
    const qint64 length = trimmed.size();
    qint64 cut = 0;
    qint64 searchFrom = 0;
    QString output;
    output.reserve(length);

    observer_.clearAdded();
    observer_.showRemaining(length);
    if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);

    for (;;) {
        const qint64 runStart = trimmed.indexOf(u' ', searchFrom);
        if (runStart < 0) break;
        qint64 runEnd = runStart;
        while (runEnd < length && trimmed[runEnd] == u' ') ++runEnd;
        if (runEnd > runStart + 1) {
            // Keep the text before the run and the run's first space.
            output.append(trimmed.sliced(cut, runStart + 1 - cut));
            cut = runEnd;
            searchFrom = cut;
        } else {
            searchFrom = runStart + 1;
        }
        observer_.showRemaining(length - cut);
        if (!observer_.processEvents()) return Fail(RepairResult::Status::Stopped);
    }

    output.append(trimmed.sliced(cut));
    RepairResult result;
    result.text = std::move(output);
    return result;
}

}  // namespace quillet
