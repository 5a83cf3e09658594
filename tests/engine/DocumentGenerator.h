#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace quillet::test {

/// Deterministic random HTML-ish documents and word lists that crowd the corners of the
/// repair routines: paragraph tags in every case and shape, comments, stray "<", every
/// kind of line break, runs of spaces, NUL, non-ASCII and surrogate characters.
class DocumentGenerator {
  public:
    explicit DocumentGenerator(quint64 seed) : state_(seed) {}

    /// A document of a few dozen to a few thousand characters; now and then empty or
    /// made only of spaces.
    QString Document();
    /// A document with one paragraph of 40,000 characters or more, sometimes after a
    /// gap of the same order before its first "<p>".
    QString LongDocument();
    /// A short string of spaces, tabs, line breaks and letters.
    QString LineText();

    /// A varied skip list (names of opening tags, the empty name among them).
    QStringList SkipList();
    /// A varied include list (closing-tag names with their "/").
    QStringList IncludeList();

    quint64 Next();
    /// A number from 0 to `bound` - 1.
    int Below(int bound) { return static_cast<int>(Next() % static_cast<quint64>(bound)); }
    bool Chance(int percent) { return Below(100) < percent; }

  private:
    QString Pick(const QStringList& choices) { return choices.at(Below(choices.size())); }
    QString Word();
    QString TagName();
    QString Token();
    QString Ending();
    QString Body(qsizetype minLength);

    quint64 state_;
};

}  // namespace quillet::test
