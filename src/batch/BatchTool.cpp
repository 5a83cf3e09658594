// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchTool.h"

#include "batch/DescriptorDevice.h"
#include "batch/TerminalProgress.h"
#include "documents/DocName.h"
#include "documents/DocumentFile.h"
#include "documents/FileNames.h"
#include "documents/PageDecoding.h"
#include "engine/Functions.h"
#include "engine/Utilities.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/StoreErrorText.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListLocation.h"
#include "wordlists/WordListStore.h"

#include <QCommandLineParser>
#include <QDir>
#include <QSysInfo>
#include <cerrno>
#include <new>

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
    "  fix [--wordlists DB] [--encoding NAME] [-o OUT] INPUT...\n"
    "      Insert </p> before every tag that ends an open paragraph, as the word lists\n"
    "      decide.\n"
    "  fix --html5 [--encoding NAME] [-o OUT] INPUT...\n"
    "      Insert </p> wherever an HTML5 parser (a browser) ends a paragraph because\n"
    "      of a tag; the page keeps its tree. No word lists are needed.\n"
    "  strip-newlines [--join-lf] [--encoding NAME] [-o OUT] INPUT...\n"
    "      Join the lines of every paragraph from <p> to </p>.\n"
    "  strip-spaces [--encoding NAME] [-o OUT] INPUT...\n"
    "      Trim spaces at both ends and shorten every run of spaces to one.\n"
    "  wordlists init [--wordlists DB]\n"
    "      Create SkipList.db in the working folder (or DB) with the default lists.\n"
    "  wordlists list skip|include [--wordlists DB]\n"
    "  wordlists add skip|include ENTRY... [--wordlists DB]\n"
    "  wordlists delete skip|include ENTRY... [--wordlists DB]\n"
    "\n"
    "Each INPUT is written to its folder and base name with \".fix\" (page.html gives\n"
    "page.fix). \"-\" as INPUT reads standard input and writes standard output.\n"
    "\n"
    "A page is read in the encoding of its byte-order mark (UTF-8, UTF-16LE, UTF-16BE), else\n"
    "in the one it declares in a <meta> tag as browsers read it, else in UTF-16 when its\n"
    "first 512 bytes are nearly all characters below U+0100 in UTF-16, else in UTF-8 when it\n"
    "is valid UTF-8, else in Windows-1252; an encoding that would change a byte on the way\n"
    "back is passed over for Windows-1252, which keeps every byte, and a declaration passed\n"
    "over is named. Damage in a UTF-16 page (a stray last byte, half a surrogate pair) is\n"
    "named and kept. The output is written in the same encoding.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT   Write the result of a single INPUT to OUT (\"-\": standard output).\n"
    "  --html5            fix: decide paragraph ends by the HTML5 parser.\n"
    "  --join-lf          strip-newlines: also join lines ended by a line feed alone\n"
    "                     (without it, only lines ended by a carriage return are joined).\n"
    "  --wordlists DB     The word-list database. Without it: SkipList.db in the working\n"
    "                     folder when it exists, else $XDG_DATA_HOME/quillet/SkipList.db\n"
    "                     (~/.local/share/quillet/), made with the default lists when\n"
    "                     first needed.\n"
    "  --encoding NAME    Read every INPUT in NAME (utf-8, utf-16le, utf-16be, windows-1252,\n"
    "                     iso-8859-2, ...); an INPUT that NAME cannot read byte for byte\n"
    "                     fails.\n"
    "  -v, --verbose      Name the encoding each INPUT was read in.\n"
    "  -h, --help         Show this help.\n"
    "  -V, --version      Show the version.\n"
    "\n"
    "Exit status: 0 on success, 1 when an input or entry failed, 2 on a usage error.\n";

/// The bytes of a repaired page: `mark`, then the stretches of `body` the strips kept, or
/// the stretches between Fix File's insertions with `close` ("</p>" in the page's
/// encoding) between them. Offsets count code units of `unit` bytes.
QList<QByteArrayView> OutputPieces(QByteArrayView mark, QByteArrayView body, qsizetype unit,
                                   QByteArrayView close, const RepairResult& result) {
    QList<QByteArrayView> pieces;
    pieces.reserve(1 +
                   (result.kept.isEmpty() ? 2 * result.insertions.size() + 1 : result.kept.size()));
    pieces.append(mark);
    for (const TextSpan& span : result.kept) {
        pieces.append(body.sliced(unit * span.start, unit * span.length));
    }
    if (!result.kept.isEmpty()) return pieces;
    qint64 from = 0;
    for (const qint64 at : result.insertions) {
        pieces.append(body.sliced(unit * from, unit * (at - from)));
        pieces.append(close);
        from = at;
    }
    pieces.append(body.sliced(unit * from));
    return pieces;
}

