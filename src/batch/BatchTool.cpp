// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchTool.h"

#include "batch/BatchOptions.h"
#include "batch/DescriptorDevice.h"
#include "batch/JobPool.h"
#include "batch/PageWalk.h"
#include "batch/RepairRunner.h"
#include "batch/RunPlan.h"
#include "documents/DocumentFile.h"
#include "documents/FileNames.h"
#include "engine/RepairCommands.h"
#include "frontend/StoreErrorText.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/WordListLocation.h"
#include "wordlists/WordListSnapshot.h"
#include "wordlists/WordListStore.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>
#endif

namespace quillet {

namespace {

/// What the batch tool says when the word lists fail: an entry listed exactly as given
/// is the editors' "Duplicate Entry"; anything else is said as both programs say it.
QString StoreFailureText(const StoreError& error) {
    if (error.kind == StoreError::Kind::Duplicate && error.listed == error.entry) {
        return QStringLiteral("Duplicate Entry: \"%1\" is in the %2 already")
            .arg(error.entry, error.list);
    }
    return StoreErrorText(error);
}

/// The characters of `text`, a surrogate that is not half of a pair as the code it is.
QList<char32_t> CodePoints(QStringView text) {
    QList<char32_t> points;
    points.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            points.append(QChar::surrogateToUcs4(unit, text[++i].unicode()));
        } else {
            points.append(unit);
        }
    }
    return points;
}

/// Whether `c` shows between single quotes: a character that prints, or a space; not a
/// control character, a line or paragraph separator, or a byte that is not UTF-8.
bool IsShown(char32_t c) {
    return c >= 0x20 && QChar::isPrint(c) && c != 0x2028 && c != 0x2029;
}

/// Whether `c` may stand in a shell word without quotes: ASCII letters and digits, a few
/// marks that no shell reads, and the printable characters beyond ASCII but spaces.
bool IsPlain(char32_t c) {
    if (c < 0x80) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               QStringView(u"%+,-./:=@_").contains(QChar(char16_t(c)));
    }
    return IsShown(c) && !QChar::isSpace(c);
}

/// `entry` as `wordlists list` prints it, and as a shell reads it back: as it is when it is
/// a plain word; in single quotes when it is empty or holds spaces, quotes or other marks
/// a shell reads; and as $'...', with C escapes, when it holds a character that does not
/// show (a control character, a byte that is not UTF-8). So an entry is always one line,
/// and the empty entry reads ''.
QString ShellWord(QStringView entry) {
    const QList<char32_t> points = CodePoints(entry);
    const bool plain = !points.isEmpty() && std::all_of(points.begin(), points.end(), IsPlain);
    if (plain) return entry.toString();
    if (std::all_of(points.begin(), points.end(), IsShown)) {
        QString quoted = entry.toString();
        quoted.replace(u'\'', QStringLiteral("'\\''"));
        return u'\'' + quoted + u'\'';
    }
    auto hex = [](char32_t value, int digits) {
        return QString::number(uint(value), 16).rightJustified(digits, u'0');
    };
    QString escaped = QStringLiteral("$'");
    for (const char32_t c : points) {
        switch (c) {
            case u'\\':
            case u'\'':
                escaped += u'\\' + QString(QChar(char16_t(c)));
                break;
            case u'\t':
                escaped += QStringLiteral("\\t");
                break;
            case u'\n':
                escaped += QStringLiteral("\\n");
                break;
            case u'\r':
                escaped += QStringLiteral("\\r");
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    escaped += QStringLiteral("\\x") + hex(c, 2);
                } else if (c >= 0xdc80 && c <= 0xdcff) {
                    // A byte that is not UTF-8, as DecodeFileName keeps it: the byte itself.
                    escaped += QStringLiteral("\\x") + hex(c - 0xdc00, 2);
                } else if (!IsShown(c)) {
                    escaped += c > 0xffff ? QStringLiteral("\\U") + hex(c, 8)
                                          : QStringLiteral("\\u") + hex(c, 4);
                } else {
                    escaped += QString::fromUcs4(&c, 1);
                }
        }
    }
    return escaped + u'\'';
}

