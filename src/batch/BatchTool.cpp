#include "batch/BatchTool.h"

#include "batch/TerminalProgress.h"
#include "documents/CodePage.h"
#include "documents/DocName.h"
#include "documents/DocumentFile.h"
#include "engine/Functions.h"
#include "engine/Utilities.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListStore.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace quillet {

namespace {

/// Inputs at least this large get a progress bar on a terminal.
constexpr qint64 kProgressBarBytes = 1 << 20;

const char kUsage[] =
    "Usage: quillet-batch COMMAND [OPTIONS] ...\n"
    "\n"
    "Repairs HTML pages whose paragraphs were opened with <p> and never closed.\n"
    "\n"
    "Commands:\n"
    "  fix [--wordlists DB] [-o OUT] INPUT...\n"
    "      Insert </p> before every tag that ends an open paragraph, as the word lists\n"
    "      decide.\n"
    "  fix --html5 [-o OUT] INPUT...\n"
    "      Insert </p> wherever an HTML5 parser (a browser) ends a paragraph because\n"
    "      of a tag; the page keeps its tree. No word lists are needed.\n"
    "  strip-newlines [-o OUT] INPUT...\n"
    "      Join the lines of every paragraph from <p> to </p>.\n"
    "  strip-spaces [-o OUT] INPUT...\n"
    "      Trim spaces at both ends and shorten every run of spaces to one.\n"
    "  wordlists init [--wordlists DB]\n"
    "      Create the word-list database with the default lists.\n"
    "  wordlists list skip|include [--wordlists DB]\n"
    "  wordlists add skip|include ENTRY... [--wordlists DB]\n"
    "  wordlists delete skip|include ENTRY... [--wordlists DB]\n"
    "\n"
    "Each INPUT is written to its folder and base name with \".fix\" (page.html gives\n"
    "page.fix). \"-\" as INPUT reads standard input and writes standard output.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT   Write the result of a single INPUT to OUT (\"-\": standard output).\n"
    "  --html5            fix: decide paragraph ends by the HTML5 parser.\n"
    "  --wordlists DB     The word-list database (default: SkipList.db in the working\n"
    "                     folder).\n"
    "  -h, --help         Show this help.\n"
    "  -v, --version      Show the version.\n"
    "\n"
    "Exit status: 0 on success, 1 when an input or entry failed, 2 on a usage error.\n";

class Batch {
  public:
    explicit Batch(BatchIo io) : io_(io) {}

    int Run(const QStringList& arguments);

  private:
    enum class Repair { Fix, FixHtml5, StripNewlines, StripSpaces };

    int Usage(const QString& problem) {
        Error(problem + QStringLiteral("\nTry 'quillet-batch --help'."));
        return kExitUsage;
    }
    void Error(const QString& text) {
        io_.err.write((QStringLiteral("quillet-batch: ") + text + u'\n').toUtf8());
    }
    void Out(const QString& text) { io_.out.write(text.toUtf8()); }

    int RunRepair(Repair repair, const QStringList& inputs, const QString& output);
    bool RepairOne(Repair repair, const QString& input, const QString& output);
    int RunWordLists(const QStringList& words);

    BatchIo io_;
    QString database_ = DefaultDatabasePath();
};

int Batch::Run(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QString(), QStringLiteral("OUT"));
    const QCommandLineOption wordlists(QStringLiteral("wordlists"), QString(),
                                       QStringLiteral("DB"));
    const QCommandLineOption html5(QStringLiteral("html5"));
    parser.addOptions({help, version, output, wordlists, html5});
    if (!parser.parse(arguments)) return Usage(parser.errorText());
    if (parser.isSet(help)) {
        Out(QString::fromLatin1(kUsage));
        return kExitOk;
    }
    if (parser.isSet(version)) {
        Out(QStringLiteral("quillet-batch " QUILLET_VERSION "\n"));
        return kExitOk;
    }
    if (parser.isSet(wordlists)) database_ = parser.value(wordlists);

    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) return Usage(QStringLiteral("no command given"));
    const QString command = words.takeFirst();
    if (command == u"wordlists") {
        if (parser.isSet(output)) return Usage(QStringLiteral("-o is not an option of wordlists"));
        return RunWordLists(words);
    }
    Repair repair;
    if (command == u"fix") {
        repair = parser.isSet(html5) ? Repair::FixHtml5 : Repair::Fix;
    } else if (command == u"strip-newlines") {
        repair = Repair::StripNewlines;
    } else if (command == u"strip-spaces") {
        repair = Repair::StripSpaces;
    } else {
        return Usage(QStringLiteral("unknown command '%1'").arg(command));
    }
    if (parser.isSet(html5) && command != u"fix") {
        return Usage(QStringLiteral("--html5 is an option of fix only"));
    }
    if (words.isEmpty()) return Usage(QStringLiteral("%1: no INPUT given").arg(command));
    if (parser.isSet(output) && words.size() > 1) {
        return Usage(QStringLiteral("-o names the output of a single INPUT"));
    }
    return RunRepair(repair, words, parser.value(output));
}

int Batch::RunRepair(Repair repair, const QStringList& inputs, const QString& output) {
    bool allOk = true;
    for (const QString& input : inputs) {
        QString target = output;
        if (target.isEmpty()) target = input == u"-" ? input : FixedFileName(SplitDocName(input));
        if (output.isEmpty() && input != u"-" &&
            QFileInfo(target).absoluteFilePath() == QFileInfo(input).absoluteFilePath()) {
            Error(QStringLiteral("%1: the repaired copy would replace the page itself; name "
                                 "another output with -o")
                      .arg(input));
            allOk = false;
            continue;
        }
        allOk = RepairOne(repair, input, target) && allOk;
    }
    return allOk ? kExitOk : kExitFailed;
}

