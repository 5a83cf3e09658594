// The least work a repair pass could do on a page: read the file, widen it to 16-bit
// characters, find every "<", copy the text in segments between them, narrow it and
// write it. Quillet's commands are measured against it.
#include <QFile>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor IN OUT\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) return 1;
    QByteArray bytes = in.readAll();
    QString text = QString::fromLatin1(bytes);
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
    if (!out.open(QIODevice::WriteOnly) || out.write(copy.toLatin1()) < 0) return 1;
    std::fprintf(stderr, "%lld tags\n", static_cast<long long>(tags));
    return 0;
}
