// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/BatchTool.h"

#include <QBuffer>
#include <QString>
#include <QStringList>

namespace quillet::test {

struct Outcome {
    int code;
    QByteArray out;
    QString err;
};

/// Runs the batch tool in-process with `arguments` and `input` on standard input.
inline Outcome Batch(const QStringList& arguments, QByteArray input = {}) {
    QBuffer in(&input);
    QByteArray outBytes, errBytes;
    QBuffer out(&outBytes), err(&errBytes);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int code = RunBatch(QStringList{"quillet-batch"} + arguments, {in, out, err, false});
    return Outcome{code, outBytes, QString::fromUtf8(errBytes)};
}
/// The same with the arguments as words parted by spaces.
inline Outcome Batch(const QString& arguments, const QByteArray& input = {}) {
    return Batch(arguments.split(u' ', Qt::SkipEmptyParts), input);
}

}  // namespace quillet::test