bool Batch::RepairOne(Repair repair, const QString& input, const QString& output) {
    const QString label = input == u"-" ? QStringLiteral("standard input") : input;
    QByteArray bytes;
    if (input == u"-") {
        bytes = io_.in.readAll();
    } else {
        FileResult read;
        std::optional<QByteArray> data = ReadDocumentBytes(input, &read);
        if (!data) {
            Error(QStringLiteral("%1: cannot read the page: %2").arg(label, read.reason));
            return false;
        }
        bytes = std::move(*data);
    }

    TerminalProgress progress(io_.err, label, bytes.size(),
                              io_.errIsTerminal && bytes.size() >= kProgressBarBytes);
    StoreListSource lists(database_);
    Functions engine(progress, lists);
    QString text = DecodeCodePage(bytes);
    bytes = QByteArray();  // the text holds the page now
    RepairResult result;
    switch (repair) {
        case Repair::Fix:
            result = engine.FixText(std::move(text));
            break;
        case Repair::FixHtml5:
            result = engine.FixTextHtml5(std::move(text));
            break;
        case Repair::StripNewlines:
            result = engine.StripNewlines(std::move(text));
            break;
        case Repair::StripSpaces:
            result = engine.StripSpaces(std::move(text));
            break;
    }
    progress.finish();
    if (!result.ok()) {
        Error(QStringLiteral("%1: %2").arg(label, result.error));
        return false;
    }

    FileResult written;
    if (output == u"-") {
        qsizetype bad = -1;
        const std::optional<QByteArray> encoded = EncodeCodePage(result.text, &bad);
        if (!encoded) {
            written =
                FileResult{FileResult::Failure::Unencodable, DescribeUnencodable(result.text, bad)};
        } else if (io_.out.write(*encoded) != encoded->size()) {
            written = FileResult{FileResult::Failure::Other, io_.out.errorString()};
        }
    } else {
        AtomicFileWriter writer;
        written = SaveDocument(writer, output, result.text);
    }
    if (!written.ok()) {
        const QString where = output == u"-" ? QStringLiteral("standard output") : output;
        Error(QStringLiteral("%1: cannot write %2: %3").arg(label, where, written.reason));
        return false;
    }
    if (repair == Repair::Fix || repair == Repair::FixHtml5) {
        io_.err.write(
            QStringLiteral("%1: %2 </p> added\n").arg(label).arg(engine.AddedCount).toUtf8());
    }
    return true;
}

int Batch::RunWordLists(const QStringList& words) {
    if (words.isEmpty())
        return Usage(QStringLiteral("wordlists: init, list, add or delete expected"));
    const QString& action = words.first();
    if (action == u"init") {
        if (words.size() != 1) return Usage(QStringLiteral("wordlists init takes no arguments"));
        StoreError error;
        if (!CreateWordListDatabase(database_, &error)) {
            Error(error.message);
            return kExitFailed;
        }
        io_.err.write(QStringLiteral("created %1\n").arg(database_).toUtf8());
        return kExitOk;
    }
    if (action != u"list" && action != u"add" && action != u"delete") {
        return Usage(QStringLiteral("wordlists: unknown action '%1'").arg(action));
    }
    if (words.size() < 2 || (words[1] != u"skip" && words[1] != u"include")) {
        return Usage(QStringLiteral("wordlists %1: skip or include expected").arg(action));
    }
    const ListSchema& schema = words[1] == u"skip" ? SkipListSchema() : IncludeListSchema();
    const QStringList entries = words.mid(2);
    if (action == u"list" ? !entries.isEmpty() : entries.isEmpty()) {
        return Usage(action == u"list"
                         ? QStringLiteral("wordlists list takes no entries")
                         : QStringLiteral("wordlists %1: no ENTRY given").arg(action));
    }

    StoreError error;
    const auto db = WordListDatabase::Open(database_, &error);
    auto table = db ? db->OpenTable(schema, &error) : nullptr;
    if (!table || !table->SetIndex(schema.index, &error)) {
        Error(error.message);
        return kExitFailed;
    }

    if (action == u"list") {
        const std::optional<QStringList> listed = table->Walk(&error);
        if (!listed) {
            Error(error.message);
            return kExitFailed;
        }
        for (const QString& entry : *listed) Out(entry + u'\n');
        return kExitOk;
    }

    bool allOk = true;
    for (const QString& given : entries) {
        // The editors' rule: entries lose their outer spaces, and an empty one is no entry.
        const QString entry = TrimSpaces(given).toString();
        if (entry.isEmpty()) {
            Error(QStringLiteral("an empty entry was not %1")
                      .arg(action == u"add" ? u"added" : u"deleted"));
            allOk = false;
            continue;
        }
        if (action == u"add") {
            const std::optional<QStringList> listed = table->Walk(&error);
            if (listed && listed->contains(entry)) {
                Error(QStringLiteral("Duplicate Entry: \"%1\" is in the %2 already")
                          .arg(entry, schema.description));
                allOk = false;
            } else if (!listed || !table->Add(entry, &error)) {
                Error(error.message);
                allOk = false;
            }
            continue;
        }
        const std::optional<bool> found = table->Seek(entry, &error);
        if (!found || (*found && !table->DeleteCurrent(&error))) {
            Error(error.message);
            allOk = false;
        } else if (!*found) {
            Error(QStringLiteral("\"%1\" is not in the %2").arg(entry, schema.description));
            allOk = false;
        }
    }
    return allOk ? kExitOk : kExitFailed;
}

}  // namespace

int RunBatch(const QStringList& arguments, BatchIo io) {
    return Batch(io).Run(arguments);
}

}  // namespace quillet
