// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace quillet {

/// An encoding a page is read and written in, with or without its byte-order mark.
///
/// Decoding and encoding are lossless or refused: `decode` gives a text only when encoding
/// it again gives back exactly the same bytes, and `encode` refuses a character the
/// encoding cannot hold instead of writing another byte for it.
class TextEncoding {
  public:
    enum class Kind {
        Windows1252,  ///< the lossless code page of CodePage.h
        Utf8,
        Utf16LE,
        Utf16BE,
        Other,  ///< any other encoding Qt knows, by its name
    };

    /// Windows-1252, the encoding of a page that says nothing else.
    TextEncoding() = default;
    static TextEncoding Windows1252() { return TextEncoding(); }
    static TextEncoding Utf8(bool byteOrderMark = false);
    static TextEncoding Utf16LE(bool byteOrderMark = false);
    static TextEncoding Utf16BE(bool byteOrderMark = false);

    /// The encoding of a name the user gives: "windows-1252", "utf-8", "utf-16" (little
    /// endian), "utf-16le", "utf-16be", or any other name Qt knows ("ISO-8859-2",
    /// "latin2", "KOI8-R"), in any letter case; "ISO-8859-16" also when Qt lacks it, from a
    /// table of its own. Nothing for an unknown name.
    static std::optional<TextEncoding> ForName(QStringView name);

    Kind kind() const { return kind_; }
    /// The usual name: "UTF-8", "UTF-16LE", "Windows-1252", "ISO-8859-2".
    QString name() const;
    /// The same encoding under another name (a browser's name for a converter that Qt
    /// names otherwise, such as "EUC-KR" for Qt's "windows-949").
    TextEncoding withName(const QString& name) const;
    /// The name, with "with byte-order mark" when the page carries one.
    QString description() const;
    bool hasByteOrderMark() const { return byteOrderMark_; }
    /// The same encoding with or without the byte-order mark (Unicode encodings only).
    TextEncoding withByteOrderMark(bool mark) const;
    /// The bytes of the byte-order mark written before the text; empty when none.
    QByteArrayView byteOrderMark() const;
    /// The same encoding with a byte that a damaged UTF-16 page holds after its last whole
    /// code unit, which `encode` writes back after the text as it was (UTF-16 only).
    TextEncoding withStrayByte(std::optional<char> byte) const;
    /// That byte; empty when there is none.
    QByteArrayView strayByte() const;

    /// Whether every byte below 0x80 of a page in this encoding is the ASCII character of
    /// that value and every ASCII character is that one byte, so that the page's ASCII can
    /// be read and changed in its bytes: true for Windows-1252, UTF-8 and the single-byte
    /// codes that extend ASCII (ISO-8859-x, KOI8-R); false for UTF-16 and for codes whose
    /// characters can take bytes below 0x80 (Shift_JIS, Big5, ISO-2022-JP, UTF-7).
    bool asciiTransparent() const { return asciiTransparent_; }
    /// Whether the page's code units are 16 bits wide (UTF-16 of either byte order).
    bool isUtf16() const { return kind_ == Kind::Utf16LE || kind_ == Kind::Utf16BE; }

    /// The text of `body`, the page's bytes after its byte-order mark; nothing when a byte
    /// is not valid in the encoding or the text would not encode back to the same bytes.
    std::optional<QString> decode(QByteArrayView body) const;

    /// For UTF-16: the whole code units of `body` as they are, a surrogate that is not half
    /// of a pair included, without a last odd byte. Empty for other encodings.
    QString decodeUnits(QByteArrayView body) const;

    /// The page's bytes for `text`: the byte-order mark, if any, the encoded text and the
    /// stray byte, if any. UTF-16 writes every 16-bit unit as it is, so a surrogate that is
    /// not half of a pair (read from a damaged page) goes back where it was. When a
    /// character has no bytes in the encoding, nothing, and the 0-based position of the
    /// first such character in `*badPosition`.
    std::optional<QByteArray> encode(QStringView text, qsizetype* badPosition) const;

    /// Describes the character at `position` that the encoding cannot hold, with its line
    /// and column, for a message.
    QString describeUnencodable(QStringView text, qsizetype position) const;

    friend bool operator==(const TextEncoding&, const TextEncoding&) = default;

  private:
    TextEncoding(Kind kind, QByteArray qtName, bool mark, bool asciiTransparent);

    Kind kind_ = Kind::Windows1252;
    QByteArray qtName_;  // the name Qt's converters take; empty for Windows-1252
    QString name_;       // the name shown, when it is not Qt's
    /// The characters of the bytes 0x80-0xFF of a code page read from a table of this
    /// program's own instead of Qt's converters; null for those.
    const char16_t* highHalf_ = nullptr;
    bool byteOrderMark_ = false;
    bool asciiTransparent_ = true;
    std::optional<char> strayByte_;
};

/// The position of the first surrogate from `from` on that is not half of a pair, or -1.
qsizetype FindLoneSurrogate(QStringView text, qsizetype from = 0);

/// `text` in UTF-8, in which a surrogate that is not half of a pair (read from a damaged
/// UTF-16 page) is written as the three bytes UTF-8 gives any other 16-bit value
/// (ED A0..BF 80..BF), so that FromGeneralizedUtf8 gives the same 16-bit units back. A
/// text without such a surrogate gives plain UTF-8.
QByteArray ToGeneralizedUtf8(QStringView text);
/// The 16-bit text of bytes in the form ToGeneralizedUtf8 writes. When a byte is part of
/// neither a character nor such a surrogate, nothing, and its offset in `*badOffset`.
std::optional<QString> FromGeneralizedUtf8(QByteArrayView bytes, qsizetype* badOffset);

}  // namespace quillet
