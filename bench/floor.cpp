// SPDX-License-Identifier: GPL-3.0-or-later
// The least work a repair pass could do on a page: read the file, widen it to 16-bit
// characters, find every "<", copy the text in segments between them, narrow it and
// write it. Quillet's commands are measured against it.
//
// With an ENCODING (UTF-8, UTF-16LE, ...), the page is decoded from it and encoded back
// into it instead of being widened and narrowed byte by byte: the least work for a page
// in that encoding.
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstdio>
#include <optional>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: floor IN OUT [ENCODING]\n");
        return 2;
    }
    std::optional<QStringConverter::Encoding> encoding;
    if (argc == 4) {
        encoding = QStringConverter::encodingForName(argv[3]);
        if (!encoding) return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) return 1;
    QByteArray bytes = in.readAll();
    QString text =
        encoding ? QString(QStringDecoder(*encoding).decode(bytes)) : QString::fromLatin1(bytes);
    bytes = QByteArray();

    QString copy;
    copy.reserve(text.size() + text.size() / 16);
    const QStringView view(text);
    qsizetype segment = 0;
    qsizetype tags = 0;
    for (qsizetype at = view.indexOf(u'<'); at >= 0; at = view.indexOf(u'<', at + 1)) {
        copy.append(view.sliced(segment, at - segment));
        segment = at;
        ++tags;
    }
    copy.append(view.sliced(segment));
    text = QString();

    QFile out(QString::fromLocal8Bit(argv[2]));
    const QByteArray narrowed =
        encoding ? QByteArray(QStringEncoder(*encoding).encode(copy)) : copy.toLatin1();
    if (!out.open(QIODevice::WriteOnly) || out.write(narrowed) < 0) return 1;
    std::fprintf(stderr, "%lld tags\n", static_cast<long long>(tags));
    return 0;
}
