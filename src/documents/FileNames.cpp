// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/FileNames.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#include <climits>
#endif

namespace quillet {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

/// Length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none.
qsizetype SequenceLength(QByteArrayView bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return quint8(bytes[i]); };
    const quint8 lead = byte(at);
    if (lead < 0x80) return 1;
    qsizetype length = 0;
    quint8 low = 0x80;   // the range of the second byte, which rules out overlong forms,
    quint8 high = 0xBF;  // surrogates and code points above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

QString DecodeFileName(QByteArrayView bytes) {
    if (bytes.isValidUtf8()) return QString::fromUtf8(bytes);
    QString name;
    name.reserve(bytes.size());
    qsizetype run = 0;  // start of the valid bytes not yet decoded
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = SequenceLength(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        name.append(QString::fromUtf8(bytes.sliced(run, at - run)));
        name.append(QChar(char16_t(kEscapeBase + quint8(bytes[at]))));
        run = ++at;
    }
    name.append(QString::fromUtf8(bytes.sliced(run)));
    return name;
}

QByteArray EncodeFileName(QStringView name) {
    QByteArray bytes;
    qsizetype run = 0;  // start of the characters not yet encoded
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        // A low surrogate after a high one is half of a pair, not an escaped byte.
        if (!IsEscape(c) || (i > 0 && QChar::isHighSurrogate(name[i - 1].unicode()))) continue;
        bytes.append(name.sliced(run, i - run).toUtf8());
        bytes.append(char(c - kEscapeBase));
        run = i + 1;
    }
    if (run == 0) return name.toUtf8();
    bytes.append(name.sliced(run).toUtf8());
    return bytes;
}

QString AbsoluteFileName(const QString& name) {
#ifdef Q_OS_UNIX
    if (name.startsWith(u'/')) return QDir::cleanPath(name);
    QByteArray folder(PATH_MAX, Qt::Uninitialized);
    if (::getcwd(folder.data(), size_t(folder.size())) == nullptr) return name;
    folder.truncate(qsizetype(qstrlen(folder.constData())));
    return QDir::cleanPath(DecodeFileName(folder) + u'/' + name);
#else
    return QFileInfo(name).absoluteFilePath();
#endif
}

}  // namespace quillet
