// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

namespace quillet {

/// Whether `bytes` are all ASCII (below 0x80).
bool IsAscii(QByteArrayView bytes);

/// Whether `bytes` are valid UTF-8: every character in its shortest form, none a surrogate
/// (U+D800 to U+DFFF) or beyond U+10FFFF; the same answer as QByteArrayView::isValidUtf8,
/// faster on the mostly ASCII text of a page, whose ASCII runs it passes sixteen bytes at
/// a time.
bool IsValidUtf8(QByteArrayView bytes);

/// Checks bytes that come a piece at a time for valid UTF-8 and for ASCII alone, as
/// IsValidUtf8 and IsAscii check them all at once: a reader that checks each piece as it
/// reads it finds the answers while the bytes are still in the processor's cache. A
/// character may run on from one piece into the next.
class Utf8Check {
  public:
    /// Checks the next bytes.
    void add(QByteArrayView bytes);
    /// Whether the bytes so far are valid UTF-8, the last character whole.
    bool valid() const { return valid_ && pendingLength_ == 0; }
    /// Whether the bytes so far are all ASCII.
    bool ascii() const { return ascii_; }

  private:
    bool valid_ = true;
    bool ascii_ = true;
    unsigned char pending_[4] = {};  // a character begun at the end of the last piece
    int pendingLength_ = 0;
};

}  // namespace quillet