/// Writes a document to a stream, the batch tool's standard output; the path is not used.
/// Small pieces are gathered into larger writes.
class StreamWriter final : public DocumentWriter {
  public:
    explicit StreamWriter(QIODevice& out) : out_(out) {}

    using DocumentWriter::Write;
    FileResult Write(const QString&, std::span<const QByteArrayView> pieces) override {
        QByteArray buffer;
        for (const QByteArrayView piece : pieces) {
            if (piece.size() >= kGather) {
                if (!Put(buffer) || !Put(piece)) return Failed();
                buffer.clear();
            } else {
                if (buffer.size() + piece.size() > kGather && !Put(buffer)) return Failed();
                if (buffer.size() + piece.size() > kGather) buffer.clear();
                buffer.append(piece);
            }
        }
        return Put(buffer) ? FileResult{} : Failed();
    }

    /// Whether the reader went away (a closed pipe).
    bool closed() const { return closed_; }

  private:
    static constexpr qsizetype kGather = qsizetype(1) << 20;

    bool Put(QByteArrayView bytes) {
        return bytes.isEmpty() || out_.write(bytes.data(), bytes.size()) == bytes.size();
    }
    FileResult Failed() {
        const auto* device = dynamic_cast<const DescriptorDevice*>(&out_);
        closed_ = device && device->systemError() == EPIPE;
        return FileResult{FileResult::Failure::Other, out_.errorString()};
    }

    QIODevice& out_;
    bool closed_ = false;
};

/// What the batch tool says when the word lists fail: an entry listed exactly as given
/// is the editors' "Duplicate Entry"; anything else is said as both programs say it.
QString StoreFailureText(const StoreError& error) {
    if (error.kind == StoreError::Kind::Duplicate && error.listed == error.entry) {
        return QStringLiteral("Duplicate Entry: \"%1\" is in the %2 already")
            .arg(error.entry, error.list);
    }
    return StoreErrorText(error);
}

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
        // File names go out as the bytes they were given in.
        io_.err.write(EncodeFileName(QString(QStringLiteral("quillet-batch: ") + text + u'\n')));
    }
    bool Out(const QString& text) { return Out(text.toUtf8(), QString()); }
    bool Out(QByteArrayView bytes, const QString& label);

    /// A page under repair: its bytes, while the repairs read them, and how it was read.
    struct Page {
        QByteArray bytes;
        DecodedPage decoded;

        QByteArrayView body() const {
            return QByteArrayView(bytes).sliced(decoded.encoding.byteOrderMark().size());
        }
        /// What the engine reads: the bytes after the mark, or the decoded text.
        TextUnits units() const {
            if (decoded.decoded) return TextUnits::Utf16(decoded.text);
            return decoded.encoding.kind() == TextEncoding::Kind::Utf8
                       ? TextUnits::Utf8(body())
                       : TextUnits::SingleByte(body());
        }
    };

    /// One input of a repair run, with its output, or why it is refused.
    struct Job {
        QString input;
        QString output;
        QByteArray inputKey;  // empty for standard input and output
        QByteArray outputKey;
        QString refusal;
    };

    /// The options that only some commands take.
    struct CommandOptions {
        std::optional<QString> output;  // -o
        bool joinLf = false;
        bool html5 = false;
    };
    int RunRepairCommand(const QString& command, const QStringList& inputs,
                         const CommandOptions& options);
    int RunRepair(Repair repair, const QStringList& inputs, const QString& output);
    QList<Job> PlanJobs(const QStringList& inputs, const QString& output);
    bool RepairOne(Repair repair, const QString& input, const QString& output);
    bool RepairOneInMemory(Repair repair, const QString& label, const QString& input,
                           const QString& output);
    std::optional<Page> ReadPage(Repair repair, const QString& label, const QString& input);
    /// Runs the repair on `units`, which are those of `text` when the page was decoded.
    RepairResult RunEngine(Repair repair, Functions& engine, const TextUnits& units,
                           const QString& text);
    /// Writes the repaired page; a decoded text is let go of once its repaired copy is made.
    bool WriteResult(const QString& label, const QString& output, Page& page,
                     const RepairResult& result);
    int RunWordLists(const QStringList& words);
    int InitWordLists(const QStringList& arguments);
    /// The list's table, open with its index selected; null when the store failed.
    std::unique_ptr<WordListTable> OpenWordList(const ListSchema& schema);
    int ListEntries(WordListTable& table);
    int ChangeEntries(WordListTable& table, const ListSchema& schema, bool adding,
                      const QStringList& entries);
    /// Deletes `entry`; false with `error` left as it was when the list does not hold it.
    static bool DeleteEntry(WordListTable& table, const QString& entry, StoreError* error);
    /// Chooses the word lists as both programs do and makes the per-user file when it is
    /// missing, saying so; false when it could not be made.
    bool PrepareWordLists();
    // The outcomes of the word-list commands that fail: said, and status 1.
    int StoreFailed(const StoreError& error) {
        Error(StoreFailureText(error));
        return kExitFailed;
    }
    int NotListed(const QString& entry, const ListSchema& schema) {
        Error(QStringLiteral("\"%1\" is not in the %2").arg(entry, schema.description));
        return kExitFailed;
    }

    BatchIo io_;
    QString given_;  // --wordlists
    QString database_ = DefaultDatabasePath();
    LoneLineFeeds lineFeeds_ = LoneLineFeeds::Keep;
    std::optional<TextEncoding> encoding_;  // chosen with --encoding; detected when unset
    bool verbose_ = false;
    bool outClosed_ = false;  // standard output is a closed pipe: the run ends quietly
};