/// Whether `path` names a folder (a link to one included).
bool IsFolder(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::stat(EncodeFileName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
#else
    return QFileInfo(path).isDir();
#endif
}

/// The size of the file at `path`, or 0.
qint64 FileSize(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::stat(EncodeFileName(path).constData(), &info) == 0 && S_ISREG(info.st_mode)
               ? qint64(info.st_size)
               : 0;
#else
    return QFileInfo(path).size();
#endif
}

/// A listed path as it goes under --output-dir: without a leading "/" or "./" and the
/// "." between; nothing when it climbs with "..".
std::optional<QString> ListedMirror(const QString& listed) {
    QStringList parts;
    for (const QString& part : listed.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".") continue;
        if (part == u"..") return std::nullopt;
        parts.append(part);
    }
    return parts.join(u'/');
}

/// The options that only the repair commands take, as given on the command line.
const char* const kRepairOptions[] = {"output",   "join-lf",    "html5",  "recursive",  "include",
                                      "exclude",  "in-place",   "backup", "output-dir", "check",
                                      "diff",     "files-from", "null",   "jobs",       "report",
                                      "encoding", "quiet"};

class Batch {
  public:
    explicit Batch(BatchIo io) : io_(io) {}

    int Run(const QStringList& arguments);

  private:
    int Usage(const QString& problem) {
        Error(problem + QStringLiteral("\nTry 'quillet-batch --help'."));
        return kExitUsage;
    }
    void Error(const QString& text) {
        // File names go out as the bytes they were given in.
        io_.err.write(EncodeFileName(QString(QStringLiteral("quillet-batch: ") + text + u'\n')));
    }
    bool Out(const QString& text);

    int RunRepairCommand(const RepairCommand& command, const BatchOptions& options);
    /// Checks the combination of options for a repair; the usage problem, or empty.
    QString OptionProblem(const RepairCommand& command, const BatchOptions& options) const;
    /// The pages of the run: named, walked and listed. False when the list cannot be read.
    bool CollectSources(const BatchOptions& options, PagePlan* sources, QStringList* walked);
    void AddSource(const QString& path, const QString& mirror, const BatchOptions& options,
                   PagePlan* sources, QStringList* walked);
    /// Opens the report file; false after saying why it cannot be.
    bool OpenReport(const QString& name, QFile& file);
    /// Reads --files-from; nothing after saying why it cannot be read.
    std::optional<QStringList> ReadFileList(const BatchOptions& options);

    int RunWordLists(const QStringList& words);
    int InitWordLists(const QStringList& arguments);
    /// How the word-list commands wait for another program's lock: long enough for the
    /// changes of other quillet-batch runs, saying so on standard error.
    LockWait WordListWait();
    int ListEntries(WordListTable& table);
    /// Adds or deletes `entries` in one change: the list takes all that it can take, or
    /// nothing when the store fails.
    int ChangeEntries(WordListDatabase& db, WordListTable& table, const ListSchema& schema,
                      bool adding, const QStringList& entries);
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
    /// A change of the lists that the store failed, so that none of it was stored.
    int ChangeFailed(const StoreError& error, bool adding) {
        Error(StoreFailureText(error) + (adding ? QStringLiteral(" Nothing was added.")
                                                : QStringLiteral(" Nothing was deleted.")));
        return kExitFailed;
    }
    int NotListed(const QString& entry, const ListSchema& schema) {
        // An entry that cannot be shown as it is goes out in the form the list shows.
        const QString named = EntryFault(entry).isEmpty() ? u'"' + entry + u'"' : ShellWord(entry);
        Error(QStringLiteral("%1 is not in the %2").arg(named, schema.description));
        return kExitFailed;
    }

    BatchIo io_;
    QString given_;  // --wordlists
    QString database_ = DefaultDatabasePath();
};

bool Batch::Out(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (io_.out.write(bytes) == bytes.size()) return true;
    // Nobody reads any more: stop, as standard tools do, without a message.
    const auto* device = dynamic_cast<const DescriptorDevice*>(&io_.out);
    if (!device || device->systemError() != EPIPE) {
        Error(QStringLiteral("cannot write standard output: ") + io_.out.errorString());
    }
    return false;
}

