#include "DocumentGenerator.h"

#include <algorithm>

namespace quillet::test {

namespace {

const QString kLetters =
    QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");

// Names as the tag scan reads them, in several cases; some are list entries, some not.
const QStringList kTagNames = {
    QStringLiteral("b"),     QStringLiteral("B"),     QStringLiteral("i"),
    QStringLiteral("br"),    QStringLiteral("br/"),   QStringLiteral("BR/"),
    QStringLiteral("div"),   QStringLiteral("DIV"),   QStringLiteral("td"),
    QStringLiteral("h1"),    QStringLiteral("H1"),    QStringLiteral("span"),
    QStringLiteral("pre"),   QStringLiteral("param"), QStringLiteral("em"),
    QStringLiteral("a"),     QStringLiteral("table"), QStringLiteral("li"),
    QStringLiteral("font"),  QStringLiteral("hr"),    QStringLiteral("img"),
    QStringLiteral("x1"),    QStringLiteral("3d"),    QStringLiteral("a/b"),
    QStringLiteral("Center")};

}  // namespace

quint64 DocumentGenerator::Next() {
    // splitmix64: the same sequence on every platform and standard library.
    quint64 z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

QString DocumentGenerator::Word() {
    QString word;
    const int length = 1 + Below(8);
    for (int i = 0; i < length; ++i) word += kLetters.at(Below(kLetters.size()));
    return word;
}

QString DocumentGenerator::TagName() {
    const QString name = Pick(kTagNames);
    return Chance(20) ? name.toUpper() : name;
}

QString DocumentGenerator::Token() {
    const int roll = Below(40);
    // The commonest pieces first, by weight.
    if (roll < 8) return Word();
    if (roll < 11) return QStringLiteral(" ");
    if (roll < 14) return QStringLiteral("<p>");
    if (roll < 16) return QStringLiteral("</p>");
    if (roll < 19) return QLatin1Char('<') + TagName() + QLatin1Char('>');
    if (roll < 21) return QStringLiteral("</") + TagName() + QLatin1Char('>');
    switch (roll) {
        case 21:
            return QString(2 + Below(5), QLatin1Char(' '));
        case 22:
            return QStringLiteral("\t");
        case 23:
            return Pick({QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r"),
                         QStringLiteral("\r\r\n"), QStringLiteral("\n\r"), QStringLiteral(" \r\n "),
                         QStringLiteral("\r\n\r\n")});
        case 24:
            return Pick({QStringLiteral("<P>"), QStringLiteral("<p align=x>"),
                         QStringLiteral("<P\n>"), QStringLiteral("<p >"),
                         QStringLiteral("<P ALIGN=\"center\">"), QStringLiteral("<p\r\nclass=a>"),
                         QStringLiteral("<p/>"), QStringLiteral("<pp>")});
        case 25:
            return Pick({QStringLiteral("</P>"), QStringLiteral("</p >"), QStringLiteral("</ p>"),
                         QStringLiteral("</P\n>"), QStringLiteral("</p/>")});
        case 26:
            return QLatin1Char('<') + TagName() + QStringLiteral(" class=\"x  y\">");
        case 27:
            return Pick({QStringLiteral("<br/>"), QStringLiteral("<BR/>"), QStringLiteral("<br />"),
                         QStringLiteral("<img src=x/>")});
        case 28:
            return Pick({QStringLiteral("< "), QStringLiteral("<<"), QStringLiteral("a < b"),
                         QStringLiteral("<\t"), QStringLiteral("<\r\n")});
        case 29:
            return Pick({QStringLiteral("<!-- note -->"), QStringLiteral("<!---->"),
                         QStringLiteral("<!DOCTYPE html>"), QStringLiteral("<?xml?>"),
                         QStringLiteral("<!-- <p> -->")});
        case 30:
            return Pick({QStringLiteral("<\u00e9>"), QStringLiteral("<\u0416x>"),
                         QStringLiteral("<\u00c9t>"), QStringLiteral("\u00e9t\u00e9"),
                         QStringLiteral("\u0416\u0418")});
        case 31:
            return Pick({QString(QChar(u'\0')), QStringLiteral("<") + QChar(u'\0') + u'>',
                         QStringLiteral("a") + QChar(u'\0') + u' '});
        case 32:
            return Pick({QString::fromUtf16(u"\U0001F600"), QString::fromUtf16(u"<\U0001F600>"),
                         QString(QChar(0xD83D)), QStringLiteral("<") + QChar(0xDE00)});
        case 33:
            return Pick({QStringLiteral(">"), QStringLiteral("p>"), QStringLiteral("/p>")});
        case 34:
            return Pick({QStringLiteral("<h1>"), QStringLiteral("<H1>"), QStringLiteral("</H1>"),
                         QStringLiteral("<h2 id=x>"), QStringLiteral("</h2>")});
        case 35:
            return QStringLiteral("<p>") + Word() + QStringLiteral("\r\n") + Word() +
                   QStringLiteral("</p>");
        case 36:
            return Pick({QStringLiteral("<tr><td>"), QStringLiteral("</td></tr>"),
                         QStringLiteral("<li>"), QStringLiteral("</li>")});
        case 37:
            return Pick(
                {QStringLiteral("<a href=x>"), QStringLiteral("</a>"), QStringLiteral("<a/b>")});
        default:
            return Word() + QLatin1Char(' ');
    }
}

QString DocumentGenerator::Ending() {
    // "<" as the last and as the second-to-last character, among other endings.
    static const QStringList endings = {QStringLiteral("<"),
                                        QStringLiteral("<x"),
                                        QStringLiteral("<<"),
                                        QStringLiteral("< "),
                                        QStringLiteral("<P"),
                                        QStringLiteral("</"),
                                        QStringLiteral("<p"),
                                        QStringLiteral(" "),
                                        QStringLiteral("  "),
                                        QStringLiteral("\r"),
                                        QString(),
                                        QString()};
    return Pick(endings);
}

QString DocumentGenerator::Body(qsizetype minLength) {
    QString body;
    while (body.size() < minLength) {
        // Exact paragraph marks, also where two tokens meet, would split the stretch.
        const QString joint = body.right(3) + Token();
        if (joint.contains(QStringLiteral("<p>")) || joint.contains(QStringLiteral("</p>")))
            continue;
        body += QStringView(joint).mid(std::min<qsizetype>(3, body.size()));
    }
    return body;
}

QString DocumentGenerator::Document() {
    const int shape = Below(100);
    if (shape < 2) return {};
    if (shape < 4) return QString(Below(6), QLatin1Char(' '));
    const int tokens = shape < 80 ? Below(40) : 40 + Below(400);
    QString document;
    if (Chance(15)) document += QString(1 + Below(4), QLatin1Char(' '));
    for (int i = 0; i < tokens; ++i) document += Token();
    document += Ending();
    return document;
}

QString DocumentGenerator::LongDocument() {
    QString document;
    for (int i = Below(20); i > 0; --i) document += Token();
    if (Chance(50)) document += Body(33'000 + Below(40'000));
    document += QStringLiteral("<p>");
    if (Chance(30)) document += QString(33'000 + Below(10'000), QLatin1Char(' '));
    document += Body(40'000 + Below(40'000));
    document += QStringLiteral("</p>");
    for (int i = Below(20); i > 0; --i) document += Token();
    document += Ending();
    return document;
}

