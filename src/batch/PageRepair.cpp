// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/PageRepair.h"

#include "batch/DescriptorDevice.h"
#include "batch/UnifiedDiff.h"
#include "documents/FileNames.h"
#include "documents/PageDecoding.h"
#include "engine/Functions.h"
#include "frontend/ProgressThrottle.h"
#include "frontend/StoreErrorText.h"

#include <QDir>
#include <QSysInfo>
#include <cerrno>
#include <new>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace quillet {

namespace {

/// The bytes of a repaired page, handed out a batch at a time: `mark`, then the stretches
/// of `body` the strips kept, or the stretches between Fix File's insertions with `close`
/// ("</p>" in the page's encoding) between them; then `tail`. Offsets count code units of
/// `unit` bytes.
class RepairedPieces final : public DocumentPieces {
  public:
    RepairedPieces(QByteArrayView mark, QByteArrayView body, qsizetype unit, QByteArrayView close,
                   const RepairResult& result, QByteArrayView tail = {})
        : mark_(mark), body_(body), unit_(unit), close_(close), result_(result), tail_(tail) {}

    qsizetype next(std::span<QByteArrayView> room) override {
        // Two pieces at most for each step below.
        qsizetype count = 0;
        const auto put = [&](QByteArrayView piece) { room[size_t(count++)] = piece; };
        while (count + 2 <= qsizetype(room.size()) && stage_ != Stage::Done) {
            switch (stage_) {
                case Stage::Mark:
                    put(mark_);
                    stage_ = result_.kept.isEmpty() ? Stage::Insertions : Stage::Kept;
                    break;
                case Stage::Kept:
                    if (next_ == result_.kept.size()) {
                        stage_ = Stage::Tail;
                        break;
                    }
                    put(body_.sliced(unit_ * result_.kept[next_].start,
                                     unit_ * result_.kept[next_].length));
                    ++next_;
                    break;
                case Stage::Insertions:
                    if (next_ == result_.insertions.size()) {
                        put(body_.sliced(unit_ * from_));
                        stage_ = Stage::Tail;
                        break;
                    }
                    put(body_.sliced(unit_ * from_, unit_ * (result_.insertions[next_] - from_)));
                    put(close_);
                    from_ = result_.insertions[next_++];
                    break;
                case Stage::Tail:
                    put(tail_);
                    stage_ = Stage::Done;
                    break;
                case Stage::Done:
                    break;
            }
        }
        return count;
    }

  private:
    enum class Stage { Mark, Kept, Insertions, Tail, Done };

    QByteArrayView mark_;
    QByteArrayView body_;
    qsizetype unit_;
    QByteArrayView close_;
    const RepairResult& result_;
    QByteArrayView tail_;
    Stage stage_ = Stage::Mark;
    qsizetype next_ = 0;  // the next span or insertion
    qint64 from_ = 0;     // where the body's next stretch starts, between insertions
};

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

/// Keeps a document's bytes in memory: what --diff compares. Counts them only, with
/// --check.
class MemoryWriter final : public DocumentWriter {
  public:
    explicit MemoryWriter(bool keep) : keep_(keep) {}

    using DocumentWriter::Write;
    FileResult Write(const QString&, std::span<const QByteArrayView> pieces) override {
        for (const QByteArrayView piece : pieces) {
            size_ += piece.size();
            if (keep_) bytes_.append(piece);
        }
        return {};
    }
    const QByteArray& bytes() const { return bytes_; }
    qint64 size() const { return size_; }

  private:
    bool keep_;
    QByteArray bytes_;
    qint64 size_ = 0;
};

/// Sees one page's repair: the characters left go to the progress line, notices to the
/// page's notes.
class JobObserver final : public EngineObserver {
  public:
    JobObserver(JobProgress* progress, QByteArray& notes, const QString& label)
        : progress_(progress), notes_(notes), label_(label) {}

    qint64 reportStride() const override {
        return progress_ && progress_->shown ? kStride : kNoReports;
    }
    void showRemaining(qint64 remaining) override {
        if (progress_) progress_->remaining.store(remaining, std::memory_order_relaxed);
    }
    void showAdded(qint32) override {}
    void clearAdded() override {}
    bool processEvents() override {
        if (progress_ && progress_->tick && throttle_.due()) {
            progress_->tick();
            throttle_.drawn();
        }
        return true;
    }
    void notice(const QString& text) override {
        notes_.append(EncodeFileName(QString(label_ + QStringLiteral(": ") + text + u'\n')));
    }

  private:
    /// A report every 256 KiB of the page's units: the progress line is drawn a few times
    /// a second, and the pass covers that many units in well under a millisecond.
    static constexpr qint64 kStride = qint64(1) << 18;

