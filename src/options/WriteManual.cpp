// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a program's manual page from its template, with the lists of options made from
// the table the program reads its options by. Run by the build.
//
//   quillet-write-manual quillet|quillet-batch TEMPLATE OUTPUT
#include "batch/BatchOptions.h"
#include "options/OptionHelp.h"
#include "options/WindowOptions.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    using namespace quillet;
    const QString program = argc == 4 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (program != u"quillet" && program != u"quillet-batch") {
        std::fputs("usage: quillet-write-manual quillet|quillet-batch TEMPLATE OUTPUT\n", stderr);
        return 2;
    }
    const bool batch = program == u"quillet-batch";
    QFile input(QString::fromLocal8Bit(argv[2]));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "quillet-write-manual: cannot read %s: %s\n", argv[2],
                     input.errorString().toLocal8Bit().constData());
        return 1;
    }
    // Words that stand for what the user gives, beside the options' value names.
    const QStringList placeholders = batch ? QStringList{"PAGE", "PATH"} : QStringList{"FILE"};
    QString problem;
    const std::optional<QString> page =
        FillManualOptions(QString::fromUtf8(input.readAll()),
                          batch ? BatchOptionTable() : WindowOptionTable(), placeholders, &problem);
    if (!page) {
        std::fprintf(stderr, "quillet-write-manual: %s: %s\n", argv[2],
                     problem.toLocal8Bit().constData());
        return 1;
    }
    QFile output(QString::fromLocal8Bit(argv[3]));
    const QByteArray bytes = page->toUtf8();
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        output.write(bytes) != bytes.size() || !output.flush()) {
        std::fprintf(stderr, "quillet-write-manual: cannot write %s: %s\n", argv[3],
                     output.errorString().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
