// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageGenerator.h"

#include <array>

namespace quillet::bench {

namespace {

/// xorshift32: the same page for the same seed on every machine.
class Random {
  public:
    explicit Random(std::uint32_t seed) : state_(seed ? seed : 1) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int Below(int n) { return int(Next() % std::uint32_t(n)); }

  private:
    std::uint32_t state_;
};

constexpr std::array kWords = {
    "the",     "garden", "river",   "old",      "mill",         "bread",    "summer", "road",
    "village", "church", "caf\xe9", "na\xefve", "r\xe9sum\xe9", "bicycle",  "market", "street",
    "meeting", "letter", "winter",  "light",    "and",          "of",       "to",     "in",
    "with",    "a",      "for",     "stone",    "bridge",       "\xc5land",
};
constexpr std::array kInline = {"B",    "I",      "A HREF=\"page.htm\"", "FONT SIZE=2",
                                "EM",   "STRONG", "SPAN CLASS=note",     "U",
                                "CODE", "TT"};
constexpr std::array kInlineClose = {"B",      "I",    "A", "FONT", "EM",
                                     "STRONG", "SPAN", "U", "CODE", "TT"};

class Writer {
  public:
    Writer(QByteArray& out, Random& random) : out_(out), random_(random) {}

    /// About 40 characters of text with one inline tag pair or line break in it.
    void Sentence() {
        const int words = 6 + random_.Below(6);
        for (int w = 0; w < words; ++w) {
            if (w) out_.append(random_.Below(12) == 0 ? "   " : " ");
            if (w == 2) {
                // Half the sentences carry an inline element, a few a line break.
                const int k = random_.Below(2 * int(kInline.size()) + 1);
                if (k < int(kInline.size())) {
                    out_.append('<').append(kInline[k]).append('>');
                    Word();
                    out_.append("</").append(kInlineClose[k]).append('>');
                    continue;
                }
                if (k == int(kInline.size())) out_.append("<BR>");
            }
            Word();
        }
        out_.append(random_.Below(5) == 0 ? ".\r\n" : ". ");
    }

    void Word() { out_.append(kWords[random_.Below(int(kWords.size()))]); }

    void Paragraph() {
        out_.append(random_.Below(4) == 0   ? "<P ALIGN=JUSTIFY>"
                    : random_.Below(6) == 0 ? "<p>"
                                            : "<P>");
        const int sentences = 3 + random_.Below(6);
        for (int s = 0; s < sentences; ++s) Sentence();
        if (random_.Below(8) == 0) out_.append("</P>");
        out_.append("\r\n");
    }

    void Block() {
        const int kind = random_.Below(20);
        if (kind < 13) {
            Paragraph();
        } else if (kind < 15) {
            out_.append("<H2>");
            Word();
            out_.append(' ');
            Word();
            out_.append("</H2>\r\n");
        } else if (kind < 17) {
            out_.append("<UL>\r\n");
            for (int i = 0, n = 2 + random_.Below(4); i < n; ++i) {
                out_.append("<LI>");
                Sentence();
                out_.append("\r\n");
            }
            out_.append("</UL>\r\n");
        } else if (kind < 18) {
            out_.append("<TABLE BORDER=1>\r\n");
            for (int r = 0, rows = 2 + random_.Below(3); r < rows; ++r) {
                out_.append("<TR>");
                for (int c = 0; c < 3; ++c) {
                    out_.append(c == 1 ? "<TD><P>" : "<TD>");
                    Word();
                    out_.append(' ');
                    Word();
                }
                out_.append("\r\n");
            }
            out_.append("</TABLE>\r\n");
        } else {
            out_.append("<!-- section ");
            Word();
            out_.append(" -->\r\n<HR>\r\n");
        }
    }

  private:
    QByteArray& out_;
    Random& random_;
};

}  // namespace

QByteArray GenerateOldPage(qint64 bytes, std::uint32_t seed) {
    QByteArray page;
    page.reserve(bytes + 4096);
    Random random(seed);
    Writer writer(page, random);
    page.append(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n<HTML>\r\n<HEAD>\r\n"
        "<TITLE>Generated page</TITLE>\r\n</HEAD>\r\n<BODY>\r\n<H1>Generated page</H1>\r\n");
    while (page.size() < bytes - 20) writer.Block();
    page.append("</BODY>\r\n</HTML>\r\n");
    return page;
}

}  // namespace quillet::bench
