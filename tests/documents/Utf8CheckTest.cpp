// SPDX-License-Identifier: GPL-3.0-or-later
// The UTF-8 check against Qt's own (QByteArrayView::isValidUtf8): on every short string of
// bytes that can start a character, and on long mixed texts fed in random slices, so that
// characters fall across the 16-byte steps and across the slices.
#include "documents/PageDecoding.h"
#include "documents/Utf8Check.h"

#include <gtest/gtest.h>
#include <random>

namespace quillet {
namespace {

/// The bytes of `values`.
QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int value : values) bytes.append(char(value));
    return bytes;
}

/// The check of `bytes` fed in the slices that end at `cuts` (ascending), then the rest.
Utf8Check CheckedInSlices(QByteArrayView bytes, const std::vector<qsizetype>& cuts) {
    Utf8Check check;
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        check.add(bytes.sliced(from, cut - from));
        from = cut;
    }
    check.add(bytes.sliced(from));
    return check;
}

TEST(Utf8Check, AgreesWithQtOnEveryShortString) {
    // Every byte as the first of two, and every pair after a first byte that starts a
    // character or is close to one that does; behind fifteen ASCII bytes too, so that the
    // string also ends a 16-byte step.
    const QByteArray padding(15, 'a');
    QByteArray bytes;
    const auto agree = [&](const QByteArray& text) {
        ASSERT_EQ(IsValidUtf8(text), text.isValidUtf8()) << text.toHex().toStdString();
        const QByteArray padded = padding + text;
        ASSERT_EQ(IsValidUtf8(padded), padded.isValidUtf8()) << text.toHex().toStdString();
        ASSERT_EQ(CheckedInSlices(padded, {std::min<qsizetype>(16, padded.size())}).valid(),
                  padded.isValidUtf8())
            << text.toHex().toStdString();
    };
    agree(QByteArray());  // no bytes at all, and no data
    agree(QByteArray(""));
    for (int first = 0; first < 256; ++first) {
        agree(Bytes({first}));
        for (int second = 0; second < 256; ++second) agree(Bytes({first, second}));
    }
    const int firsts[] = {0x41, 0x7F, 0x80, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC,
                          0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF8, 0xFF};
    for (const int first : firsts) {
        for (int second = 0; second < 256; ++second) {
            for (int third = 0; third < 256; ++third) {
                agree(Bytes({first, second, third}));
            }
            for (const int last : {0x00, 0x41, 0x80, 0x8F, 0x90, 0xBF, 0xC0}) {
                agree(Bytes({first, second, 0x80, last}));
            }
        }
    }
}

TEST(Utf8Check, AgreesWithQtOnLongMixedTextsInSlices) {
    // Pieces: ASCII runs, characters of two to four bytes, and now and then bytes that are
    // not UTF-8 (a stray continuation, an overlong form, a surrogate, a cut character).
    const QByteArray good[] = {"a",
                               "abcdefghijklmnopqrstuvwxyz <p>",
                               "\xc3\xa9",
                               "\xc2\x80",
                               "\xdf\xbf",
                               "\xe2\x82\xac",
                               "\xe0\xa0\x80",
                               "\xed\x9f\xbf",
                               "\xef\xbf\xbf",
                               "\xf0\x90\x80\x80",
                               "\xf4\x8f\xbf\xbf"};
    const QByteArray bad[] = {"\x80",         "\xc0\xaf",         "\xe0\x80\xaf",
                              "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80",
                              "\xc3",         "\xe2\x82",         "\xff"};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        QByteArray text;
        const int pieces = int(random() % 200);
        for (int i = 0; i < pieces; ++i) text += good[random() % std::size(good)];
        if (random() % 2)
            text.insert(qsizetype(random() % (text.size() + 1)), bad[random() % std::size(bad)]);
        std::vector<qsizetype> cuts;
        for (qsizetype at = 0; (at += qsizetype(random() % 40)) < text.size();) cuts.push_back(at);
        const Utf8Check check = CheckedInSlices(text, cuts);
        const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0; });
        ASSERT_EQ(IsValidUtf8(text), text.isValidUtf8()) << text.toHex().toStdString();
        ASSERT_EQ(check.valid(), text.isValidUtf8()) << text.toHex().toStdString();
        ASSERT_EQ(IsAscii(text), ascii);
        ASSERT_EQ(check.ascii(), ascii) << text.toHex().toStdString();
    }
}

}  // namespace
}  // namespace quillet
