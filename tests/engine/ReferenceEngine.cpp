#include "ReferenceEngine.h"

namespace quillet::test {

namespace {

const QString kLastItemNotice = QStringLiteral("Last item on the page is an opening <");

/// 1-based position of `needle` in `haystack` at or after 1-based `start`; 0 when absent.
qint64 InStr(qint64 start, const QString& haystack, const QString& needle) {
    if (start > haystack.size()) return 0;
    return haystack.indexOf(needle, start - 1) + 1;
}

QString TrimSpaceChars(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' ')) ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' ')) --last;
    return text.mid(first, last - first);
}

RepairResult Outcome(RepairResult::Status status, QString text = {}, QString error = {}) {
    RepairResult result;
    result.status = status;
    result.text = std::move(text);
    result.error = std::move(error);
    return result;
}

RepairResult ListsOutcome(StoreError error) {
    RepairResult result = Outcome(RepairResult::Status::ListsUnavailable);
    result.listsError = std::move(error);
    return result;
}

}  // namespace

void ReferenceEngine::ProcessPendingEvents() {
    if (!observer_.processEvents()) throw StopRequested{};
}

RepairResult ReferenceEngine::FixText(const QString& text) {
    StoreError error;
    std::unique_ptr<WordListLookup> lists = listSource_.openLists(&error);
    if (!lists) return ListsOutcome(error);
    lists_ = lists.get();
    try {
        FixedText = QString();
        SourceText = text;
        AddedCount = 0;
        SegmentStart = 1;
        ScanPos = 1;
        observer_.showAdded(AddedCount);
        ProcessPendingEvents();
        InParagraph = false;
        SourceLen = SourceText.size();
        while (ScanPos < SourceLen) {
            observer_.showRemaining(SourceLen - ScanPos);
            ProcessPendingEvents();
            const qint64 found = FindTagStart(ScanPos);
            if (found < SourceLen) {
                const TagKind kind = ClassifyTag(found);
                if (kind == TagParaOpen) {
                    if (InParagraph)
                        CloseParagraph(found);
                    else
                        InParagraph = true;
                } else if (kind == TagParaClose) {
                    InParagraph = false;
                } else if (kind == TagBreak && InParagraph) {
                    CloseParagraph(found);
                    InParagraph = false;
                }
            }
            ScanPos = found + 1;
        }
        const QString result = FixedText + Mid(SegmentStart, SourceLen - SegmentStart + 1);
        lists_ = nullptr;
        return Outcome(RepairResult::Status::Completed, result);
    } catch (const StopRequested&) {
        lists_ = nullptr;
        return Outcome(RepairResult::Status::Stopped);
    } catch (const LookupFailed& failure) {
        lists_ = nullptr;
        return ListsOutcome(failure.error);
    }
}

void ReferenceEngine::CloseParagraph(qint64 found) {
    FixedText += Mid(SegmentStart, found - SegmentStart);
    FixedText += QStringLiteral("</p>");
    SegmentStart = found;
    AddedCount += 1;
    observer_.showAdded(AddedCount);
    ProcessPendingEvents();
}

qint64 ReferenceEngine::FindTagStart(qint64 pos) {
    const qint64 found = InStr(pos, SourceText, QStringLiteral("<"));
    if (found >= 1 && found < SourceLen) return found;
    if (found >= 1) observer_.notice(kLastItemNotice);
    return SourceLen;
}

QString ReferenceEngine::ReadTagName(qint64 pos) const {
    qint64 i = pos + 1;
    while (i <= SourceLen) {
        const char16_t c = At(i).unicode();
        const bool nameChar = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                              (c >= u'0' && c <= u'9') || c == u'/';
        if (!nameChar) break;
        ++i;
    }
    return Mid(pos + 1, i - pos - 1).toLower();
}

TagKind ReferenceEngine::ClassifyTag(qint64 pos) {
    const QString name = ReadTagName(pos);
    if (name == QStringLiteral("p")) return TagParaOpen;
    if (name == QStringLiteral("/p")) return TagParaClose;
    if (At(pos + 1) == QLatin1Char('/')) return InIncludeList(name) ? TagBreak : TagOther;
    return InSkipList(name) ? TagOther : TagBreak;
}

bool ReferenceEngine::InSkipList(const QString& name) {
    const std::optional<bool> held = lists_->inSkipList(name.toLower());
    if (!held) throw LookupFailed{lists_->lastError()};
    return *held;
}

bool ReferenceEngine::InIncludeList(const QString& name) {
    const std::optional<bool> held = lists_->inIncludeList(name.toLower());
    if (!held) throw LookupFailed{lists_->lastError()};
    return *held;
}

RepairResult ReferenceEngine::StripNewlines(const QString& text) {
    try {
        QString remainder = text;
        QString output;
        observer_.clearAdded();
        observer_.showRemaining(remainder.size());
        ProcessPendingEvents();
        InParagraph = false;
        for (;;) {
            const qint64 k = FindParagraphMark(remainder);
            if (k == 0) break;
            if (InParagraph) {
                output += JoinLines(remainder.left(k));
                InParagraph = false;
            } else {
                output += remainder.left(k);
                InParagraph = true;
            }
            remainder.remove(0, k);
            observer_.showRemaining(remainder.size());
            ProcessPendingEvents();
        }
        return Outcome(RepairResult::Status::Completed, output + remainder);
    } catch (const StopRequested&) {
        return Outcome(RepairResult::Status::Stopped);
    }
}

qint64 ReferenceEngine::FindParagraphMark(const QString& text) const {
    return InStr(1, text, InParagraph ? QStringLiteral("</p>") : QStringLiteral("<p>"));
}

QString ReferenceEngine::JoinLines(const QString& text) {
    QString t = TrimSpaceChars(text);
    QString collected;
    for (;;) {
        const qint64 p = InStr(1, t, QStringLiteral("\r"));
        if (p == 0) break;
        collected += t.left(p - 1);
        const bool lineFeedFollows = p + 1 <= t.size() && t.at(p) == QLatin1Char('\n');
        t.remove(0, lineFeedFollows ? p + 1 : p);
    }
    return collected + t;
}

RepairResult ReferenceEngine::StripSpaces(const QString& text) {
    try {
        QString remainder = TrimSpaceChars(text);
        QString output;
        observer_.clearAdded();
        observer_.showRemaining(remainder.size());
        ProcessPendingEvents();
        qint64 searchStart = 1;
        for (;;) {
            const qint64 runStart = InStr(searchStart, remainder, QStringLiteral(" "));
            if (runStart == 0) break;
            qint64 runEnd = runStart;
            while (runEnd <= remainder.size() && remainder.at(runEnd - 1) == QLatin1Char(' '))
                ++runEnd;
            if (runEnd > runStart + 1) {
                output += remainder.left(runStart);
                remainder.remove(0, runEnd - 1);
                searchStart = 1;
            } else {
                searchStart = runStart + 1;
            }
            observer_.showRemaining(remainder.size());
            ProcessPendingEvents();
        }
        return Outcome(RepairResult::Status::Completed, output + remainder);
    } catch (const StopRequested&) {
        return Outcome(RepairResult::Status::Stopped);
    }
}

}  // namespace quillet::test