bool Batch::Out(QByteArrayView bytes, const QString& label) {
    if (outClosed_) return false;
    if (io_.out.write(bytes.data(), bytes.size()) == bytes.size()) return true;
    // Nobody reads any more: stop, as standard tools do, without a message.
    const auto* device = dynamic_cast<const DescriptorDevice*>(&io_.out);
    if (device && device->systemError() == EPIPE) {
        outClosed_ = true;
        return false;
    }
    Error((label.isEmpty() ? QString() : label + QStringLiteral(": ")) +
          QStringLiteral("cannot write standard output: ") + io_.out.errorString());
    return false;
}

int Batch::Run(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    const QCommandLineOption verbose(QStringList{QStringLiteral("v"), QStringLiteral("verbose")});
    const QCommandLineOption encoding(QStringLiteral("encoding"), QString(),
                                      QStringLiteral("NAME"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QString(), QStringLiteral("OUT"));
    const QCommandLineOption wordlists(QStringLiteral("wordlists"), QString(),
                                       QStringLiteral("DB"));
    const QCommandLineOption joinLf(QStringLiteral("join-lf"));
    const QCommandLineOption html5(QStringLiteral("html5"));
    parser.addOptions({help, version, verbose, output, wordlists, encoding, joinLf, html5});
    if (!parser.parse(arguments)) return Usage(parser.errorText());
    if (parser.isSet(help)) return Out(QString::fromLatin1(kUsage)) ? kExitOk : kExitFailed;
    if (parser.isSet(version)) {
        return Out(QStringLiteral("quillet-batch " QUILLET_VERSION "\n")) ? kExitOk : kExitFailed;
    }
    if (parser.isSet(wordlists)) given_ = database_ = parser.value(wordlists);
    verbose_ = parser.isSet(verbose);
    if (parser.isSet(encoding)) {
        encoding_ = TextEncoding::ForName(parser.value(encoding));
        if (!encoding_) {
            return Usage(QStringLiteral("unknown encoding '%1'").arg(parser.value(encoding)));
        }
    }

    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) return Usage(QStringLiteral("no command given"));
    const QString command = words.takeFirst();
    CommandOptions options;
    if (parser.isSet(output)) options.output = parser.value(output);
    options.joinLf = parser.isSet(joinLf);
    options.html5 = parser.isSet(html5);
    if (command == u"wordlists") {
        if (options.output) return Usage(QStringLiteral("-o is not an option of wordlists"));
        if (options.joinLf) {
            return Usage(QStringLiteral("--join-lf is an option of strip-newlines only"));
        }
        if (encoding_) return Usage(QStringLiteral("--encoding is not an option of wordlists"));
        return RunWordLists(words);
    }
    return RunRepairCommand(command, words, options);
}

