// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

namespace quillet {

/// What one parse may take; 0 stands for no limit.
struct Html5Limits {
    /// Pages nested deeper than this (as EstimateNestingDepth reckons) are refused unread.
    qsizetype depth = 0;
    /// Processor time of the parser; it is ended when it takes more.
    std::chrono::seconds cpu{0};
    /// Time the parser gets to answer, whatever it does meanwhile (it may have been
    /// stopped); then it is ended.
    std::chrono::milliseconds wall{0};
    /// Address space of the parser in bytes.
    qint64 memory = 0;

    /// The limits for a page of `bytes` bytes of UTF-8: nesting up to kMostHtml5Depth, 10 s
    /// of processor time and 2 s more per MB, twice that until an answer, and the memory
    /// the parser may need for any such page (at most 128 bytes a byte of the page), up to
    /// the machine's memory.
    static Html5Limits ForPage(qint64 bytes);
};

/// How a parse runs: which helper program parses, and under which limits.
struct Html5ParseSettings {
    /// The helper program; empty for Html5HelperPath().
    QString helper;
    /// The limits; unset for Html5Limits::ForPage.
    std::optional<Html5Limits> limits;
};

/// The name of the helper program that runs the HTML5 parser.
inline constexpr char kHtml5HelperName[] = "quillet-html5-parse";

/// Where the helper program is: beside the running program (so in a build tree), else
/// where it is installed relative to the programs' folder (`../libexec/quillet/`). When
/// neither exists, the installed place, which a failed parse then names.
QString Html5HelperPath();

/// Where an HTML5 parser ends paragraphs of its own accord: the places where a start or
/// end tag made it close an open `p` element, each the offset of that tag's "<" (the
/// end of the text, where the last paragraph may stay open, is not among them). A
/// "</p>" inserted at each place closes the same paragraph at the same point, so the
/// page keeps its tree.
///
/// The parse runs on a thread of its own, so that the caller can keep its window
/// responsive. On Unix the parser itself runs in a helper program, started afresh for each
/// parse under limits of processor time and memory: a page that makes the parser fail,
/// or take too long, cannot take the program down with it or hold it up. A page nested
/// too deeply for the parser is refused before it is parsed.
class Html5Parse {
  public:
    /// Starts parsing `text`; the object keeps the text (a shared copy) while it works.
    explicit Html5Parse(QString text, Html5ParseSettings settings = {});
    /// Starts parsing a text in UTF-8, which must stay as it is while the object lives; the
    /// offsets it finds are in bytes.
    explicit Html5Parse(QByteArrayView utf8, Html5ParseSettings settings = {});
    /// Stops a parse still running (the helper is killed), and waits for its thread.
    ~Html5Parse();
    Html5Parse(const Html5Parse&) = delete;
    Html5Parse& operator=(const Html5Parse&) = delete;

    /// Waits up to `timeout` for the result; true when it is ready.
    bool wait(std::chrono::milliseconds timeout);
    /// After wait() returned true: the ascending 0-based offsets in the text before which
    /// "</p>" goes, or false with `error` set when the page could not be parsed.
    bool takeResult(QList<qint64>* ends, QString* error);

  private:
    struct Job;
    void start();

    std::shared_ptr<Job> job_;
    std::thread thread_;
};

}  // namespace quillet
