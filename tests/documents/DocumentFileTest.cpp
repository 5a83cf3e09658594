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