int Batch::RunRepairCommand(const QString& command, const QStringList& inputs,
                            const CommandOptions& options) {
    Repair repair;
    if (command == u"fix") {
        repair = options.html5 ? Repair::FixHtml5 : Repair::Fix;
    } else if (command == u"strip-newlines") {
        repair = Repair::StripNewlines;
    } else if (command == u"strip-spaces") {
        repair = Repair::StripSpaces;
    } else {
        return Usage(QStringLiteral("unknown command '%1'").arg(command));
    }
    if (options.joinLf) {
        if (repair != Repair::StripNewlines) {
            return Usage(QStringLiteral("--join-lf is an option of strip-newlines only"));
        }
        lineFeeds_ = LoneLineFeeds::Join;
    }
    if (options.html5 && command != u"fix") {
        return Usage(QStringLiteral("--html5 is an option of fix only"));
    }
    if (inputs.isEmpty()) return Usage(QStringLiteral("%1: no INPUT given").arg(command));
    if (options.output && inputs.size() > 1) {
        return Usage(QStringLiteral("-o names the output of a single INPUT"));
    }
    if (options.output && options.output->isEmpty()) {
        return Usage(QStringLiteral("-o needs a file name (\"-\": standard output)"));
    }
    return RunRepair(repair, inputs, options.output.value_or(QString()));
}

bool Batch::PrepareWordLists() {
    const WordListLocation location = WordListLocation::Choose(given_);
    bool created = false;
    StoreError error;
    if (!location.Prepare(&created, &error)) {
        StoreFailed(error);
        return false;
    }
    if (created) {
        Error(QStringLiteral("created %1 with the default word lists")
                  .arg(QDir::toNativeSeparators(location.path())));
    }
    database_ = location.path();
    return true;
}

int Batch::RunRepair(Repair repair, const QStringList& inputs, const QString& output) {
    if (repair == Repair::Fix && !PrepareWordLists()) return kExitFailed;
    bool allOk = true;
    for (const Job& job : PlanJobs(inputs, output)) {
        if (outClosed_) break;
        if (!job.refusal.isEmpty()) {
            Error(QStringLiteral("%1: %2").arg(job.input, job.refusal));
            allOk = false;
            continue;
        }
        allOk = RepairOne(repair, job.input, job.output) && allOk;
    }
    return allOk && !outClosed_ ? kExitOk : kExitFailed;
}

QList<Batch::Job> Batch::PlanJobs(const QStringList& inputs, const QString& output) {
    // Every output is known before anything is written, so that none can replace another
    // input's output or a page that the run has yet to read. Files are compared by what
    // they are, so that links and other spellings of a name are caught too.
    QList<Job> jobs;
    for (const QString& input : inputs) {
        Job job{input, output, {}, {}, {}};
        if (job.output.isEmpty()) {
            job.output = input == u"-" ? input : FixedFileName(SplitDocName(input));
        }
        if (input != u"-") job.inputKey = FileIdentityKey(input);
        if (job.output != u"-") job.outputKey = FileIdentityKey(job.output);
        jobs.append(job);
    }
    for (Job& job : jobs) {
        if (job.outputKey.isEmpty()) continue;
        // Naming the page itself with -o is the user's choice; by default it is refused.
        if (output.isEmpty() && job.outputKey == job.inputKey) {
            job.refusal = QStringLiteral(
                              "the repaired copy %1 would replace the page itself; "
                              "name another output with -o")
                              .arg(job.output);
            continue;
        }
        for (const Job& other : jobs) {
            if (&other == &job) continue;
            if (job.outputKey == other.inputKey) {
                job.refusal = QStringLiteral(
                                  "not repaired: its output %1 would replace %2, a "
                                  "page of this run")
                                  .arg(job.output, other.input);
            } else if (job.outputKey == other.outputKey) {
                job.refusal = QStringLiteral(
                                  "not repaired: its output %1 would also be the "
                                  "output of %2")
                                  .arg(job.output, other.input);
            }
            if (!job.refusal.isEmpty()) break;
        }
    }
    return jobs;
}

bool Batch::RepairOne(Repair repair, const QString& input, const QString& output) {
    const QString label = input == u"-" ? QStringLiteral("standard input") : input;
    // A page that fits the reading limit may still be too large for the repair: it fails
    // alone, and the run goes on with the next one.
    try {
        return RepairOneInMemory(repair, label, input, output);
    } catch (const std::bad_alloc&) {
        Error(QStringLiteral("%1: cannot repair the page: %2").arg(label, TooLargeReason()));
        return false;
    }
}

