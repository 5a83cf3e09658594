// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qsci/qscilexercustom.h>
#include <QColor>

namespace quillet {

/// Colours HTML, and only HTML: tags, attribute names and values, comments, declarations
/// and character references. Text, and what a script or style element holds, stays plain.
/// A "<" that starts no tag ("<?", "<%", "< 3") is text, so a stray one changes nothing
/// after it.
///
/// Each line is coloured from the state in which the line before it ended, which the
/// style of that line's last character tells (and, inside a tag, the line's state tells
/// whether the tag opens a script or style element). So a change is coloured again from
/// the start of its line only, and a page is coloured as far as it is shown.
class HtmlLexer final : public QsciLexerCustom {
    Q_OBJECT

  public:
    enum Style {
        Default,          ///< text
        Tag,              ///< "<", the tag's name, "/" and ">"
        TagInterior,      ///< spaces between the parts of a tag
        AttributeName,    ///< an attribute's name
        AttributeEquals,  ///< "=" and the spaces around it
        DoubleQuoted,     ///< a value in double quotes
        SingleQuoted,     ///< a value in single quotes
        Unquoted,         ///< a value without quotes
        Comment,          ///< "<!-- ... -->"
        Declaration,      ///< "<!DOCTYPE ...>" and other "<! ... >"
        Entity,           ///< a character reference such as "&amp;" or "&#233;"
        ScriptText,       ///< what a script element holds
        StyleText,        ///< what a style element holds
        StyleCount
    };

    explicit HtmlLexer(QObject* parent = nullptr);

    const char* language() const override;
    QString description(int style) const override;
    void styleText(int start, int end) override;

    /// The colour each style is designed with for text on a light background.
    static QColor DesignColour(int style, const QColor& text);
};

}  // namespace quillet
