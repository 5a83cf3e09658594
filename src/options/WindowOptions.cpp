// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/WindowOptions.h"

namespace quillet {

namespace {

const char kOptionsGroup[] = "Options";

const OptionHelp kOptions[] = {
    {0, "wordlists", "DB", kOptionsGroup,
     "The word-list database for Fix File and the list editors. Without it: SkipList.db in "
     "the working folder when it exists, else $XDG_DATA_HOME/quillet/SkipList.db "
     "(~/.local/share/quillet/), made with the default lists when first needed. A missing DB "
     "is reported, never made.",
     nullptr},
    {'h', "help", nullptr, kOptionsGroup, "Print the usage and exit.", nullptr},
    {0, "version", nullptr, kOptionsGroup, "Print the version and exit.", nullptr},
};

}  // namespace

std::span<const OptionHelp> WindowOptionTable() {
    return kOptions;
}

QString WindowUsage() {
    return QStringLiteral(
               "Usage: quillet [--wordlists DB] [FILE...]\n"
               "\n"
               "Opens the HTML page FILE in the Quillet window, which repairs pages whose\n"
               "paragraphs were opened with <p> and never closed. Each further FILE opens in a\n"
               "window of its own.\n"
               "\n") +
           QLatin1StringView(kOptionsGroup) + QStringLiteral(":\n") +
           HelpLines(WindowOptionTable(), QString::fromLatin1(kOptionsGroup), 18) +
           QStringLiteral(
               "\nQt's own options, such as -style NAME, -stylesheet FILE or -platform NAME, go "
               "to Qt.\n");
}

}  // namespace quillet
