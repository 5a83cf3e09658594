// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a site of generated old-style pages: treegen PAGES OUT [SEED]
// The pages go into two levels of folders (20 × 5), named page00042.htm or .html, each of
// 2 to 100 KB (spread evenly on a log scale, so most are small, as on real sites), the same
// for the same seed.
#include "PageGenerator.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: treegen PAGES OUT [SEED]\n");
        return 2;
    }
    const int pages = std::atoi(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const std::uint32_t seed = argc > 3 ? std::uint32_t(std::strtoul(argv[3], nullptr, 10)) : 1;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> logSize(std::log(2000.0), std::log(100000.0));
    qint64 total = 0;
    qint64 largest = 0;
    for (int i = 0; i < pages; ++i) {
        const QString folder = QStringLiteral("%1/s%2/t%3").arg(out).arg(i % 20).arg(i / 20 % 5);
        QDir().mkpath(folder);
        const qint64 bytes = qint64(std::exp(logSize(random)));
        const QByteArray page = quillet::bench::GenerateOldPage(bytes, seed + std::uint32_t(i));
        QFile file(QStringLiteral("%1/page%2.%3")
                       .arg(folder)
                       .arg(i, 5, 10, QChar(u'0'))
                       .arg(i % 4 ? QStringLiteral("htm") : QStringLiteral("html")));
        if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size()) {
            std::fprintf(stderr, "treegen: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
        total += page.size();
        largest = std::max<qint64>(largest, page.size());
    }
    std::printf("%d pages, %lld bytes, largest %lld\n", pages, static_cast<long long>(total),
                static_cast<long long>(largest));
    return 0;
}
