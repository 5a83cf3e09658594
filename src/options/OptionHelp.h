// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <span>

namespace quillet {

/// One option of a program's command line, as its parser reads it and as its --help and
/// its manual page describe it. Each program keeps one table of them, so that the three
/// cannot drift apart.
struct OptionHelp {
    char letter = 0;              ///< the short option's letter; 0 when there is none
    const char* name = nullptr;   ///< the long name, without "--"
    const char* value = nullptr;  ///< the value's name ("GLOB"), "[=SUFFIX]" when it may be
                                  ///< left out; null when the option takes none
    const char* group = nullptr;  ///< the heading it is listed under
    const char* help = nullptr;   ///< what it does, in plain text: --help and the manual
    const char* more = nullptr;   ///< what the manual page says beyond that; may be null

    enum class Takes { Nothing, Value, OptionalValue };
    Takes takes() const;
    /// The value's name alone ("SUFFIX" for "[=SUFFIX]"); empty when there is none.
    QString valueName() const;
};

/// How --help and the manual head an option: "-r, --recursive", "--include GLOB",
/// "--backup[=SUFFIX]".
QString OptionHeading(const OptionHelp& option);

/// `text` in lines that start `indent` columns in and end before `width`.
QString WrappedText(const QString& text, int indent, int width = 80);

/// The lines of --help for the options of `group`: each heading two columns in, and its
/// help beside it from `column` on (below it when the heading is longer), wrapped before
/// `width`.
QString HelpLines(std::span<const OptionHelp> options, const QString& group, int column,
                  int width = 80);

/// The manual page's entries (.TP paragraphs, in roff) for the options of `group`: heading,
/// help and more. The options of the table, and the value names with `placeholders`, are
/// set in bold and in italics.
QString ManualEntries(std::span<const OptionHelp> options, const QString& group,
                      const QStringList& placeholders);

/// `manual`, a manual page with each line "@OPTIONS group@" replaced by that group's
/// entries; nothing, with `*problem` set, when a line names a group without options or a
/// group of the table has no line, so that no option is left out of the page.
std::optional<QString> FillManualOptions(const QString& manual, std::span<const OptionHelp> options,
                                         const QStringList& placeholders, QString* problem);

}  // namespace quillet
