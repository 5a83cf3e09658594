#include "TestSupport.h"
#include "documents/DocumentFile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <cerrno>

namespace quillet {
namespace {

using test::FileBytes;
using test::PutFile;
using test::ScopedWorkingDir;

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

TEST(DocumentFile, WritesReplaceTheTargetWhole) {
    ScopedWorkingDir dir;
    AtomicFileWriter writer;
    ASSERT_TRUE(PutFile(QStringLiteral("out.fix"), QByteArray(100000, 'o')));
    EXPECT_TRUE(SaveDocument(writer, QStringLiteral("out.fix"), u"<p>new</p>\r\n\u00e9").ok());
    EXPECT_EQ(FileBytes(QStringLiteral("out.fix")), QByteArray("<p>new</p>\r\n\xe9"));
    EXPECT_EQ(QDir::current().entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("out.fix")});
}

TEST(DocumentFile, FailedWritesLeaveTheTargetAndNoTemporaryFile) {
    ScopedWorkingDir dir;
    AtomicFileWriter writer;
    ASSERT_TRUE(PutFile(QStringLiteral("keep.fix"), QByteArray("old contents")));

    // A character outside the code page: nothing is written at all.
    FileResult result = SaveDocument(writer, QStringLiteral("keep.fix"), u"new \u0394 text");
    EXPECT_EQ(result.failure, FileResult::Failure::Unencodable);
    EXPECT_TRUE(result.reason.contains(u"U+0394"));
    EXPECT_EQ(FileBytes(QStringLiteral("keep.fix")), QByteArray("old contents"));

    // A read-only target stays as it is, whoever runs the program.
    QFile::setPermissions(QStringLiteral("keep.fix"), QFile::ReadOwner | QFile::ReadGroup);
    result = SaveDocument(writer, QStringLiteral("keep.fix"), u"new");
    EXPECT_EQ(result.failure, FileResult::Failure::Permission);
    EXPECT_EQ(FileBytes(QStringLiteral("keep.fix")), QByteArray("old contents"));

    result = SaveDocument(writer, QStringLiteral("no/such/folder/x.fix"), u"new");
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.reason.isEmpty());

    QDir().mkdir(QStringLiteral("folder.fix"));
    EXPECT_FALSE(SaveDocument(writer, QStringLiteral("folder.fix"), u"new").ok());
    EXPECT_EQ(QDir::current().entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("keep.fix")});
}

TEST(DocumentFile, SystemReasonsMapToFailureKinds) {
    using F = FileResult::Failure;
    EXPECT_EQ(ClassifyFileError(QFileDevice::NoError, QString()), F::None);
    EXPECT_EQ(ClassifyFileError(QFileDevice::WriteError, qt_error_string(ENOSPC)), F::DiskFull);
    EXPECT_EQ(ClassifyFileError(QFileDevice::WriteError, qt_error_string(EDQUOT)), F::DiskFull);
    EXPECT_EQ(ClassifyFileError(QFileDevice::OpenError, qt_error_string(EACCES)), F::Permission);
    EXPECT_EQ(ClassifyFileError(QFileDevice::OpenError, qt_error_string(EROFS)), F::Permission);
    EXPECT_EQ(ClassifyFileError(QFileDevice::PermissionsError, QStringLiteral("x")), F::Permission);
    EXPECT_EQ(ClassifyFileError(QFileDevice::OpenError, qt_error_string(ENOENT)), F::NotFound);
    EXPECT_EQ(ClassifyFileError(QFileDevice::WriteError, qt_error_string(EIO)), F::Other);
}

}  // namespace
}  // namespace quillet
