// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystemSupport.h"
#include "TestSupport.h"
#include "documents/DocumentFile.h"
#include "documents/FileNames.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <functional>
#include <thread>

namespace quillet {
namespace {

using test::FileBytes;
using test::PutFile;
using test::ScopedWorkingDir;

/// The names in the working folder, hidden ones, devices and FIFOs included.
QStringList Entries() {
    return QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDir::Name);
}

TEST(DocumentFile, ReadsWholeFilesAndNamesWhyNot) {
    ScopedWorkingDir dir;
    ASSERT_TRUE(PutFile(QStringLiteral("page.htm"), QByteArray("<p>\r\n\0x\xff", 7)));
    FileResult result;
    EXPECT_EQ(ReadDocumentBytes(QStringLiteral("page.htm"), &result),
              QByteArray("<p>\r\n\0x\xff", 7));
    EXPECT_TRUE(result.ok());
    ASSERT_TRUE(PutFile(QStringLiteral("empty.htm"), QByteArray()));
    EXPECT_EQ(ReadDocumentBytes(QStringLiteral("empty.htm"), &result), QByteArray());

    EXPECT_FALSE(ReadDocumentBytes(QStringLiteral("missing.htm"), &result));
    EXPECT_EQ(result.failure, FileResult::Failure::NotFound);
    EXPECT_EQ(result.reason, u"file not found");
    QDir().mkdir(QStringLiteral("folder"));
    EXPECT_FALSE(ReadDocumentBytes(QStringLiteral("folder"), &result));
    EXPECT_EQ(result.reason, u"it is a folder");
}

TEST(DocumentFile, ReplacementKeepsLinksAndPermissions) {
    ScopedWorkingDir dir;
    AtomicFileWriter writer;
    ASSERT_TRUE(PutFile(QStringLiteral("out.fix"), QByteArray(100000, 'o')));
    ASSERT_EQ(chmod("out.fix", 0640), 0);
    EXPECT_TRUE(SaveDocument(writer, QStringLiteral("out.fix"), u"<p>new</p>\r\n\u00e9").ok());
    EXPECT_EQ(FileBytes(QStringLiteral("out.fix")), QByteArray("<p>new</p>\r\n\xe9"));
    EXPECT_EQ(test::FileMode(QStringLiteral("out.fix")) & 07777, 0640u);

    // A link stays a link; the file it names is replaced, in another folder too.
    QDir().mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(PutFile(QStringLiteral("sub/real.fix"), "old"));
    ASSERT_EQ(symlink("real.fix", "sub/link.fix"), 0);  // relative to the link's folder
    ASSERT_EQ(symlink("sub/link.fix", "chain.fix"), 0);
    EXPECT_TRUE(writer.Write(QStringLiteral("chain.fix"), "new").ok());
    EXPECT_TRUE(S_ISLNK(test::FileMode(QStringLiteral("chain.fix"))));
    EXPECT_EQ(FileBytes(QStringLiteral("sub/real.fix")), "new");

    // A new file gets the usual permissions: 0666 less the umask.
    for (const mode_t mask : {mode_t(022), mode_t(077)}) {
        const mode_t previous = umask(mask);
        const QString name = QStringLiteral("new%1.fix").arg(mask);
        EXPECT_TRUE(writer.Write(name, "x").ok());
        umask(previous);
        EXPECT_EQ(test::FileMode(name) & 07777, 0666u & ~mask);
    }
    EXPECT_EQ(Entries(), (QStringList{"chain.fix", "new18.fix", "new63.fix", "out.fix", "sub"}));
}

TEST(DocumentFile, RefusedTargetsStayAsTheyWere) {
    ScopedWorkingDir dir;
    AtomicFileWriter writer;
    ASSERT_TRUE(PutFile(QStringLiteral("keep.fix"), QByteArray("old contents")));

    // A character outside the code page: nothing is written at all.
    FileResult result = SaveDocument(writer, QStringLiteral("keep.fix"), u"new \u0394 text");
    EXPECT_EQ(result.failure, FileResult::Failure::Unencodable);
    EXPECT_TRUE(result.reason.contains(u"U+0394"));
    EXPECT_EQ(FileBytes(QStringLiteral("keep.fix")), QByteArray("old contents"));

    // A read-only target stays as it is, whoever runs the program.
    ASSERT_EQ(chmod("keep.fix", 0444), 0);
    result = SaveDocument(writer, QStringLiteral("keep.fix"), u"new");
    EXPECT_EQ(result.failure, FileResult::Failure::Permission);
    EXPECT_EQ(FileBytes(QStringLiteral("keep.fix")), QByteArray("old contents"));

    result = SaveDocument(writer, QStringLiteral("no/such/folder/x.fix"), u"new");
    EXPECT_EQ(result.failure, FileResult::Failure::NotFound);
    QDir().mkdir(QStringLiteral("folder.fix"));
    EXPECT_EQ(SaveDocument(writer, QStringLiteral("folder.fix"), u"new").reason, u"it is a folder");
    ASSERT_TRUE(PutFile(QStringLiteral("SkipList.db"), "db"));
    EXPECT_TRUE(WriteNewFile(QStringLiteral("SkipList.db"), "other").reason.contains(u"exists"));
    EXPECT_EQ(FileBytes(QStringLiteral("SkipList.db")), "db");
    EXPECT_EQ(Entries(), (QStringList{"SkipList.db", "folder.fix", "keep.fix"}));
}

TEST(StagedFiles, NothingTakesItsPlaceBeforeTheCommitAndAGroupStopsAtItsFirstFailure) {
    ScopedWorkingDir dir;
    ASSERT_TRUE(PutFile(QStringLiteral("page.htm"), "old page"));
    ASSERT_EQ(chmod("page.htm", 0600), 0);
    ASSERT_TRUE(PutFile(QStringLiteral("locked.orig"), "kept"));
    ASSERT_EQ(chmod("locked.orig", 0444), 0);
    ASSERT_TRUE(PutFile(QStringLiteral("other.htm"), "old other"));

    // Enough files for one sync of the file system: a page and its backup, and another
    // page whose backup is refused.
    StagedFiles first;
    StagedFiles second;
    const QByteArrayView original("old page");
    EXPECT_TRUE(first.WriteLike(QStringLiteral("page.htm.orig"), {&original, 1}, "page.htm").ok());
    EXPECT_TRUE(first.Write(QStringLiteral("page.htm"), "new page").ok());
    EXPECT_TRUE(first.Write(QString(256, u'n'), "too long").reason.contains(u"too long"));
    StagedFiles third;
    EXPECT_TRUE(third.Write(QStringLiteral("new.htm"), "new").ok());
    EXPECT_TRUE(third.Write(QStringLiteral("other.htm"), "new other").ok());
    EXPECT_FALSE(second.Write(QStringLiteral("locked.orig"), "x").ok());
    EXPECT_EQ(FileBytes(QStringLiteral("page.htm")), "old page");
    EXPECT_FALSE(QFile::exists(QStringLiteral("new.htm")));

    StagedFiles* groups[] = {&first, &second, &third};
    CommitStagedFiles(groups);
    // The group whose third file failed while staged commits nothing.
    EXPECT_EQ(first.failedPath(), QString(256, u'n'));
    EXPECT_EQ(FileBytes(QStringLiteral("page.htm")), "old page");
    EXPECT_FALSE(QFile::exists(QStringLiteral("page.htm.orig")));
    EXPECT_EQ(second.result().failure, FileResult::Failure::Permission);
    EXPECT_TRUE(third.result().ok());
    EXPECT_EQ(FileBytes(QStringLiteral("other.htm")), "new other");
    EXPECT_EQ(FileBytes(QStringLiteral("new.htm")), "new");

    // A backup takes the page's permissions.
    StagedFiles fourth;
    EXPECT_TRUE(fourth.WriteLike(QStringLiteral("page.htm.orig"), {&original, 1}, "page.htm").ok());
    EXPECT_TRUE(fourth.Write(QStringLiteral("page.htm"), "new page").ok());
    StagedFiles* last[] = {&fourth};
    CommitStagedFiles(last);
    EXPECT_TRUE(fourth.result().ok());
    EXPECT_EQ(FileBytes(QStringLiteral("page.htm")), "new page");
    EXPECT_EQ(test::FileMode(QStringLiteral("page.htm.orig")) & 07777, 0600u);
    EXPECT_EQ(Entries(),
              (QStringList{"locked.orig", "new.htm", "other.htm", "page.htm", "page.htm.orig"}));
}

/// Hands out `pieces` a few at a time, as a repaired page does.
class FewAtATime final : public DocumentPieces {
  public:
    explicit FewAtATime(const std::vector<QByteArray>& pieces) : pieces_(pieces) {}
    qsizetype next(std::span<QByteArrayView> room) override {
        qsizetype count = 0;
        while (taken_ < pieces_.size() && count < qsizetype(room.size()) && count < 700) {
            room[size_t(count++)] = pieces_[taken_++];
        }
        return count;
    }