bool Batch::RepairOneInMemory(Repair repair, const QString& label, const QString& input,
                              const QString& output) {
    std::optional<Page> page = ReadPage(repair, label, input);
    if (!page) return false;
    const TextUnits units = page->units();
    const qint64 characters = units.characters();
    TerminalProgress progress(io_.err, label, characters,
                              io_.errIsTerminal && characters >= kProgressBarBytes);
    StoreListSource lists(database_);
    Functions engine(progress, lists);
    const RepairResult result = RunEngine(repair, engine, units, page->decoded.text);
    progress.finish();
    if (!result.ok()) {
        const bool lists = result.status == RepairResult::Status::ListsUnavailable;
        Error(QStringLiteral("%1: %2").arg(
            label, lists ? StoreFailureText(result.listsError) : result.error));
        return false;
    }
    if (!WriteResult(label, output, *page, result)) return false;
    if (repair == Repair::Fix || repair == Repair::FixHtml5) {
        io_.err.write(EncodeFileName(
            QStringLiteral("%1: %2 </p> added\n").arg(label).arg(engine.AddedCount)));
    }
    return true;
}

std::optional<Batch::Page> Batch::ReadPage(Repair repair, const QString& label,
                                           const QString& input) {
    FileResult read;
    std::optional<QByteArray> bytes =
        input == u"-" ? ReadDeviceBytes(io_.in, &read) : ReadDocumentBytes(input, &read);
    if (!bytes) {
        Error(QStringLiteral("%1: cannot read the page: %2").arg(label, read.reason));
        return std::nullopt;
    }
    // The repairs read the bytes themselves where the encoding allows; the HTML5 parser
    // reads UTF-8 or 16-bit text.
    std::optional<DecodedPage> decoded = encoding_
                                             ? DecodePageAs(*bytes, *encoding_, PageText::KeepBytes)
                                             : DecodePage(*bytes, PageText::KeepBytes);
    if (!decoded) {
        Error(QStringLiteral("%1: cannot be read as %2 without changing its bytes")
                  .arg(label, encoding_->name()));
        return std::nullopt;
    }
    if (verbose_) {
        io_.err.write(EncodeFileName(
            QStringLiteral("%1: read as %2\n").arg(label, decoded->encoding.description())));
    }
    // A declaration passed over, or damage kept as it is.
    for (const QString& note : decoded->notes) {
        io_.err.write(EncodeFileName(QStringLiteral("%1: %2\n").arg(label, note)));
    }
    Page page{std::move(*bytes), std::move(*decoded)};
    const TextEncoding& encoding = page.decoded.encoding;
    if (repair == Repair::FixHtml5 && encoding.kind() != TextEncoding::Kind::Utf8 &&
        !page.decoded.decoded) {
        page.decoded.text = *encoding.decode(page.body());
        page.decoded.decoded = true;
    } else if (repair != Repair::FixHtml5 && encoding.asciiTransparent()) {
        // A single-byte code that extends ASCII was decoded only to prove that it reads back.
        page.decoded.text = QString();
        page.decoded.decoded = false;
    }
    if (page.decoded.decoded) page.bytes = QByteArray();  // the text holds the page now
    return page;
}

RepairResult Batch::RunEngine(Repair repair, Functions& engine, const TextUnits& units,
                              const QString& text) {
    switch (repair) {
        case Repair::Fix:
            return engine.FixText(units);
        case Repair::FixHtml5:
            // The parser's thread shares a decoded text rather than copying it.
            return units.isUtf16() ? engine.FixTextHtml5(text, FixOutput::Insertions)
                                   : engine.FixTextHtml5(units);
        case Repair::StripNewlines:
            return engine.StripNewlines(units, lineFeeds_);
        case Repair::StripSpaces:
            return engine.StripSpaces(units);
    }
    return {};
}

