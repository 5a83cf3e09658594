// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace quillet {

/// A stretch of a text: `length` code units from the 0-based `start`.
struct TextSpan {
    qint64 start = 0;
    qint64 length = 0;

    friend bool operator==(const TextSpan&, const TextSpan&) = default;
};

/// A text as the repair routines read it: its own code units, neither copied nor
/// converted. The units are 16 bits wide (UTF-16), or bytes of an encoding in which every
/// byte below 0x80 is that ASCII character and never part of another character (UTF-8,
/// Windows-1252, the ISO-8859 codes). The routines decide by ASCII characters alone and
/// change nothing else, so they read such bytes as they read 16-bit units.
///
/// Counts are in 16-bit characters of the decoded text whatever the width: in UTF-8 a
/// sequence counts one, and two for a character beyond U+FFFF. The object only refers to
/// the units, which must outlive it.
class TextUnits {
  public:
    enum class Kind {
        Utf16,       ///< 16-bit units
        Utf8,        ///< valid UTF-8
        SingleByte,  ///< one byte a character (Windows-1252, ISO-8859-x, ...)
    };

    TextUnits() = default;
    static TextUnits Utf16(QStringView text) { return {text.utf16(), text.size(), Kind::Utf16}; }
    static TextUnits Utf8(QByteArrayView bytes) { return {bytes.data(), bytes.size(), Kind::Utf8}; }
    static TextUnits SingleByte(QByteArrayView bytes) {
        return {bytes.data(), bytes.size(), Kind::SingleByte};
    }

    Kind kind() const { return kind_; }
    bool isUtf16() const { return kind_ == Kind::Utf16; }
    /// The number of code units.
    qint64 size() const { return size_; }
    /// The units of a 16-bit text.
    QStringView utf16() const {
        return QStringView(static_cast<const char16_t*>(data_), isUtf16() ? size_ : 0);
    }
    /// The units of an 8-bit text.
    QByteArrayView bytes() const {
        return QByteArrayView(static_cast<const char*>(data_), isUtf16() ? 0 : size_);
    }

    /// The 16-bit characters that the units [`from`, `to`) make; both ends must stand at
    /// the start of a character (or at the end).
    qint64 characters(qint64 from, qint64 to) const;
    qint64 characters() const { return counted_ >= 0 ? counted_ : characters(0, size_); }
    /// The same units, with the characters of them all counted already (`characters()`),
    /// so that a caller and the routine it hands them to count them once between them.
    TextUnits withCharacters(qint64 characters) const {
        TextUnits units = *this;
        units.counted_ = characters;
        return units;
    }

  private:
    TextUnits(const void* data, qint64 size, Kind kind) : data_(data), size_(size), kind_(kind) {}

    const void* data_ = nullptr;
    qint64 size_ = 0;
    Kind kind_ = Kind::Utf16;
    qint64 counted_ = -1;  // the characters of them all, when known
};

/// Counts the characters of a text's prefix as it grows, so that a pass that reports the
/// characters left at every step reads each unit once in all.
class CharacterCursor {
  public:
    explicit CharacterCursor(const TextUnits& text) : text_(text) {}

    /// The characters before the unit `position`, which is never below the last one asked.
    qint64 before(qint64 position) {
        if (text_.kind() != TextUnits::Kind::Utf8) return position;
        counted_ += text_.characters(at_, position);
        at_ = position;
        return counted_;
    }

  private:
    TextUnits text_;
    qint64 at_ = 0;
    qint64 counted_ = 0;
};

/// `text` with `insert` before each of `offsets` (ascending, 0-based).
QString WithInsertions(QStringView text, const QList<qint64>& offsets, QStringView insert);
QByteArray WithInsertions(QByteArrayView text, const QList<qint64>& offsets, QByteArrayView insert);
/// The spans of `text` one after another.
QString KeptText(QStringView text, const QList<TextSpan>& kept);
QByteArray KeptText(QByteArrayView text, const QList<TextSpan>& kept);

}  // namespace quillet
