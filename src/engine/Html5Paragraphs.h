// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <chrono>
#include <memory>
#include <thread>

namespace quillet {

/// Where an HTML5 parser ends paragraphs of its own accord: the places where a start or
/// end tag made it close an open `p` element, each the offset of that tag's "<" (the
/// end of the text, where the last paragraph may stay open, is not among them). A
/// "</p>" inserted at each place closes the same paragraph at the same point, so the
/// page keeps its tree.
///
/// The parse runs on a thread of its own, so that the caller can keep its window
/// responsive, and (where the system allows) the parser itself in a child process, so
/// that a page that makes it fail cannot take the program down with it.
class Html5Parse {
  public:
    /// Starts parsing `text`; the object keeps the text (a shared copy) while it works.
    explicit Html5Parse(QString text);
    /// Starts parsing a text in UTF-8, of which the object makes its own copy; the offsets
    /// it finds are in bytes.
    explicit Html5Parse(QByteArrayView utf8);
    /// Stops a parse still running, and waits for its thread.
    ~Html5Parse();
    Html5Parse(const Html5Parse&) = delete;
    Html5Parse& operator=(const Html5Parse&) = delete;

    /// Waits up to `timeout` for the result; true when it is ready.
    bool wait(std::chrono::milliseconds timeout);
    /// After wait() returned true: the ascending 0-based offsets in the text before which
    /// "</p>" goes, or false with `error` set when the parser failed.
    bool takeResult(QList<qint64>* ends, QString* error);

  private:
    struct Job;
    void start();

    std::shared_ptr<Job> job_;
    std::thread thread_;
};

}  // namespace quillet
