// Which word-list file the programs use. Making the per-user file is checked end to end
// by the install test and through the window.
#include "TestSupport.h"
#include "wordlists/WordListLocation.h"

#include <gtest/gtest.h>
#include <QFile>

namespace quillet {
namespace {

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

}  // namespace
}  // namespace quillet