    JobProgress* progress_;
    QByteArray& notes_;
    const QString& label_;
    ProgressThrottle throttle_{100, 4096};
};

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
        return decoded.encoding.kind() == TextEncoding::Kind::Utf8 ? TextUnits::Utf8(body())
                                                                   : TextUnits::SingleByte(body());
    }
};

/// Writes the repaired page through `writer`; a decoded text is let go of once its
/// repaired copy is made.
FileResult WritePage(DocumentWriter& writer, const QString& output, Page& page,
                     const RepairResult& result) {
    const TextEncoding& encoding = page.decoded.encoding;
    const QStringView text = page.decoded.text;
    if (!page.decoded.decoded) {
        // Straight from the page's bytes.
        RepairedPieces pieces(encoding.byteOrderMark(), page.body(), 1, "</p>", result);
        return writer.Write(output, pieces);
    }
    if (encoding.kind() == TextEncoding::Kind::Utf16LE &&
        QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // The text's own memory is the page's encoding; what the repairs add and remove is
        // ASCII, so there is nothing it cannot hold.
        const QByteArrayView body(reinterpret_cast<const char*>(text.utf16()), 2 * text.size());
        RepairedPieces pieces(encoding.byteOrderMark(), body, 2, QByteArrayView("<\0/\0p\0>\0", 8),
                              result, encoding.strayByte());
        return writer.Write(output, pieces);
    }
    const QString repaired = RepairedText(text, result);
    page.decoded.text = QString();
    return SaveDocument(writer, output, repaired, encoding);
}

class PageRepair {
  public:
    PageRepair(const RepairRun& run, const PageJob& job, JobProgress* progress)
        : run_(run), job_(job), label_(job.label()), progress_(progress) {
        outcome_.record.path = job.path;
        outcome_.record.output = job.output;
    }

    PageOutcome take() {
        if (!job_.refusal.isEmpty()) {
            fail(job_.refusal);
            return std::move(outcome_);
        }
        // A page that fits the reading limit may still be too large for the repair: it
        // fails alone, and the run goes on with the next one.
        try {
            repair();
        } catch (const std::bad_alloc&) {
            fail(QStringLiteral("cannot repair the page: %1").arg(TooLargeReason()));
        }
        return std::move(outcome_);
    }

  private:
    void fail(const QString& error) {
        outcome_.record.status = PageRecord::Status::Failed;
        outcome_.record.error = error;
        outcome_.record.written = false;
        outcome_.countText.clear();
        outcome_.diff.clear();
        outcome_.staged.reset();
    }
    void note(const QString& text) {
        outcome_.notes.append(
            EncodeFileName(QString(label_ + QStringLiteral(": ") + text + u'\n')));
    }

    void repair();
    std::optional<Page> read();
    void finish(Page& page, const RepairResult& result, qint64 count, bool changed);

    const RepairRun& run_;
    const PageJob& job_;
    const QString label_;
    JobProgress* progress_;
    PageOutcome outcome_;
    QByteArray original_;  // the page's bytes, for a backup or a diff
};

std::optional<Page> PageRepair::read() {
    FileResult read;
    // A file is checked for UTF-8 as it is read, while its bytes are in the cache.
    Utf8Check check;
    const bool checked = job_.path != u"-";
    std::optional<QByteArray> bytes =
        checked ? ReadDocumentBytes(job_.path, &read, &check) : ReadDeviceBytes(*run_.in, &read);
    if (!bytes) {
        fail(QStringLiteral("cannot read the page: %1").arg(read.reason));
        return std::nullopt;
    }
    outcome_.record.bytesIn = bytes->size();
    // The repairs read the bytes themselves where the encoding allows; the HTML5 parser
    // reads UTF-8 or 16-bit text.
    const Utf8Check* known = checked ? &check : nullptr;
    std::optional<DecodedPage> decoded =
        run_.encoding ? DecodePageAs(*bytes, *run_.encoding, PageText::KeepBytes, known)
                      : DecodePage(*bytes, PageText::KeepBytes, known);
    if (!decoded) {
        fail(QStringLiteral("cannot be read as %1 without changing its bytes")
                 .arg(run_.encoding->name()));
        return std::nullopt;
    }
    outcome_.record.encoding = decoded->encoding.name();
    outcome_.record.byteOrderMark = decoded->encoding.hasByteOrderMark();
    if (run_.verbose) note(QStringLiteral("read as %1").arg(decoded->encoding.description()));
    // A declaration passed over, or damage kept as it is.
    for (const QString& text : decoded->notes) note(text);
    Page page{std::move(*bytes), std::move(*decoded)};
    const TextEncoding& encoding = page.decoded.encoding;
    const bool html5 = run_.command->id == RepairId::Fix && run_.settings.html5;
    if (html5 && encoding.kind() != TextEncoding::Kind::Utf8 && !page.decoded.decoded) {
        page.decoded.text = *encoding.decode(page.body());
        page.decoded.decoded = true;
    } else if (!html5 && encoding.asciiTransparent()) {
        // A single-byte code that extends ASCII was decoded only to prove that it reads back.
        page.decoded.text = QString();
        page.decoded.decoded = false;
    }
    const bool keep = !job_.backup.isEmpty() || run_.result == RepairRun::Result::Compared;
    if (keep) original_ = page.bytes;                     // shared, not copied
    if (page.decoded.decoded) page.bytes = QByteArray();  // the text holds the page now
    return page;
}

