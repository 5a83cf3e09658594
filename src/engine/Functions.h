// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EngineObserver.h"
#include "engine/TextUnits.h"
#include "engine/WordListLookup.h"

#include <QList>
#include <QString>

namespace quillet {

/// What Strip Newlines does with a line feed that no carriage return comes before.
enum class LoneLineFeeds {
    Keep,  ///< it stays: only lines ended by a carriage return are joined
    Join,  ///< it is removed as well, so lines ended by a line feed alone are joined too
};

/// The outcome of one repair routine.
struct RepairResult {
    enum class Status {
        Completed,         ///< `insertions` or `kept` says what the routine made
        Stopped,           ///< the observer asked the routine to stop
        ListsUnavailable,  ///< the word lists could not be opened or read; see `listsError`
        Busy,              ///< another routine of the same engine was still running
        ParserFailed,      ///< the HTML5 parser could not read the text; see `error`
    };
    Status status = Status::Completed;
    QString error;          ///< with ParserFailed: the parser's reason
    StoreError listsError;  ///< with ListsUnavailable: why the lists failed
    /// From Fix File: the ascending 0-based offsets in the given units before which "</p>"
    /// goes; as many as it added.
    QList<qint64> insertions;
    /// From a strip routine: the stretches of the given units that make the result, in
    /// order. A text left unchanged is one span of it all; never empty when completed.
    QList<TextSpan> kept;

    bool ok() const { return status == Status::Completed; }
};

/// The text that a completed repair of `text` makes: `text` with "</p>" before each of the
/// result's insertions, or the stretches it kept.
QString RepairedText(QStringView text, const RepairResult& result);

/// The text repair engine. One instance serves one main window or one batch run; a
/// routine runs at a time.
///
/// Every routine takes the text as TextUnits: the code units of a text the caller holds
/// and keeps unchanged until the routine returns, 8 or 16 bits wide, which the routine
/// reads without a copy, and answers with offsets in those units. The observer sees the
/// same calls and counts in every width: counts are in 16-bit characters of the decoded
/// text.
class Functions {
  public:
    Functions(EngineObserver& observer, WordListSource& lists);
    Functions(const Functions&) = delete;
    Functions& operator=(const Functions&) = delete;

    /// Inserts "</p>" before every tag that ends a paragraph opened by "<p>" and not yet
    /// closed. The lists are opened before anything else, so when they cannot be the
    /// text is left as it was and nothing is reported to the observer.
    RepairResult FixText(const TextUnits& text);
    /// Fix File by the HTML5 parser instead of the word lists: inserts "</p>" wherever the
    /// parser ends a paragraph because of a start or end tag, so that the page keeps the
    /// tree a browser builds of it. The lists are not needed. The observer sees the same
    /// calls as in FixText; while the parser runs, it is asked to process events every
    /// few milliseconds, and stopping ends the parser at once. The text is 16-bit units or
    /// UTF-8; other 8-bit units fail with ParserFailed. `shared`, when given with 16-bit
    /// units, is the string that holds them, which the parser's thread then shares
    /// instead of copying the text.
    RepairResult FixTextHtml5(const TextUnits& text, const QString* shared = nullptr);
    /// Joins the lines of every paragraph that runs from an exact "<p>" to the next
    /// exact "</p>": lines ended by a carriage return, and with LoneLineFeeds::Join also
    /// those ended by a line feed alone.
    RepairResult StripNewlines(const TextUnits& text, LoneLineFeeds lineFeeds);
    /// Trims spaces at both ends and shortens every run of spaces to one.
    RepairResult StripSpaces(const TextUnits& text);

    /// Whether a routine is running (it may have yielded to the user interface).
    bool IsRunning() const { return running_; }

  private:
    EngineObserver& observer_;
    WordListSource& listSource_;
    bool running_ = false;
};

}  // namespace quillet