  private:
    const std::vector<QByteArray>& pieces_;
    size_t taken_ = 0;
};

TEST(DocumentFile, PiecesHandedOutInBatchesAreWrittenInOrder) {
    ScopedWorkingDir dir;
    // More pieces than one write takes, some of them empty, and one large piece.
    std::vector<QByteArray> pieces;
    QByteArray whole;
    for (int i = 0; i < 5000; ++i) {
        pieces.push_back(i % 7 == 0 ? QByteArray() : QByteArray::number(i) + (i % 2 ? "</p>" : ""));
        if (i == 2500) pieces.push_back(QByteArray(300000, 'x'));
    }
    for (const QByteArray& piece : pieces) whole += piece;

    struct Writer {
        const char* name;
        std::function<FileResult(DocumentPieces&)> write;
    };
    AtomicFileWriter atomic;
    StagedFiles staged;
    const Writer writers[] = {
        {"atomic", [&](DocumentPieces& p) { return atomic.Write("atomic.htm", p); }},
        {"staged", [&](DocumentPieces& p) { return staged.Write("staged.htm", p); }},
        {"a writer of listed pieces",
         [&](DocumentPieces& p) {
             // The default gathers the pieces into a list for the writer of lists.
             struct Listing final : DocumentWriter {
                 using DocumentWriter::Write;
                 FileResult Write(const QString&, std::span<const QByteArrayView> list) override {
                     for (const QByteArrayView piece : list) bytes += piece;
                     return {};
                 }
                 QByteArray bytes;
             } listing;
             const FileResult result = listing.Write("listing.htm", p);
             PutFile("listing.htm", listing.bytes);
             return result;
         }},
    };
    for (const Writer& writer : writers) {
        SCOPED_TRACE(writer.name);
        FewAtATime handed(pieces);
        EXPECT_TRUE(writer.write(handed).ok());
    }
    EXPECT_EQ(staged.bytes(), whole.size());
    StagedFiles* groups[] = {&staged};
    CommitStagedFiles(groups);
    for (const char* name : {"atomic.htm", "staged.htm", "listing.htm"}) {
        EXPECT_EQ(FileBytes(QString::fromLatin1(name)), whole) << name;
    }
}

TEST(DocumentFile, ReadingWithTheCheckGivesTheSameBytesAndChecksThemAll) {
    ScopedWorkingDir dir;
    // Several slices of the read, and a character across the first two.
    QByteArray bytes(262143, 'a');
    bytes += "\xc3\xa9" + QByteArray(300000, 'b') + "\xe2\x82\xac";
    ASSERT_TRUE(PutFile(QStringLiteral("page.htm"), bytes));
    FileResult result;
    Utf8Check check;
    EXPECT_EQ(ReadDocumentBytes(QStringLiteral("page.htm"), &result, &check), bytes);
    EXPECT_TRUE(check.valid());
    EXPECT_FALSE(check.ascii());
    // A byte that is no UTF-8 in the last slice.
    ASSERT_TRUE(PutFile(QStringLiteral("page.htm"), bytes + "\xff"));
    Utf8Check last;
    EXPECT_EQ(ReadDocumentBytes(QStringLiteral("page.htm"), &result, &last), bytes + "\xff");
    EXPECT_FALSE(last.valid());
}

TEST(DocumentFile, DevicesAndFifosAreWrittenInPlaceAndNeverReplaced) {
    ScopedWorkingDir dir;
    AtomicFileWriter writer;
    ASSERT_EQ(mkfifo("fifo", 0666), 0);
    QByteArray piped;
    std::thread reader([&] {
        QFile fifo(QStringLiteral("fifo"));
        if (fifo.open(QIODevice::ReadOnly)) piped = fifo.readAll();
    });
    const bool written = writer.Write(QStringLiteral("fifo"), QByteArray(200000, 'f')).ok();
    if (!written) close(open("fifo", O_WRONLY | O_NONBLOCK));  // let the reader go
    reader.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(piped, QByteArray(200000, 'f'));
    EXPECT_TRUE(S_ISFIFO(test::FileMode(QStringLiteral("fifo"))));

    if (!test::MakeCharDevice(QStringLiteral("null"), 1, 3) ||
        !test::MakeCharDevice(QStringLiteral("full"), 1, 7)) {
        GTEST_SKIP() << "device nodes cannot be made here (they need the superuser)";
    }
    EXPECT_TRUE(writer.Write(QStringLiteral("null"), "page").ok());
    const FileResult full = writer.Write(QStringLiteral("full"), "page");
    EXPECT_EQ(full.failure, FileResult::Failure::DiskFull);
    EXPECT_EQ(full.reason, u"the disk is full (No space left on device)");
    EXPECT_TRUE(S_ISCHR(test::FileMode(QStringLiteral("null"))));
    EXPECT_TRUE(S_ISCHR(test::FileMode(QStringLiteral("full"))));
    EXPECT_EQ(Entries(), (QStringList{"fifo", "full", "null"}));
}

}  // namespace
}  // namespace quillet
