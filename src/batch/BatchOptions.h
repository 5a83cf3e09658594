// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "options/OptionHelp.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace quillet {

/// The batch tool's command line, read as GNU tools read theirs: options and operands in
/// any order, short options bundled (`-qj4`, `-vo out`, `-oFILE`), a long option's value
/// after "=" or as the next argument, a long option shortened to any unambiguous prefix,
/// and "--" ending the options.
struct BatchOptions {
    bool help = false;
    bool version = false;
    bool verbose = false;
    bool quiet = false;
    bool recursive = false;
    bool html5 = false;
    bool joinLf = false;
    bool inPlace = false;
    bool check = false;
    bool diff = false;
    bool nul = false;
    std::optional<QString> output;     // -o
    std::optional<QString> outputDir;  // --output-dir
    std::optional<QString> backup;     // --backup, with its suffix
    std::optional<QString> filesFrom;
    std::optional<QString> report;
    std::optional<QString> wordlists;
    std::optional<QString> encoding;
    std::optional<int> jobs;
    QStringList include;
    QStringList exclude;
    /// The operands: the command's words, then its inputs.
    QStringList words;
    /// The long names of the options given, in order, for saying which one is misplaced.
    QStringList given;

    bool has(const char* name) const { return given.contains(QLatin1StringView(name)); }
};

/// Reads `arguments` (without the program's name); false with `*problem` set on a usage
/// error.
bool ParseBatchArguments(const QStringList& arguments, BatchOptions* options, QString* problem);

/// The text of --help.
QString BatchUsage();

/// The options the tool reads, which --help and the manual page list.
std::span<const OptionHelp> BatchOptionTable();

}  // namespace quillet
