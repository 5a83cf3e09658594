// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/OptionHelp.h"

#include <QRegularExpression>
#include <QSet>

namespace quillet {

namespace {

/// `text` with its words put into lines that start `indent` columns in and end before
/// `width`; the first line goes on from `line`, which holds what stands before it.
QString Wrapped(const QString& text, int indent, int width, QString line) {
    QString out;
    bool lineHasWords = false;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (lineHasWords && line.size() + 1 + word.size() >= width) {
            out += line + u'\n';
            line = QString(indent, u' ');
            lineHasWords = false;
        }
        if (lineHasWords) line += u' ';
        line += word;
        lineHasWords = true;
    }
    return out + line + u'\n';
}

/// `text`'s characters as roff prints them literally.
QString RoffLiteral(QStringView text) {
    QString out;
    for (const QChar c : text) {
        if (c == u'\\') {
            out += QStringLiteral("\\e");
        } else if (c == u'-') {
            out += QStringLiteral("\\-");
        } else {
            out += c;
        }
    }
    return out;
}

QString Bold(QStringView text) {
    return QStringLiteral("\\fB") + RoffLiteral(text) + QStringLiteral("\\fR");
}

QString Italic(QStringView text) {
    return QStringLiteral("\\fI") + RoffLiteral(text) + QStringLiteral("\\fR");
}

/// The heading in roff: the option in bold, its value's name in italics.
QString RoffHeading(const OptionHelp& option) {
    QString heading;
    if (option.letter)
        heading =
            Bold(QStringLiteral("-") + QChar::fromLatin1(option.letter)) + QStringLiteral(", ");
    heading += Bold(QStringLiteral("--") + QLatin1StringView(option.name));
    switch (option.takes()) {
        case OptionHelp::Takes::Nothing:
            break;
        case OptionHelp::Takes::Value:
            heading += u' ' + Italic(option.valueName());
            break;
        case OptionHelp::Takes::OptionalValue:
            heading += QStringLiteral("[=") + Italic(option.valueName()) + u']';
            break;
    }
    return heading;
}

/// `text` in roff: the table's options in bold, the value names in italics, the rest as
/// it is.
QString RoffText(const QString& text, std::span<const OptionHelp> options,
                 const QSet<QString>& placeholders) {
    QSet<QString> known;
    for (const OptionHelp& option : options) {
        known.insert(QStringLiteral("--") + QLatin1StringView(option.name));
        if (option.letter) known.insert(QStringLiteral("-") + QChar::fromLatin1(option.letter));
    }
    // An option stands on its own (not inside "quillet-html5-parse"); a value's name is a
    // word of capitals.
    static const QRegularExpression kWord(
        QStringLiteral(R"((?<![\w-])(--?[A-Za-z0-9][A-Za-z0-9-]*)|\b([A-Z]+)\b)"));
    QString out;
    qsizetype done = 0;
    for (auto match = kWord.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch word = match.next();
        const bool option = word.hasCaptured(1) && known.contains(word.captured(1));
        const bool placeholder = word.hasCaptured(2) && placeholders.contains(word.captured(2));
        if (!option && !placeholder) continue;
        out += RoffLiteral(QStringView(text).mid(done, word.capturedStart() - done));
        out += option ? Bold(word.captured()) : Italic(word.captured());
        done = word.capturedEnd();
    }
    out += RoffLiteral(QStringView(text).mid(done));
    // A line that starts with a period or an apostrophe would be read as a request.
    if (out.startsWith(u'.') || out.startsWith(u'\'')) out.prepend(QStringLiteral("\\&"));
    return out;
}

}  // namespace

OptionHelp::Takes OptionHelp::takes() const {
    if (!value) return Takes::Nothing;
    return value[0] == '[' ? Takes::OptionalValue : Takes::Value;
}

QString OptionHelp::valueName() const {
    QString name = QString::fromLatin1(value ? value : "");
    if (takes() == Takes::OptionalValue) name = name.mid(2).chopped(1);  // "[=" NAME "]"
    return name;
}

QString OptionHeading(const OptionHelp& option) {
    QString heading;
    if (option.letter) heading = QStringLiteral("-%1, ").arg(QChar::fromLatin1(option.letter));
    heading += QStringLiteral("--") + QLatin1StringView(option.name);
    switch (option.takes()) {
        case OptionHelp::Takes::Nothing:
            break;
        case OptionHelp::Takes::Value:
            heading += u' ' + option.valueName();
            break;
        case OptionHelp::Takes::OptionalValue:
            heading += QLatin1StringView(option.value);
            break;
    }
    return heading;
}

QString WrappedText(const QString& text, int indent, int width) {
    return Wrapped(text, indent, width, QString(indent, u' '));
}

QString HelpLines(std::span<const OptionHelp> options, const QString& group, int column,
                  int width) {
    QString out;
    for (const OptionHelp& option : options) {
        if (group != QLatin1StringView(option.group)) continue;
        QString line = QStringLiteral("  ") + OptionHeading(option);
        if (line.size() + 2 > column) {
            out += line + u'\n';
            line.clear();
        }
        line = line.leftJustified(column, u' ');
        out += Wrapped(QString::fromLatin1(option.help), column, width, line);
    }
    return out;
}

QString ManualEntries(std::span<const OptionHelp> options, const QString& group,
                      const QStringList& placeholders) {
    QSet<QString> names(placeholders.begin(), placeholders.end());
    for (const OptionHelp& option : options) {
        if (option.value) names.insert(option.valueName());
    }
    QString out;
    for (const OptionHelp& option : options) {
        if (group != QLatin1StringView(option.group)) continue;
        QString text = QString::fromLatin1(option.help);
        if (option.more) text += u' ' + QString::fromLatin1(option.more);
        out += QStringLiteral(".TP\n") + RoffHeading(option) + u'\n' +
               RoffText(text, options, names) + u'\n';
    }
    return out;
}

std::optional<QString> FillManualOptions(const QString& manual, std::span<const OptionHelp> options,
                                         const QStringList& placeholders, QString* problem) {
    QSet<QString> placed;
    QStringList lines = manual.split(u'\n');
    for (QString& line : lines) {
        if (!line.startsWith(QStringLiteral("@OPTIONS ")) || !line.endsWith(u'@')) continue;
        const QString group = line.mid(9).chopped(1);
        const QString entries = ManualEntries(options, group, placeholders);
        if (entries.isEmpty()) {
            *problem = QStringLiteral("no option is in the group \"%1\"").arg(group);
            return std::nullopt;
        }
        line = entries.chopped(1);  // the lines are joined again below
        placed.insert(group);
    }
    for (const OptionHelp& option : options) {
        if (!placed.contains(QLatin1StringView(option.group))) {
            *problem = QStringLiteral("the page has no place for the group \"%1\" (--%2)")
                           .arg(QLatin1StringView(option.group), QLatin1StringView(option.name));
            return std::nullopt;
        }
    }
    return lines.join(u'\n');
}

}  // namespace quillet
