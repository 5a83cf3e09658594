// Which word-list file the programs use, and the per-user file made on first need.
#include "TestSupport.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListLocation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillet {
namespace {

using test::FileBytes;
using test::PutFile;
using test::ScopedDataHome;
using test::ScopedWorkingDir;
using Origin = WordListLocation::Origin;

class WordListLocationTest : public ::testing::Test {
  protected:
    ScopedWorkingDir dir_;
    ScopedDataHome home_;
};

TEST_F(WordListLocationTest, TheGivenFileThenTheWorkingFolderThenThePerUserFile) {
    const QString local = dir_.file(QStringLiteral("SkipList.db"));
    const struct {
        const char* given;
        bool localExists;
        Origin origin;
        QString path;
    } cases[] = {
        {"", false, Origin::PerUser, home_.wordLists()},
        {"", true, Origin::WorkingFolder, local},
        {"lists/mine.db", true, Origin::Given, dir_.file(QStringLiteral("lists/mine.db"))},
        {"lists/mine.db", false, Origin::Given, dir_.file(QStringLiteral("lists/mine.db"))},
    };
    for (const auto& c : cases) {
        QFile::remove(local);
        if (c.localExists) {
            ASSERT_TRUE(PutFile(local, "anything"));
        }
        const WordListLocation location = WordListLocation::Choose(QString::fromLatin1(c.given));
        EXPECT_EQ(location.origin(), c.origin) << c.given << c.localExists;
        EXPECT_EQ(location.path(), c.path) << c.given << c.localExists;
    }
}

TEST_F(WordListLocationTest, ThePerUserFileIsMadeOnceWithTheDefaultListsAndUsualPermissions) {
    const WordListLocation location = WordListLocation::Choose(QString());
    ASSERT_FALSE(QFileInfo::exists(location.path()));
    const mode_t mask = ::umask(022);
    bool created = false;
    StoreError error;
    EXPECT_TRUE(location.Prepare(&created, &error)) << error.message.toStdString();
    ::umask(mask);
    EXPECT_TRUE(created);
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(location.path()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);

    // The lists in it are the default ones; nothing was made in the working folder.
    StoreListSource source(location.path());
    QString openError;
    const auto lists = source.openLists(&openError);
    ASSERT_TRUE(lists) << openError.toStdString();
    EXPECT_EQ(lists->inSkipList(u"b"), true);
    EXPECT_EQ(lists->inIncludeList(u"/div"), true);
    EXPECT_TRUE(QDir(dir_.path()).isEmpty());

    // The second time it is there and is left as it is.
    EXPECT_TRUE(location.Prepare(&created, &error));
    EXPECT_FALSE(created);
}

TEST_F(WordListLocationTest, AnExistingOrNamedFileIsNeverMadeOrReplaced) {
    // A damaged per-user file stays as it is; opening it reports the damage.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(home_.wordLists()).path()));
    ASSERT_TRUE(PutFile(home_.wordLists(), "not a database"));
    const QString missing = dir_.file(QStringLiteral("missing.db"));
    for (const WordListLocation& location :
         {WordListLocation::Choose(QString()), WordListLocation::Choose(missing)}) {
        bool created = true;
        StoreError error;
        EXPECT_TRUE(location.Prepare(&created, &error));
        EXPECT_FALSE(created);
    }
    EXPECT_EQ(FileBytes(home_.wordLists()), "not a database");
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(WordListLocationTest, AFolderThatCannotBeMadeIsNamedWithTheReason) {
    // The data folder is a file, so the folder "quillet" cannot be made inside it.
    const QString blocker = dir_.file(QStringLiteral("data"));
    ASSERT_TRUE(PutFile(blocker, "a file"));
    const test::ScopedEnvironment env("XDG_DATA_HOME", blocker);
    bool created = true;
    StoreError error;
    EXPECT_FALSE(WordListLocation::Choose(QString()).Prepare(&created, &error));
    EXPECT_FALSE(created);
    EXPECT_TRUE(error.message.contains(blocker + QStringLiteral("/quillet")))
        << error.message.toStdString();
    EXPECT_TRUE(error.message.contains(QStringLiteral("Not a directory")))
        << error.message.toStdString();
}

}  // namespace
}  // namespace quillet
