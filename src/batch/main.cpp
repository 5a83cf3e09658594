#include "batch/BatchTool.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));

    QFile in;
    QFile out;
    QFile err;
    in.open(stdin, QIODevice::ReadOnly);
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const bool terminal = isatty(fileno(stderr)) != 0;
    return quillet::RunBatch(QCoreApplication::arguments(), {in, out, err, terminal});
}
