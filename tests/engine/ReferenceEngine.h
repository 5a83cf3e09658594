#pragma once

#include "engine/EngineObserver.h"
#include "engine/Functions.h"
#include "engine/WordListLookup.h"

#include <QString>
#include <memory>
#include <optional>

namespace quillet::test {

/// A slow, literal rendering of the repair routines, for checking the engine against:
/// 1-based positions, a remainder cut from the front, strings built by appending, and the
/// observer called at exactly the steps the routines take. Paragraph-mark offsets and
/// line-join positions are as wide as the others, so paragraphs and gaps of any length
/// work. A processEvents() that returns false stops a routine at once (status Stopped);
/// a failed lookup ends the pass with ListsUnavailable. Either way the state stays as it
/// was at that moment and no text is returned.
class ReferenceEngine {
  public:
    ReferenceEngine(EngineObserver& observer, WordListSource& lists)
        : observer_(observer), listSource_(lists) {}

    RepairResult FixText(const QString& text);
    RepairResult StripNewlines(const QString& text);
    RepairResult StripSpaces(const QString& text);

    /// The string trimmed of spaces, each carriage return removed with a directly
    /// following line feed.
    static QString JoinLines(const QString& text);

    qint32 AddedCount = 0;
    bool InParagraph = false;

  private:
    struct StopRequested {};
    struct LookupFailed {
        StoreError error;
    };

    void ProcessPendingEvents();
    qint64 FindTagStart(qint64 pos);
    QString ReadTagName(qint64 pos) const;
    TagKind ClassifyTag(qint64 pos);
    bool InSkipList(const QString& name);
    bool InIncludeList(const QString& name);
    void CloseParagraph(qint64 found);
    qint64 FindParagraphMark(const QString& text) const;

    /// The character at 1-based `pos`.
    QChar At(qint64 pos) const { return SourceText.at(pos - 1); }
    /// `count` characters of SourceText from 1-based `start`.
    QString Mid(qint64 start, qint64 count) const { return SourceText.mid(start - 1, count); }

    EngineObserver& observer_;
    WordListSource& listSource_;
    WordListLookup* lists_ = nullptr;

    QString SourceText;
    qint64 SourceLen = 0;
    QString FixedText;
    qint64 SegmentStart = 1;
    qint64 ScanPos = 1;
};

}  // namespace quillet::test
