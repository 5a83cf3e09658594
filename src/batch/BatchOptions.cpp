// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchOptions.h"

#include "engine/RepairCommands.h"

namespace quillet {

namespace {

const char kUsageHead[] =
    "Usage: quillet-batch COMMAND [OPTIONS] PAGE...\n"
    "\n"
    "Repairs HTML pages whose paragraphs were opened with <p> and never closed.\n"
    "\n"
    "Commands:\n";

const char kWordListCommands[] =
    "  wordlists init [--wordlists DB]\n"
    "      Create SkipList.db in the working folder (or DB) with the default lists.\n"
    "  wordlists list skip|include [--wordlists DB]\n"
    "      Print a list, one entry a line, each as a shell reads it back: as it is,\n"
    "      in quotes (the empty entry as ''), or as $'...' when it holds a character\n"
    "      that does not show.\n"
    "  wordlists add skip|include ENTRY... [--wordlists DB]\n"
    "  wordlists delete skip|include ENTRY... [--wordlists DB]\n"
    "      Add or delete entries in one change: every entry that can be is added or\n"
    "      deleted, or none when the database fails. An entry that the list holds in\n"
    "      any letter case, an empty one, and one that is not UTF-8 or holds a\n"
    "      control character are not added.\n"
    "\n"
    "Each PAGE is written to its folder and base name with \".fix\" (page.html gives\n"
    "page.fix, which a later run replaces), unless --in-place, --output-dir, --check\n"
    "or --diff says otherwise. \"-\" as PAGE reads standard input and writes standard\n"
    "output.\n"
    "\n"
    "A page is read in the encoding of its byte-order mark (UTF-8, UTF-16LE,\n"
    "UTF-16BE), else in the one it declares in a <meta> tag as browsers read it,\n"
    "else in UTF-16 when its first 512 bytes are nearly all characters below U+0100\n"
    "in UTF-16, else in UTF-8 when it is valid UTF-8, else in Windows-1252; an\n"
    "encoding that would change a byte on the way back is passed over for\n"
    "Windows-1252, which keeps every byte, and a declaration passed over is named.\n"
    "Damage in a UTF-16 page (a stray last byte, half a surrogate pair) is named and\n"
    "kept. The output is written in the same encoding.\n";

const char kUsageTail[] =
    "\n"
    "Short options bundle as in GNU tools (-qj4, -vo out, -oFILE), and options may\n"
    "follow the pages. fix names the </p> it added to each page. A run of several\n"
    "pages ends with a summary line; on a terminal a progress line shows the run's\n"
    "pages, megabytes, pages a second and the time left. Ctrl+C finishes the pages\n"
    "under way, prints the summary and exits with status 130.\n"
    "\n"
    "Examples:\n"
    "  quillet-batch fix -r --in-place --backup site\n"
    "  quillet-batch fix -r --check site      # status 1 when a page would change\n"
    "  quillet-batch fix -r --diff site >fix.patch && patch -p1 <fix.patch\n"
    "  find site -name '*.htm' -print0 |\n"
    "      quillet-batch fix --files-from - -0 --in-place\n"
    "  find site -name '*.htm' -print0 |\n"
    "      parallel -0 --pipe --recend '\\0' -N 500 --wd . -S host1,host2 \\\n"
    "      quillet-batch fix --files-from - -0 --in-place -q --report -\n"
    "\n"
    "Exit status: 0 on success, 1 when a page or entry failed (and, with --check or\n"
    "--diff, when a page would change), 2 on a usage error, 130 when interrupted.\n";

// The groups of options, as --help heads them; the manual page has a section for each.
const char kPages[] = "Which pages";
const char kResults[] = "Where the results go";
const char kHow[] = "How";

/// The column where --help starts the options' descriptions.
constexpr int kHelpColumn = 21;

const OptionHelp kOptions[] = {
    {'r', "recursive", nullptr, kPages,
     "Walk each PAGE that is a folder, and the folders in it. Its pages are the files named "
     "*.htm, *.html, *.shtml and *.xhtml in any letter case, never a .fix file; folders whose "
     "name starts with \".\" are not entered, symbolic links met on the way are not followed, "
     "and the pages are taken in the byte order of their paths.",
     "A link named on the command line is followed. Without -r, a PAGE that is a folder is "
     "an error."},
    {0, "include", "GLOB", kPages,
     "Take the files that match GLOB as pages instead (repeatable; letter case counts as "
     "written).",
     nullptr},
    {0, "exclude", "GLOB", kPages,
     "Leave out the files and folders that match GLOB (repeatable). A GLOB with \"/\" is "
     "matched against the path from the walked folder, one without also against the name "
     "alone; * and ? match \"/\" too.",
     "So --exclude drafts leaves out every folder named drafts. [...], [!...] and \\ are as "
     "in the shell. --include and --exclude need -r."},
    {0, "files-from", "FILE", kPages,
     "Also take the pages listed in FILE, one a line (\"-\": standard input); a listed "
     "folder is walked with -r.",
     "The names are read as the system's bytes."},
    {'0', "null", nullptr, kPages,
     "The names of --files-from are separated by NUL bytes, as find -print0 writes them.", nullptr},
    {'o', "output", "OUT", kResults,
     "Write the result of a single PAGE to OUT (\"-\": standard output).", nullptr},
    {0, "in-place", nullptr, kResults,
     "Replace each page that changes, atomically, keeping its permissions and owner; a page "
     "that would not change is not written again.",
     "A page marked read-only is refused, and a device or named pipe is written in place."},
    {0, "backup", "[=SUFFIX]", kResults,
     "With --in-place: first keep the original as PAGE.orig (or PAGE and SUFFIX).",
     "The backup is written as safely as the page, with its permissions, and an older backup "
     "of that name is replaced. A page that would not change gets no backup, and one whose "
     "backup cannot be written is left as it is."},
    {0, "output-dir", "DIR", kResults,
     "Write every page under DIR, made as needed: a walked folder's tree mirrored, a listed "
     "page under its path as listed, a named page as its name.",
     "A listed path loses a leading / or ./, and one that climbs with .. fails. Pages that do "
     "not change are written too. DIR may not lie inside a walked folder unless --exclude (or "
     "a name starting with \".\") leaves it out."},
    {0, "check", nullptr, kResults,
     "Write nothing; name each page that would change (\"PAGE: 3 </p> would be added\").",
     "The exit status is 1 when a page would change or failed, 0 when none would."},
    {0, "diff", nullptr, kResults,
     "Write nothing; print a unified diff of each page that would change, which patch -p1 "
     "applies from the same folder.",
     "Its headers are \"--- a/PATH\" and \"+++ b/PATH\", with PATH as walked, listed or named. "
     "Lines end after their line feed, so a line ended by CR LF keeps its CR, and a last line "
     "without a line feed is followed by \"\\ No newline at end of file\". The exit status is "
     "as with --check, which may be given with it."},
    {0, "report", "FILE", kResults,
     "Write a JSON Lines report to FILE (\"-\": standard output): one object a page, then "
     "one for the run.",
     "See REPORT."},
    {0, "html5", nullptr, kHow,
     "fix: insert </p> where an HTML5 parser, as in a browser, ends a paragraph because of a "
     "tag, instead of following the word lists; the page keeps its tree, and no word lists "
     "are needed.",
     "The parser runs in the helper program quillet-html5-parse, under limits of 10 seconds "
     "of processor time and 2 more for each MB of the page, and of memory. A page it fails "
     "on or takes too long over, one whose elements nest more than 5,000 levels deep "
     "(refused before it is parsed), or a missing helper fails that PAGE alone, with the "
     "reason. Its output goes where that of fix goes: after fix page.htm, fix --html5 "
     "page.htm replaces page.fix."},
    {0, "join-lf", nullptr, kHow,
     "strip-newlines: also join the lines of a paragraph that end in a line feed alone, as "
     "pages written on Linux or macOS do (without it, only lines ended by a carriage return "
     "are joined).",
     nullptr},
    {0, "wordlists", "DB", kHow,
     "The word-list database. Without it: SkipList.db in the working folder when it exists, "
     "else $XDG_DATA_HOME/quillet/SkipList.db (~/.local/share/quillet/), made with the "
     "default lists when first needed. A missing DB is reported, and only wordlists init "
     "makes one.",
     "A run reads the lists once, before the first page, for all its jobs. While another "
     "program holds DB locked, the commands wait up to 10 seconds, and say so."},
    {0, "encoding", "NAME", kHow,
     "Read every PAGE in NAME (utf-8, utf-16le, utf-16be, windows-1252, iso-8859-2, ...) "
     "instead of finding its encoding; a PAGE that NAME cannot read byte for byte fails, "
     "and nothing is written for it.",
     "NAME is any name Qt's character conversion knows, or windows-1252 or iso-8859-16; an "
     "unknown name is a usage error."},
    {'j', "jobs", "N", kHow,
     "Repair N pages at a time (by default, as many as the processors this process may use). "
     "Messages, the diff and the report keep the order of the pages, and every output is the "
     "same whatever N.",
     nullptr},
    {'v', "verbose", nullptr, kHow, "Name, on standard error, the encoding each PAGE was read in.",
     nullptr},
    {'q', "quiet", nullptr, kHow, "Print errors only.", nullptr},
    {'h', "help", nullptr, kHow, "Print the usage and exit.", nullptr},
    {'V', "version", nullptr, kHow, "Print the version and exit.", nullptr},
};

/// The option spelled `name` or shortened to it; null with `*problem` set when there is
/// none or more than one.
const OptionHelp* FindLong(QStringView name, QString* problem) {
    const OptionHelp* found = nullptr;
    int prefixed = 0;
    for (const OptionHelp& option : kOptions) {
        const QLatin1StringView full(option.name);
        if (name == full) return &option;
        if (full.startsWith(name)) {
            found = &option;
            ++prefixed;
        }
    }
    if (prefixed == 1) return found;
    *problem = prefixed == 0 ? QStringLiteral("unknown option '--%1'").arg(name)
                             : QStringLiteral("option '--%1' is ambiguous").arg(name);
    return nullptr;
}

const OptionHelp* FindShort(QChar letter, QString* problem) {
    for (const OptionHelp& option : kOptions) {
        if (option.letter != 0 && letter == QLatin1Char(option.letter)) return &option;
    }
    *problem = QStringLiteral("unknown option '-%1'").arg(letter);
    return nullptr;
}

/// Takes `option` with `value` (none for a flag) into `options`.
bool Take(const OptionHelp& option, const std::optional<QString>& value, BatchOptions* options,
          QString* problem) {
    const QLatin1StringView name(option.name);
    options->given.append(name);
    const QString text = value.value_or(QString());
    if (name == "help") {
        options->help = true;
    } else if (name == "version") {
        options->version = true;
    } else if (name == "verbose") {
        options->verbose = true;
    } else if (name == "quiet") {
        options->quiet = true;
    } else if (name == "output") {
        options->output = text;
    } else if (name == "wordlists") {
        options->wordlists = text;
    } else if (name == "encoding") {
        options->encoding = text;
    } else if (name == "join-lf") {
        options->joinLf = true;
    } else if (name == "html5") {
        options->html5 = true;
    } else if (name == "recursive") {
        options->recursive = true;
    } else if (name == "include") {
        options->include.append(text);
    } else if (name == "exclude") {
        options->exclude.append(text);
    } else if (name == "in-place") {
        options->inPlace = true;
    } else if (name == "backup") {
        options->backup = value.value_or(QStringLiteral(".orig"));
        if (options->backup->isEmpty() || options->backup->contains(u'/')) {
            *problem = QStringLiteral("--backup needs a suffix without \"/\"");
            return false;
        }
    } else if (name == "output-dir") {
        options->outputDir = text;
    } else if (name == "check") {
        options->check = true;
    } else if (name == "diff") {
        options->diff = true;
    } else if (name == "files-from") {
        options->filesFrom = text;
    } else if (name == "null") {
        options->nul = true;
    } else if (name == "jobs") {
        bool number = false;
        const int jobs = text.toInt(&number);
        if (!number || jobs < 1) {
            *problem = QStringLiteral("-j needs a whole number of at least 1, not '%1'").arg(text);
            return false;
        }
        options->jobs = jobs;
    } else if (name == "report") {
        options->report = text;
    }
    return true;
}

}  // namespace

bool ParseBatchArguments(const QStringList& arguments, BatchOptions* options, QString* problem) {
    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnd || argument == u"-" || !argument.startsWith(u'-')) {
            options->words.append(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnd = true;
            continue;
        }
        if (argument.startsWith(u"--")) {
            const qsizetype equals = argument.indexOf(u'=');
            const QStringView name = QStringView(argument).mid(2, equals < 0 ? -1 : equals - 2);
            const OptionHelp* option = FindLong(name, problem);
            if (!option) return false;
            std::optional<QString> value;
            if (equals >= 0) {
                if (option->takes() == OptionHelp::Takes::Nothing) {
                    *problem = QStringLiteral("option '--%1' takes no value")
                                   .arg(QLatin1StringView(option->name));
                    return false;
                }
                value = argument.mid(equals + 1);
            } else if (option->takes() == OptionHelp::Takes::Value) {
                if (i + 1 == arguments.size()) {
                    *problem = QStringLiteral("option '--%1' needs a value")
                                   .arg(QLatin1StringView(option->name));
                    return false;
                }
                value = arguments[++i];
            }
            if (!Take(*option, value, options, problem)) return false;
            continue;
        }
        // Short options, bundled: a letter that takes a value takes the rest of the word,
        // or else the next argument.
        for (qsizetype at = 1; at < argument.size(); ++at) {
            const OptionHelp* option = FindShort(argument[at], problem);
            if (!option) return false;
            std::optional<QString> value;
            if (option->takes() == OptionHelp::Takes::Value) {
                if (at + 1 < argument.size()) {
                    value = argument.mid(at + 1);
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    *problem = QStringLiteral("option '-%1' needs a value").arg(argument[at]);
                    return false;
                }
                at = argument.size();
            }
            if (!Take(*option, value, options, problem)) return false;
        }
    }
    return true;
}

QString BatchUsage() {
    QString usage = QString::fromLatin1(kUsageHead);
    // The repair commands as the table of them describes them.
    const auto command = [&](const QString& line, const char* summary) {
        usage += QStringLiteral("  ") + line + QStringLiteral(" PAGE...\n") +
                 WrappedText(QString::fromLatin1(summary), 6);
    };
    for (const RepairCommand& repair : RepairCommands()) {
        const QString name = QString::fromLatin1(repair.name);
        command(*repair.options ? name + u' ' + QLatin1StringView(repair.options) : name,
                repair.summary);
        if (repair.html5Summary) command(name + QStringLiteral(" --html5"), repair.html5Summary);
    }
    usage += QLatin1StringView(kWordListCommands);
    for (const char* group : {kPages, kResults, kHow}) {
        usage += u'\n' + QLatin1StringView(group) + QStringLiteral(":\n") +
                 HelpLines(kOptions, QString::fromLatin1(group), kHelpColumn);
    }
    return usage + QLatin1StringView(kUsageTail);
}

std::span<const OptionHelp> BatchOptionTable() {
    return kOptions;
}

}  // namespace quillet
