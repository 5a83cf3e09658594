// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchOptions.h"

namespace quillet {

namespace {

const char kUsage[] =
    "Usage: quillet-batch COMMAND [OPTIONS] PAGE...\n"
    "\n"
    "Repairs HTML pages whose paragraphs were opened with <p> and never closed.\n"
    "\n"
    "Commands:\n"
    "  fix [--wordlists DB] PAGE...\n"
    "      Insert </p> before every tag that ends an open paragraph, as the word lists\n"
    "      decide.\n"
    "  fix --html5 PAGE...\n"
    "      Insert </p> wherever an HTML5 parser (a browser) ends a paragraph because\n"
    "      of a tag; the page keeps its tree. No word lists are needed.\n"
    "  strip-newlines [--join-lf] PAGE...\n"
    "      Join the lines of every paragraph from <p> to </p>.\n"
    "  strip-spaces PAGE...\n"
    "      Trim spaces at both ends and shorten every run of spaces to one.\n"
    "  wordlists init [--wordlists DB]\n"
    "      Create SkipList.db in the working folder (or DB) with the default lists.\n"
    "  wordlists list skip|include [--wordlists DB]\n"
    "  wordlists add skip|include ENTRY... [--wordlists DB]\n"
    "  wordlists delete skip|include ENTRY... [--wordlists DB]\n"
    "\n"
    "Each PAGE is written to its folder and base name with \".fix\" (page.html gives\n"
    "page.fix), unless --in-place, --output-dir, --check or --diff says otherwise. \"-\" as\n"
    "PAGE reads standard input and writes standard output.\n"
    "\n"
    "A page is read in the encoding of its byte-order mark (UTF-8, UTF-16LE, UTF-16BE), else\n"
    "in the one it declares in a <meta> tag as browsers read it, else in UTF-16 when its\n"
    "first 512 bytes are nearly all characters below U+0100 in UTF-16, else in UTF-8 when it\n"
    "is valid UTF-8, else in Windows-1252; an encoding that would change a byte on the way\n"
    "back is passed over for Windows-1252, which keeps every byte, and a declaration passed\n"
    "over is named. Damage in a UTF-16 page (a stray last byte, half a surrogate pair) is\n"
    "named and kept. The output is written in the same encoding.\n"
    "\n"
    "Which pages:\n"
    "  -r, --recursive    Walk a PAGE that is a folder, and its folders, in byte order of\n"
    "                     the paths. Folders whose name starts with \".\" are not entered\n"
    "                     and symbolic links met on the way are not followed.\n"
    "  --include GLOB     Take the files that match GLOB as pages (repeatable), instead of\n"
    "                     *.htm, *.html, *.shtml and *.xhtml in any letter case. A \".fix\"\n"
    "                     file is never a page.\n"
    "  --exclude GLOB     Leave out the files and folders that match GLOB (repeatable).\n"
    "                     A GLOB with \"/\" is matched against the path from the walked\n"
    "                     folder, one without against the name too; * and ? match \"/\".\n"
    "  --files-from FILE  Also take the pages (or, with -r, folders) listed in FILE, one a\n"
    "                     line (\"-\": standard input).\n"
    "  -0, --null         The list of --files-from is separated by NUL bytes\n"
    "                     (find -print0).\n"
    "\n"
    "Where the results go:\n"
    "  -o, --output OUT   Write the result of a single PAGE to OUT (\"-\": standard output).\n"
    "  --in-place         Replace each page that changes, atomically, keeping its\n"
    "                     permissions and owner; a page that would not change is left\n"
    "                     alone.\n"
    "  --backup[=SUFFIX]  With --in-place: first keep the original as PAGE.orig (or PAGE\n"
    "                     and SUFFIX).\n"
    "  --output-dir DIR   Write every page under DIR: a walked folder's tree mirrored, a\n"
    "                     listed page under its path as listed, a named page as its name.\n"
    "  --check            Write nothing; name each page that would change.\n"
    "  --diff             Write nothing; print a unified diff of each page that would\n"
    "                     change, to be applied with patch -p1 from the same folder.\n"
    "  --report FILE      Write a JSON Lines report: one object a page, then a summary\n"
    "                     (\"-\": standard output).\n"
    "\n"
    "How:\n"
    "  --html5            fix: decide paragraph ends by the HTML5 parser.\n"
    "  --join-lf          strip-newlines: also join lines ended by a line feed alone\n"
    "                     (without it, only lines ended by a carriage return are joined).\n"
    "  --wordlists DB     The word-list database. Without it: SkipList.db in the working\n"
    "                     folder when it exists, else $XDG_DATA_HOME/quillet/SkipList.db\n"
    "                     (~/.local/share/quillet/), made with the default lists when\n"
    "                     first needed. The lists are read once for the whole run.\n"
    "  --encoding NAME    Read every PAGE in NAME (utf-8, utf-16le, utf-16be, windows-1252,\n"
    "                     iso-8859-2, ...); a PAGE that NAME cannot read byte for byte\n"
    "                     fails.\n"
    "  -j, --jobs N       Repair N pages at a time (default: the processors this process\n"
    "                     may use). Messages and the report keep the order of the pages.\n"
    "  -v, --verbose      Name the encoding each PAGE was read in.\n"
    "  -q, --quiet        Print errors only.\n"
    "  -h, --help         Show this help.\n"
    "  -V, --version      Show the version.\n"
    "\n"
    "Short options bundle as in GNU tools (-qj4, -vo out, -oFILE), and options may follow\n"
    "the pages. fix names the </p> it added to each page. A run of several pages ends with\n"
    "a summary line; on a terminal a progress line shows the run's pages, megabytes, pages\n"
    "a second and the time left. Ctrl+C finishes the pages under way, prints the summary\n"
    "and exits with status 130.\n"
    "\n"
    "Examples:\n"
    "  quillet-batch fix -r --in-place --backup site\n"
    "  quillet-batch fix -r --check site          # status 1 when a page would change\n"
    "  quillet-batch fix -r --diff site >fix.patch && patch -p1 <fix.patch\n"
    "  find site -name '*.htm' -print0 | quillet-batch fix --files-from - -0 --in-place\n"
    "  find site -name '*.htm' -print0 | parallel -0 --pipe --recend '\\0' -N 500 --wd . \\\n"
    "      -S host1,host2 quillet-batch fix --files-from - -0 --in-place -q --report -\n"
    "\n"
    "Exit status: 0 on success, 1 when a page or entry failed (and, with --check or --diff,\n"
    "when a page would change), 2 on a usage error, 130 when interrupted.\n";

enum class Value { None, Required, Optional };

/// An option the tool knows: its letter, its long name and whether it takes a value.
struct Known {
    char letter;  // 0: none
    const char* name;
    Value value;
};

const Known kOptions[] = {
    {'h', "help", Value::None},         {'V', "version", Value::None},
    {'v', "verbose", Value::None},      {'q', "quiet", Value::None},
    {'o', "output", Value::Required},   {0, "wordlists", Value::Required},
    {0, "encoding", Value::Required},   {0, "join-lf", Value::None},
    {0, "html5", Value::None},          {'r', "recursive", Value::None},
    {0, "include", Value::Required},    {0, "exclude", Value::Required},
    {0, "in-place", Value::None},       {0, "backup", Value::Optional},
    {0, "output-dir", Value::Required}, {0, "check", Value::None},
    {0, "diff", Value::None},           {0, "files-from", Value::Required},
    {'0', "null", Value::None},         {'j', "jobs", Value::Required},
    {0, "report", Value::Required},
};

/// The option spelled `name` or shortened to it; null with `*problem` set when there is
/// none or more than one.
const Known* FindLong(QStringView name, QString* problem) {
    const Known* found = nullptr;
    int prefixed = 0;
    for (const Known& option : kOptions) {
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

const Known* FindShort(QChar letter, QString* problem) {
    for (const Known& option : kOptions) {
        if (option.letter != 0 && letter == QLatin1Char(option.letter)) return &option;
    }
    *problem = QStringLiteral("unknown option '-%1'").arg(letter);
    return nullptr;
}

/// Takes `option` with `value` (none for a flag) into `options`.
bool Take(const Known& option, const std::optional<QString>& value, BatchOptions* options,
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
            const Known* option = FindLong(name, problem);
            if (!option) return false;
            std::optional<QString> value;
            if (equals >= 0) {
                if (option->value == Value::None) {
                    *problem = QStringLiteral("option '--%1' takes no value")
                                   .arg(QLatin1StringView(option->name));
                    return false;
                }
                value = argument.mid(equals + 1);
            } else if (option->value == Value::Required) {
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
            const Known* option = FindShort(argument[at], problem);
            if (!option) return false;
            std::optional<QString> value;
            if (option->value == Value::Required) {
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

const char* BatchUsage() {
    return kUsage;
}

}  // namespace quillet
