#include "PageGenerator.h"

#include <array>
#include <string_view>

namespace quillet::bench {

namespace {

/// A small deterministic generator (xorshift32), the same on every platform.
class Random {
  public:
    explicit Random(quint32 seed) : state_(seed ? seed : 0x9E3779B9u) {}
    quint32 next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    /// A number from 0 to n - 1.
    int below(int n) { return int(next() % quint32(n)); }
    bool chance(int percent) { return below(100) < percent; }

  private:
    quint32 state_;
};

constexpr std::array<std::string_view, 40> kWords = {
    "the",
    "caf\xE9",
    "opened",
    "its",
    "doors",
    "in",
    "spring",
    "of",
    "bakery",
    "corner",
    "Mill",
    "Street",
    "menu",
    "fitted",
    "on",
    "a",
    "single",
    "card",
    "dining",
    "room",
    "doubled",
    "size",
    "copper",
    "counter",
    "salvaged",
    "from",
    "Lyon",
    "bistro",
    "arrived",
    "that",
    "same",
    "year",
    "polished",
    "every",
    "morning",
    "since",
    "na\xEFve",
    "cr\xE8me",
    "p\xE2t\xE9",
    "\xAB"
    "bon\xBB",
};

class PageWriter {
  public:
    PageWriter(QByteArray& out, Random& random) : out_(out), random_(random) {}

    void text(std::string_view s) { out_.append(s.data(), qsizetype(s.size())); }
    void line() { text("\r\n"); }

    void word() {
        text(kWords[size_t(random_.below(int(kWords.size())))]);
        // Now and then an apostrophe of the code page, or a dash.
        if (random_.chance(2)) text("\x92s");
        if (random_.chance(1)) text(" \x97");
    }

    /// Words with inline tags among them, one tag every six words or so, broken into
    /// CRLF lines with now and then a run of spaces.
    void words(int count) {
        int onLine = 0;
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                if (onLine >= 9 && random_.chance(40)) {
                    line();
                    onLine = 0;
                } else {
                    text(random_.chance(6) ? (random_.chance(50) ? "  " : "   ") : " ");
                }
            }
            if (random_.chance(5)) {
                inlineTag();
            } else {
                word();
            }
            ++onLine;
        }
    }

    void inlineTag() {
        switch (random_.below(7)) {
            case 0:
                text("<B>");
                word();
                text("</B>");
                break;
            case 1:
                text("<I>");
                word();
                text("</I>");
                break;
            case 2:
                text("<A HREF=\"page");
                text(std::string_view("0123456789").substr(size_t(random_.below(10)), 1));
                text(".htm\">");
                word();
                text("</A>");
                break;
            case 3:
                text("<FONT SIZE=-1>");
                word();
                text("</FONT>");
                break;
            case 4:
                word();
                text("<BR>");
                break;
            case 5:
                text("<IMG SRC=\"dot.gif\" WIDTH=8 HEIGHT=8>");
                break;
            default:
                text("<EM>");
                word();
                text("</EM>");
                break;
        }
    }

    void paragraph() {
        const int kind = random_.below(10);
        text(kind == 0 ? "<P ALIGN=CENTER>" : kind == 1 ? "<p>" : "<P>");
        words(12 + random_.below(50));
        // Most paragraphs stay open; a few are closed by hand.
        if (random_.chance(8)) text("</P>");
        line();
    }

    void block() {
        const int kind = random_.below(100);
        if (kind < 62) {
            paragraph();
        } else if (kind < 72) {
            text(random_.chance(50) ? "<H2>" : "<H3>");
            words(2 + random_.below(4));
            text(random_.chance(50) ? "</H2>" : "</H3>");
            line();
        } else if (kind < 80) {
            text("<UL>");
            line();
            for (int i = 2 + random_.below(5); i > 0; --i) {
                text("<LI>");
                words(3 + random_.below(8));
                line();
            }
            text("</UL>");
            line();
        } else if (kind < 87) {
            text("<TABLE BORDER=1 CELLPADDING=4>");
            line();
            for (int i = 2 + random_.below(4); i > 0; --i) {
                text("<TR><TD><P>");
                words(1 + random_.below(3));
                text("<TD>");
                text(std::string_view("1.802.403.10").substr(size_t(random_.below(3)) * 4, 4));
                line();
            }
            text("</TABLE>");
            line();
        } else if (kind < 93) {
            text("<!-- ");
            words(3 + random_.below(6));
            text(" -->");
            line();
        } else if (kind < 97) {
            text("<HR>");
            line();
        } else {
            text("<CENTER><IMG SRC=\"logo.gif\" ALT=\"");
            word();
            text("\" WIDTH=320 HEIGHT=80></CENTER>");
            line();
        }
    }

  private:
    QByteArray& out_;
    Random& random_;
};

}  // namespace

QByteArray GenerateOldPage(qsizetype size, quint32 seed) {
    Random random(seed);
    QByteArray page;
    page.reserve(size + 4096);
    PageWriter writer(page, random);
    writer.text(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n<HTML>\r\n<HEAD>\r\n");
    writer.text("<TITLE>Caf\xE9 Lumi\xE8re</TITLE>\r\n</HEAD>\r\n<BODY BGCOLOR=\"#FFFFFF\">\r\n");
    const std::string_view end = "</BODY>\r\n</HTML>\r\n";
    while (page.size() + qsizetype(end.size()) < size) writer.block();
    writer.text(end);
    return page;
}

}  // namespace quillet::bench