int Batch::Run(const QStringList& arguments) {
    BatchOptions options;
    QString problem;
    if (!ParseBatchArguments(arguments.mid(1), &options, &problem)) return Usage(problem);
    if (options.help) return Out(BatchUsage()) ? kExitOk : kExitFailed;
    if (options.version) {
        return Out(QStringLiteral("quillet-batch " QUILLET_VERSION "\n")) ? kExitOk : kExitFailed;
    }
    if (options.wordlists) given_ = database_ = *options.wordlists;
    if (options.words.isEmpty()) return Usage(QStringLiteral("no command given"));
    const QString command = options.words.takeFirst();
    if (command == u"wordlists") {
        for (const char* name : kRepairOptions) {
            if (options.has(name)) {
                return Usage(QStringLiteral("--%1 is an option of the repair commands")
                                 .arg(QLatin1StringView(name)));
            }
        }
        return RunWordLists(options.words);
    }
    const RepairCommand* repair = FindRepairCommand(command);
    if (!repair) return Usage(QStringLiteral("unknown command '%1'").arg(command));
    return RunRepairCommand(*repair, options);
}

QString Batch::OptionProblem(const RepairCommand& command, const BatchOptions& options) const {
    if (options.joinLf && command.id != RepairId::StripNewlines) {
        return QStringLiteral("--join-lf is an option of strip-newlines only");
    }
    if (options.html5 && command.id != RepairId::Fix) {
        return QStringLiteral("--html5 is an option of fix only");
    }
    const int targets = int(options.output.has_value()) + int(options.inPlace) +
                        int(options.outputDir.has_value()) + int(options.check || options.diff);
    if (targets > 1) {
        return QStringLiteral(
            "give only one of -o, --in-place, --output-dir and --check or "
            "--diff (which write nothing)");
    }
    if (options.backup && !options.inPlace) {
        return QStringLiteral("--backup keeps the originals of --in-place; give --in-place too");
    }
    if (options.nul && !options.filesFrom) {
        return QStringLiteral("-0 separates the names of --files-from; give --files-from too");
    }
    if ((!options.include.isEmpty() || !options.exclude.isEmpty()) && !options.recursive) {
        return QStringLiteral(
            "--include and --exclude choose the pages of walked folders; "
            "give -r too");
    }
    if (options.words.isEmpty() && !options.filesFrom) {
        return QStringLiteral("%1: no PAGE given").arg(QLatin1StringView(command.name));
    }
    if (options.output && (options.words.size() > 1 || options.filesFrom || options.recursive)) {
        return QStringLiteral("-o names the output of a single PAGE");
    }
    if (options.output && options.output->isEmpty()) {
        return QStringLiteral("-o needs a file name (\"-\": standard output)");
    }
    if (options.outputDir && options.outputDir->isEmpty()) {
        return QStringLiteral("--output-dir needs a folder");
    }
    if (options.report && options.report->isEmpty()) {
        return QStringLiteral("--report needs a file name (\"-\": standard output)");
    }
    const bool pageFromInput = options.words.contains(u"-");
    if (pageFromInput && options.filesFrom == u"-") {
        return QStringLiteral(
            "standard input cannot hold both the list of --files-from and a "
            "page");
    }
    const bool writesOut = options.diff || options.output == u"-" ||
                           (pageFromInput && !options.check && !options.output);
    if (options.report == u"-" && writesOut) {
        return QStringLiteral(
            "--report - needs standard output for itself; it carries pages "
            "or a diff here");
    }
    return {};
}

std::optional<QStringList> Batch::ReadFileList(const BatchOptions& options) {
    FileResult read;
    const std::optional<QByteArray> list = *options.filesFrom == u"-"
                                               ? ReadDeviceBytes(io_.in, &read)
                                               : ReadDocumentBytes(*options.filesFrom, &read);
    if (!list) {
        Error(QStringLiteral("cannot read the list %1: %2")
                  .arg(*options.filesFrom == u"-" ? QStringLiteral("on standard input")
                                                  : *options.filesFrom,
                       read.reason));
        return std::nullopt;
    }
    return SplitFileList(*list, options.nul);
}

