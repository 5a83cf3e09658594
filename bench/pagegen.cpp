// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a generated old-style page: pagegen MEGABYTES OUT [SEED]
#include "PageGenerator.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: pagegen MEGABYTES OUT [SEED]\n");
        return 2;
    }
    const qint64 bytes = qint64(std::atof(argv[1]) * 1000 * 1000);
    const std::uint32_t seed = argc > 3 ? std::uint32_t(std::strtoul(argv[3], nullptr, 10)) : 1;
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "pagegen: cannot write %s\n", argv[2]);
        return 1;
    }
    const QByteArray page = quillet::bench::GenerateOldPage(bytes, seed);
    return out.write(page) == page.size() ? 0 : 1;
}