bool Batch::WriteResult(const QString& label, const QString& output, Page& page,
                        const RepairResult& result) {
    AtomicFileWriter file;
    StreamWriter stream(io_.out);
    DocumentWriter& writer = output == u"-" ? static_cast<DocumentWriter&>(stream) : file;
    FileResult written;
    const TextEncoding& encoding = page.decoded.encoding;
    const QStringView text = page.decoded.text;
    if (!page.decoded.decoded) {
        // Straight from the page's bytes.
        const QList<QByteArrayView> pieces =
            OutputPieces(encoding.byteOrderMark(), page.body(), 1, "</p>", result);
        written = writer.Write(output, {pieces.constData(), size_t(pieces.size())});
    } else if (encoding.kind() == TextEncoding::Kind::Utf16LE &&
               QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // The text's own memory is the page's encoding; what the repairs add and remove is
        // ASCII, so there is nothing it cannot hold.
        const QByteArrayView body(reinterpret_cast<const char*>(text.utf16()), 2 * text.size());
        QList<QByteArrayView> pieces = OutputPieces(encoding.byteOrderMark(), body, 2,
                                                    QByteArrayView("<\0/\0p\0>\0", 8), result);
        pieces.append(encoding.strayByte());
        written = writer.Write(output, {pieces.constData(), size_t(pieces.size())});
    } else {
        const QString repaired = result.kept.isEmpty()
                                     ? WithInsertions(text, result.insertions, u"</p>")
                                     : KeptText(text, result.kept);
        page.decoded.text = QString();
        written = SaveDocument(writer, output, repaired, encoding);
    }
    if (stream.closed()) outClosed_ = true;
    if (written.ok() || outClosed_) return written.ok();
    const QString where = output == u"-" ? QStringLiteral("standard output") : output;
    Error(QStringLiteral("%1: cannot write %2: %3").arg(label, where, written.reason));
    return false;
}

int Batch::RunWordLists(const QStringList& words) {
    if (words.isEmpty())
        return Usage(QStringLiteral("wordlists: init, list, add or delete expected"));
    const QString& action = words.first();
    if (action == u"init") return InitWordLists(words.mid(1));
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
    if (!PrepareWordLists()) return kExitFailed;
    const std::unique_ptr<WordListTable> table = OpenWordList(schema);
    if (!table) return kExitFailed;
    if (action == u"list") return ListEntries(*table);
    return ChangeEntries(*table, schema, action == u"add", entries);
}

int Batch::InitWordLists(const QStringList& arguments) {
    if (!arguments.isEmpty()) return Usage(QStringLiteral("wordlists init takes no arguments"));
    StoreError error;
    if (!CreateWordListDatabase(database_, &error)) return StoreFailed(error);
    io_.err.write(EncodeFileName(QStringLiteral("created %1\n").arg(database_)));
    return kExitOk;
}

std::unique_ptr<WordListTable> Batch::OpenWordList(const ListSchema& schema) {
    StoreError error;
    const auto db = WordListDatabase::Open(database_, &error);
    auto table = db ? db->OpenTable(schema, &error) : nullptr;
    if (!table || !table->SetIndex(&error)) {
        StoreFailed(error);
        return nullptr;
    }
    return table;  // it keeps the connection open
}

int Batch::ListEntries(WordListTable& table) {
    StoreError error;
    const std::optional<QStringList> listed = table.Walk(&error);
    if (!listed) return StoreFailed(error);
    for (const QString& entry : *listed) {
        if (!Out(entry + u'\n')) return kExitFailed;
    }
    return kExitOk;
}

int Batch::ChangeEntries(WordListTable& table, const ListSchema& schema, bool adding,
                         const QStringList& entries) {
    int status = kExitOk;
    for (const QString& given : entries) {
        // The editors' rule: entries lose their outer spaces, and an empty one is no entry.
        const QString entry = TrimSpaces(given).toString();
        StoreError error;
        if (entry.isEmpty()) {
            Error(QStringLiteral("an empty entry was not %1").arg(adding ? u"added" : u"deleted"));
            status = kExitFailed;
        } else if (adding ? !table.Add(entry, &error) : !DeleteEntry(table, entry, &error)) {
            // The store refuses an entry it holds already, in any letter case; a delete
            // that found nothing to delete leaves no error.
            status = error.kind == StoreError::Kind::None ? NotListed(entry, schema)
                                                          : StoreFailed(error);
        }
    }
    return status;
}

bool Batch::DeleteEntry(WordListTable& table, const QString& entry, StoreError* error) {
    const std::optional<bool> found = table.Seek(entry, error);
    return found && *found && table.DeleteCurrent(error);
}

}  // namespace

int RunBatch(const QStringList& arguments, BatchIo io) {
    return Batch(io).Run(arguments);
}

}  // namespace quillet