QString DocumentGenerator::LineText() {
    static const QStringList pieces = {
        QStringLiteral(" "),    QStringLiteral("  "), QStringLiteral("\r"), QStringLiteral("\n"),
        QStringLiteral("\r\n"), QStringLiteral("\t"), QStringLiteral("a"),  QStringLiteral("bc")};
    QString text;
    for (int i = Below(12); i > 0; --i) text += Pick(pieces);
    return text;
}

QStringList DocumentGenerator::SkipList() {
    static const QStringList pool = {
        QStringLiteral(""),    QStringLiteral("b"),   QStringLiteral("i"),
        QStringLiteral("br"),  QStringLiteral("br/"), QStringLiteral("span"),
        QStringLiteral("em"),  QStringLiteral("a"),   QStringLiteral("font"),
        QStringLiteral("img"), QStringLiteral("h1"),  QStringLiteral("pre"),
        QStringLiteral("p"),   QStringLiteral("td"),  QStringLiteral("Div"),
        QStringLiteral("x1"),  QStringLiteral("a/b"), QStringLiteral("/b")};
    QStringList list;
    for (const QString& name : pool)
        if (Chance(45)) list << name;
    return list;
}

QStringList DocumentGenerator::IncludeList() {
    static const QStringList pool = {
        QStringLiteral("/div"),    QStringLiteral("/td"), QStringLiteral("/b"),
        QStringLiteral("/"),       QStringLiteral("/h1"), QStringLiteral("/table"),
        QStringLiteral("/p"),      QStringLiteral("/li"), QStringLiteral("/h2"),
        QStringLiteral("/center"), QStringLiteral("/TD"), QStringLiteral("div"),
        QStringLiteral("/a/b"),    QStringLiteral("/a")};
    QStringList list;
    for (const QString& name : pool)
        if (Chance(45)) list << name;
    return list;
}

}  // namespace quillet::test
