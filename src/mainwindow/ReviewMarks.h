// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/TextUnits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace quillet {

// The arithmetic of the review marks, on the page as the document view holds it (UTF-8
// bytes): carrying marks through a strip command, and comparing the "</p>" Fix File put
// in with where the other way of Fix File would put them.

/// The marks `marks` (ascending, apart) of a text carried into the text made of its
/// stretches `kept` (in order), as a strip command makes it: each mark keeps what of its
/// text is kept, at its new place, and a mark of which nothing is kept goes. Marks that
/// come to stand side by side are one stretch, as the document view holds them.
QList<TextSpan> KeepMarks(const QList<TextSpan>& marks, const QList<TextSpan>& kept);

/// The "</p>" among `marks`, the marks Fix File left in `bytes`: one for each mark that
/// still holds exactly "</p>", or several where such marks came to stand side by side.
/// A mark edited since is no longer one.
QList<TextSpan> InsertedParagraphEnds(QByteArrayView bytes, const QList<TextSpan>& marks);

/// `bytes` without the stretches `inserted` (ascending, apart): the page as it stood
/// before Fix File put them in.
QByteArray PageBefore(QByteArrayView bytes, const QList<TextSpan>& inserted);

/// Where two ways of Fix File differ on a page, in the page as it stands.
struct Differences {
    /// The tags before which only the other way puts a "</p>": from the "<" to the ">"
    /// (at most 80 bytes of it).
    QList<TextSpan> otherWouldAdd;
    /// The "</p>" this way put that the other way would not.
    QList<TextSpan> otherWouldNotAdd;

    qsizetype count() const { return otherWouldAdd.size() + otherWouldNotAdd.size(); }
};

/// Compares the "</p>" `inserted` (from InsertedParagraphEnds) in `bytes` with `other`,
/// the ascending offsets in PageBefore(bytes, inserted) before which the other way puts
/// a "</p>".
Differences CompareInsertions(QByteArrayView bytes, const QList<TextSpan>& inserted,
                              const QList<qint64>& other);

}  // namespace quillet