void PageRepair::repair() {
    std::optional<Page> page = read();
    if (!page) return;
    TextUnits units = page->units();
    if (progress_ && progress_->shown) {
        // Counted once, for the progress line and the engine's reports.
        const qint64 characters = units.characters();
        units = units.withCharacters(characters);
        progress_->characters.store(characters, std::memory_order_relaxed);
        progress_->remaining.store(characters, std::memory_order_relaxed);
    }
    JobObserver observer(progress_, outcome_.notes, label_);
    SnapshotListSource lists(run_.lists);
    Functions engine(observer, lists);
    const RepairResult result = run_.command->run(
        engine, units, page->decoded.decoded ? &page->decoded.text : nullptr, run_.settings);
    if (!result.ok()) {
        fail(result.status == RepairResult::Status::ListsUnavailable
                 ? StoreErrorText(result.listsError)
                 : result.error);
        return;
    }
    finish(*page, result, run_.command->count(units, result), RepairChanges(units, result));
}

void PageRepair::finish(Page& page, const RepairResult& result, qint64 count, bool changed) {
    PageRecord& record = outcome_.record;
    record.count = count;
    record.status = changed ? PageRecord::Status::Changed : PageRecord::Status::Unchanged;
    record.bytesOut = record.bytesIn;
    const RepairCommand& command = *run_.command;
    if (run_.result != RepairRun::Result::Written) {
        if (!changed) return;
        // Only what would change is said, and compared.
        const bool compared = run_.result == RepairRun::Result::Compared;
        MemoryWriter memory(compared);
        const FileResult made = WritePage(memory, job_.path, page, result);
        if (!made.ok()) return fail(made.reason);
        record.bytesOut = memory.size();
        if (compared)
            outcome_.diff = UnifiedDiff(original_, memory.bytes(), EncodeFileName(job_.path));
        if (run_.sayCounts) outcome_.countText = command.countText(count, true);
        return;
    }
    if (command.id == RepairId::Fix && run_.sayCounts) {
        outcome_.countText = command.countText(count, false);
    }
    // A page left as it was is not written again.
    if (job_.replacesPage && !changed) return;
    if (job_.output == u"-") {
        StreamWriter stream(*run_.out);
        const FileResult written = WritePage(stream, job_.output, page, result);
        outcome_.outputClosed = stream.closed();
        if (!written.ok()) {
            fail(QStringLiteral("cannot write standard output: %1").arg(written.reason));
            return;
        }
        record.written = true;
        return;
    }
    outcome_.staged = std::make_unique<StagedFiles>();
    StagedFiles& files = *outcome_.staged;
    files.setFreshTargets(job_.freshOutput);
    if (!job_.backup.isEmpty()) {
        const QByteArrayView bytes = original_;
        const FileResult kept = files.WriteLike(job_.backup, {&bytes, 1}, job_.path);
        if (!kept.ok()) {
            return fail(QStringLiteral("cannot write %1: %2").arg(job_.backup, kept.reason));
        }
        original_ = QByteArray();
    }
    // Counts the bytes written, a device's included (which is written at once).
    struct Sizer final : DocumentWriter, DocumentPieces {
        explicit Sizer(DocumentWriter& to) : to_(to) {}
        using DocumentWriter::Write;
        FileResult Write(const QString& path, std::span<const QByteArrayView> pieces) override {
            for (const QByteArrayView piece : pieces) size += piece.size();
            return to_.Write(path, pieces);
        }
        FileResult Write(const QString& path, DocumentPieces& pieces) override {
            from_ = &pieces;
            return to_.Write(path, static_cast<DocumentPieces&>(*this));
        }
        qsizetype next(std::span<QByteArrayView> room) override {
            const qsizetype count = from_->next(room);
            for (qsizetype i = 0; i < count; ++i) size += room[size_t(i)].size();
            return count;
        }
        DocumentWriter& to_;
        DocumentPieces* from_ = nullptr;
        qint64 size = 0;
    } sized(files);
    const FileResult written = WritePage(sized, job_.output, page, result);
    if (!written.ok()) {
        return fail(QStringLiteral("cannot write %1: %2").arg(job_.output, written.reason));
    }
    record.bytesOut = sized.size;
    record.written = true;
}

}  // namespace

PageOutcome RepairPage(const RepairRun& run, const PageJob& job, JobProgress* progress) {
    return PageRepair(run, job, progress).take();
}

}  // namespace quillet