void Batch::AddSource(const QString& path, const QString& mirror, const BatchOptions& options,
                      PagePlan* sources, QStringList* walked) {
    if (path == u"-" || !IsFolder(path)) {
        sources->add({path, mirror, path == u"-" ? 0 : FileSize(path), {}, {}});
        return;
    }
    if (!options.recursive) {
        sources->add({path,
                      mirror,
                      0,
                      QStringLiteral("it is a folder; give -r to repair the pages in it"),
                      {}});
        return;
    }
    walked->append(path);
    const PageFilter filter(options.include, options.exclude);
    WalkFolder(path, filter, [&](FoundPage&& page) {
        // Under --output-dir, a listed folder's pages keep the path it was listed as.
        QString under = mirror.isEmpty() ? page.relative : mirror + u'/' + page.relative;
        const qsizetype walked =
            page.relative.isEmpty() ? 0 : page.path.size() - page.relative.size();
        sources->add({std::move(page.path), std::move(under), page.size, std::move(page.error),
                      std::move(page.identity), walked});
    });
}

bool Batch::CollectSources(const BatchOptions& options, PagePlan* sources, QStringList* walked) {
    for (const QString& path : options.words) AddSource(path, QString(), options, sources, walked);
    if (!options.filesFrom) return true;
    const std::optional<QStringList> listed = ReadFileList(options);
    if (!listed) return false;
    for (const QString& path : *listed) {
        const std::optional<QString> mirror = ListedMirror(path);
        if (!mirror && options.outputDir) {
            sources->add({path,
                          QString(),
                          0,
                          QStringLiteral("its path climbs out with \"..\", so it has no "
                                         "place under %1")
                              .arg(*options.outputDir),
                          {}});
            continue;
        }
        AddSource(path, mirror.value_or(QString()), options, sources, walked);
    }
    return true;
}

