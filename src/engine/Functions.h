// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EngineObserver.h"
#include "engine/TextUnits.h"
#include "engine/Utilities.h"
#include "engine/WordListLookup.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace quillet {

/// What a tag does to an open paragraph.
enum TagKind : qint16 {
    TagOther = 0,      ///< leaves an open paragraph alone
    TagBreak = 1,      ///< ends an open paragraph
    TagParaOpen = 2,   ///< "<p>", whatever its case and attributes
    TagParaClose = 3,  ///< "</p>", whatever its case
};

/// What FixText hands back for a QString: the repaired text, or only where "</p>" goes
/// into the given text, for a caller that holds the text itself and can insert in place.
enum class FixOutput { Text, Insertions };

/// The outcome of one repair routine.
struct RepairResult {
    enum class Status {
        Completed,         ///< `text` holds the result
        Stopped,           ///< the observer asked the routine to stop
        ListsUnavailable,  ///< the word lists could not be opened or read; see `listsError`
        Busy,              ///< another routine of the same engine was still running
        ParserFailed,      ///< the HTML5 parser could not read the text; see `error`
    };
    Status status = Status::Completed;
    QString text;
    QString error;          ///< with ParserFailed: the parser's reason
    StoreError listsError;  ///< with ListsUnavailable: why the lists failed
    /// From Fix File on TextUnits or with FixOutput::Insertions: the ascending 0-based
    /// offsets in the given units before which "</p>" goes (`text` stays empty).
    QList<qint64> insertions;
    /// From a strip routine on TextUnits: the stretches of the given units that make the
    /// result, in order (`text` stays empty). A text left unchanged is one span of it all.
    QList<TextSpan> kept;

    bool ok() const { return status == Status::Completed; }
};

/// The text repair engine with the state its routines share. One instance serves one
/// main window or one batch run; a routine runs at a time.
///
/// Every routine takes the text as a QString, or as TextUnits: the code units of a text
/// the caller holds and keeps unchanged until the routine returns, 8 or 16 bits wide, which
/// the routine reads without a copy. The observer sees the same calls and counts either
/// way: counts are in 16-bit characters of the decoded text.
///
/// Positions given to and returned by the tag routines are 1-based code-unit positions
/// in the text under repair, as the pass uses them.
class Functions {
  public:
    Functions(EngineObserver& observer, WordListSource& lists);
    Functions(const Functions&) = delete;
    Functions& operator=(const Functions&) = delete;

    /// Inserts "</p>" before every tag that ends a paragraph opened by "<p>" and not yet
    /// closed. The lists are opened before anything else, so when they cannot be the
    /// text is left as it was and nothing is reported to the observer.
    RepairResult FixText(QString text) { return FixText(std::move(text), FixOutput::Text); }
    RepairResult FixText(QString text, FixOutput output);
    RepairResult FixText(const TextUnits& text);
    /// Fix File by the HTML5 parser instead of the word lists: inserts "</p>" wherever the
    /// parser ends a paragraph because of a start or end tag, so that the page keeps the
    /// tree a browser builds of it. The lists are not needed. The observer sees the same
    /// calls as in FixText; while the parser runs, it is asked to process events every
    /// few milliseconds, and stopping ends the parser at once.
    RepairResult FixTextHtml5(QString text, FixOutput output = FixOutput::Text);
    /// The same on 16-bit units or UTF-8; other 8-bit units fail with ParserFailed.
    RepairResult FixTextHtml5(const TextUnits& text);
    /// Joins the lines of every paragraph that runs from an exact "<p>" to the next
    /// exact "</p>": lines ended by a carriage return, and with LoneLineFeeds::Join also
    /// those ended by a line feed alone.
    RepairResult StripNewlines(QString text) {
        return StripNewlines(std::move(text), LoneLineFeeds::Keep);
    }
    RepairResult StripNewlines(QString text, LoneLineFeeds lineFeeds);
    RepairResult StripNewlines(const TextUnits& text, LoneLineFeeds lineFeeds);
    /// Trims spaces at both ends and shortens every run of spaces to one.
    RepairResult StripSpaces(QString text);
    RepairResult StripSpaces(const TextUnits& text);

    /// Whether a routine is running (it may have yielded to the user interface).
    bool IsRunning() const { return running_; }

    /// Number of "</p>" inserted by the current or last Fix File pass. Opening and
    /// saving a document reset it.
    qint32 AddedCount = 0;
    /// Whether the paragraph scan is inside a paragraph; each routine starts it false.
    bool InParagraph = false;

    // The tag routines of the pass. FixText sets their text up itself; SetSourceText
    // lets them run over a text without a pass (lists may be null, and then a tag that
    // needs a lookup cannot be classified). It does nothing while a routine runs.
    void SetSourceText(QString text, WordListLookup* lists);
    /// Position of the next "<" at or after `pos`, or `SourceLen` when there is none
    /// before the last character. A "<" as the last character is reported as a notice.
    qint64 FindTagStart(qint64 pos);
    /// The lower-cased name of the tag whose "<" stands at `pos` (possibly empty).
    QString ReadTagName(qint64 pos) const;
    /// What the tag at `pos` does to an open paragraph; nullopt when a lookup failed.
    std::optional<TagKind> ClassifyTag(qint64 pos);
    /// Whether the skip list holds `name`, converted to lower case.
    std::optional<bool> InSkipList(QStringView name);
    /// Whether the include list holds `name`, converted to lower case.
    std::optional<bool> InIncludeList(QStringView name);

    /// Position of the first "</p>" in `text` while InParagraph, else of the first "<p>";
    /// 0 when there is none.
    qint64 FindParagraphMark(QStringView text) const;

  private:
    template <typename Unit>
    class Scan;
    class PassScope;
    class TagMemo;

    template <typename Unit>
    RepairResult FixPass(const Scan<Unit>& source, const TextUnits& text);
    RepairResult Html5Pass(const TextUnits& text, const QString* shared);
    template <typename Unit>
    RepairResult StripNewlinesPass(const Scan<Unit>& source, const TextUnits& text,
                                   LoneLineFeeds lineFeeds);
    template <typename Unit>
    RepairResult StripSpacesPass(const Scan<Unit>& source, const TextUnits& text);
    template <typename Unit>
    qint64 FindTagStartIn(const Scan<Unit>& source, qint64 pos);
    /// Classifies the tag at `pos`: its TagKind, or -1 when a lookup failed. With `resume`,
    /// also says where the scan goes on (0-based): right after the "<", or past the comment
    /// or the tagless text that the tag opens. With `memo`, a name classified before is not
    /// looked up again.
    template <typename Unit>
    int ClassifyTagIn(const Scan<Unit>& source, qint64 pos, qint64* resume,
                      TagMemo* memo = nullptr);
    /// What a tag of the lower-cased `name` does; `closing` when it starts with "/".
    std::optional<TagKind> ClassifyName(QStringView name, bool closing);
    /// Closes the open paragraph in front of the tag at `found`.
    bool CloseParagraph(qint64 found);
    RepairResult Fail(RepairResult::Status status, QString error = {});

    EngineObserver& observer_;
    WordListSource& listSource_;
    WordListLookup* lists_ = nullptr;
    QList<qint64>* insertions_ = nullptr;  // where the pass collects
    bool running_ = false;

    // State of the Fix File pass; positions are in code units.
    QString SourceText;  // the text SetSourceText was given
    TextUnits Source;
    qint64 SourceLen = 0;
    qint64 SegmentStart = 1;
    qint64 ScanPos = 1;
};

}  // namespace quillet