bool Batch::OpenReport(const QString& name, QFile& file) {
#ifdef Q_OS_UNIX
    // By the name's own bytes, which need not be UTF-8.
    const int fd = ::open(EncodeFileName(name).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
    const QString reason = fd < 0 ? ResultForErrno(errno).reason : QString();
    if (fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) return true;
#else
    file.setFileName(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return true;
    const QString reason = file.errorString();
#endif
    Error(QStringLiteral("cannot write the report %1: %2").arg(name, reason));
    return false;
}

int Batch::RunRepairCommand(const RepairCommand& command, const BatchOptions& options) {
    if (const QString problem = OptionProblem(command, options); !problem.isEmpty()) {
        return Usage(problem);
    }
    RepairRun run;
    run.command = &command;
    run.settings.html5 = options.html5;
    run.settings.lineFeeds = options.joinLf ? LoneLineFeeds::Join : LoneLineFeeds::Keep;
    run.verbose = options.verbose;
    run.sayCounts = !options.quiet;
    run.result = options.diff    ? RepairRun::Result::Compared
                 : options.check ? RepairRun::Result::Counted
                                 : RepairRun::Result::Written;
    run.in = &io_.in;
    run.out = &io_.out;
    if (options.encoding) {
        run.encoding = TextEncoding::ForName(*options.encoding);
        if (!run.encoding) {
            return Usage(QStringLiteral("unknown encoding '%1'").arg(*options.encoding));
        }
    }

    PlanSettings plan;
    using Target = PlanSettings::Target;
    plan.target = options.check || options.diff ? Target::Nowhere
                  : options.output              ? Target::Named
                  : options.inPlace             ? Target::InPlace
                  : options.outputDir           ? Target::OutputDir
                                                : Target::FixCopy;
    plan.output = options.output ? *options.output : options.outputDir.value_or(QString());
    plan.backupSuffix = options.backup.value_or(QString());
    PagePlan sources(plan);
    QStringList walked;
    if (!CollectSources(options, &sources, &walked)) return kExitFailed;
    if (options.outputDir) {
        // The outputs must not become pages of this run, or of the next.
        const PageFilter filter(options.include, options.exclude);
        for (const QString& folder : walked) {
            const std::optional<QString> within = PathWithin(*options.outputDir, folder);
            if (!within) continue;
            bool entered = !within->isEmpty();
            for (qsizetype at = 0; entered && at >= 0; at = within->indexOf(u'/', at + 1)) {
                const qsizetype end = within->indexOf(u'/', at + 1);
                entered = filter.entersFolder(within->first(end < 0 ? within->size() : end));
                if (end < 0) break;
            }
            if (entered || within->isEmpty()) {
                return Usage(QStringLiteral("the output folder %1 lies inside %2, which is "
                                            "walked; leave it out with --exclude")
                                 .arg(*options.outputDir, folder));
            }
        }
    }
    if (command.needsWordLists(run.settings)) {
        if (!PrepareWordLists()) return kExitFailed;
        StoreError error;
        run.lists = WordListSnapshot::Read(database_, &error, WordListWait());
        if (!run.lists) return StoreFailed(error);
    }

    sources.check();
    if (plan.target == Target::OutputDir) sources.makeOutputFolders();

    RunnerSettings settings;
    settings.jobs = options.jobs.value_or(AvailableProcessors());
    settings.quiet = options.quiet;
    settings.summary = sources.size() > 1 || !walked.isEmpty();
    QFile reportFile;
    if (options.report == u"-") {
        settings.report = &io_.out;
    } else if (options.report) {
        if (!OpenReport(*options.report, reportFile)) return kExitFailed;
        settings.report = &reportFile;
        settings.reportName = *options.report;
    }
    int status = RunRepairs(run, sources, settings, io_);
    if (reportFile.isOpen() && (!reportFile.flush() || reportFile.error() != QFile::NoError)) {
        Error(QStringLiteral("cannot write the report %1: %2")
                  .arg(*options.report, reportFile.errorString()));
        if (status == kExitOk) status = kExitFailed;
    }
    return status;
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
    StoreError error;
    const auto db = WordListDatabase::Open(database_, &error, WordListWait());
    const auto table = db ? db->OpenTable(schema, &error) : nullptr;
    if (!table || !table->SetIndex(&error)) {
        if (action == u"list") return StoreFailed(error);
        return ChangeFailed(error, action == u"add");
    }
    if (action == u"list") return ListEntries(*table);
    return ChangeEntries(*db, *table, schema, action == u"add", entries);
}

int Batch::InitWordLists(const QStringList& arguments) {
    if (!arguments.isEmpty()) return Usage(QStringLiteral("wordlists init takes no arguments"));
    StoreError error;
    if (!CreateWordListDatabase(database_, &error)) return StoreFailed(error);
    io_.err.write(EncodeFileName(QStringLiteral("created %1\n").arg(database_)));
    return kExitOk;
}

LockWait Batch::WordListWait() {
    return LockWait{.timeoutMs = io_.lockWaitMs, .waiting = [this] {
                        Error(QStringLiteral("%1 is locked by another program; waiting up to %2 s")
                                  .arg(QDir::toNativeSeparators(AbsoluteFileName(database_)))
                                  .arg((io_.lockWaitMs + 999) / 1000));
                    }};
}

int Batch::ListEntries(WordListTable& table) {
    StoreError error;
    const std::optional<QStringList> listed = table.Walk(&error);
    if (!listed) return StoreFailed(error);
    for (const QString& entry : *listed) {
        if (!Out(ShellWord(entry) + u'\n')) return kExitFailed;
    }
    return kExitOk;
}

int Batch::ChangeEntries(WordListDatabase& db, WordListTable& table, const ListSchema& schema,
                         bool adding, const QStringList& entries) {
    StoreError error;
    if (!db.Begin(&error)) return ChangeFailed(error, adding);
    int status = kExitOk;
    for (const QString& given : entries) {
        // The editors' rule: entries lose their outer spaces, and an empty one is no entry
        // to add (the empty name, which the default skip list holds, may be deleted).
        const QString entry = TrimSpaces(given).toString();
        if (adding && entry.isEmpty()) {
            Error(QStringLiteral("an empty entry was not added"));
            status = kExitFailed;
            continue;
        }
        if (const QString fault = EntryFault(entry); adding && !fault.isEmpty()) {
            Error(QStringLiteral("%1 was not added: %2").arg(ShellWord(entry), fault));
            status = kExitFailed;
            continue;
        }
        error = StoreError();
        if (adding ? table.Add(entry, &error) : DeleteEntry(table, entry, &error)) continue;
        status = kExitFailed;
        // A delete that found nothing to delete leaves no error, and the store refuses an
        // entry it holds already, in any letter case: the other entries still go in. Any
        // other failure ends the change with nothing of it stored.
        if (error.kind == StoreError::Kind::None) {
            NotListed(entry, schema);
        } else if (error.kind == StoreError::Kind::Duplicate) {
            StoreFailed(error);
        } else {
            db.Rollback();
            return ChangeFailed(error, adding);
        }
    }
    if (!db.Commit(&error)) return ChangeFailed(error, adding);
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
