// SPDX-License-Identifier: GPL-3.0-or-later
// Whole sites in one run: walked folders, the places outputs go, --check, --diff, the
// report and several jobs, on real folder trees. site_run.sh runs the built program where
// a signal, another user, patch or GNU parallel is needed.
#include "BatchTestSupport.h"
#include "FileSystemSupport.h"
#include "TestSupport.h"
#include "documents/DocumentFile.h"
#include "documents/FileNames.h"

#include <dirent.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <cstdlib>

namespace quillet {
namespace {

using test::FileBytes;
using test::Outcome;
using test::PutFile;

using test::Batch;

/// A name that is not UTF-8 ("caf" and Latin-1 "é"), and one of 255 bytes, the longest
/// a name may be.
const QString kOddName = DecodeFileName("caf\xe9.htm");
const QString kLongName = QString(251, u'n') + QStringLiteral(".htm");

/// Writes a file by its name's own bytes (Qt would turn a name that is not UTF-8 into
/// another).
bool Put(const QString& path, const QByteArray& bytes) {
    return AtomicFileWriter().Write(path, bytes).ok();
}

/// A file's bytes, read by its name's own bytes.
QByteArray Bytes(const QString& path) {
    return ReadDocumentBytes(path, nullptr).value_or("<unreadable>");
}

/// Every file under `folder` with its bytes (a link as its target's name).
QMap<QString, QByteArray> Tree(const QString& folder) {
    QMap<QString, QByteArray> files;
    std::vector<QString> todo{QString()};
    while (!todo.empty()) {
        const QString relative = todo.back();
        todo.pop_back();
        DIR* listing = opendir(EncodeFileName(folder + u'/' + relative).constData());
        if (!listing) continue;
        while (const dirent* entry = readdir(listing)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..") continue;
            const QString inner = relative + DecodeFileName(name);
            const QString path = folder + u'/' + inner;
            const mode_t mode = test::FileMode(path);
            if (S_ISLNK(mode)) {
                char target[256] = {};
                files[inner] =
                    "-> " + QByteArray(target, readlink(EncodeFileName(path), target, 255));
            } else if (S_ISDIR(mode)) {
                todo.push_back(inner + u'/');
            } else {
                files[inner] = Bytes(path);
            }
        }
        closedir(listing);
    }
    return files;
}

/// The inode of a file, to tell whether it was replaced.
ino_t Inode(const QString& path) {
    struct stat info {};
    return stat(EncodeFileName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

/// The report's lines as objects.
QList<QJsonObject> ReportLines(const QByteArray& report) {
    QList<QJsonObject> lines;
    for (const QByteArray& line : report.split('\n')) {
        if (!line.isEmpty()) lines.append(QJsonDocument::fromJson(line).object());
    }
    return lines;
}

class SiteRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Batch(QStringLiteral("wordlists init")).code, kExitOk);
        // Nested folders, a hidden folder, a link loop, a link to a page, a ".fix" file, a
        // file that is no page, an empty page, a name that is not UTF-8, a 255-byte name.
        for (const char* folder : {"site/sub/deep", "site/.hidden"}) QDir().mkpath(folder);
        const struct {
            QString name;
            QByteArray bytes;
        } files[] = {
            {"site/index.htm", "<p>a<div>x</div>\n"}, {"site/about.HTML", "<P>b<H1>t</H1>"},
            {"site/done.htm", "<p>c</p>\n"},          {"site/empty.htm", ""},
            {"site/notes.txt", "<p>x<div>"},          {"site/old.fix", "<p>y<div>"},
            {"site/.hidden/h.htm", "<p>h<div>"},      {"site/sub/deep/x.xhtml", "<p>d<ul>"},
            {"site/" + kOddName, "<p>e<div>"},        {"site/" + kLongName, "<p>f<div>"},
        };
        for (const auto& file : files)
            ASSERT_TRUE(Put(file.name, file.bytes)) << file.name.toStdString();
        ASSERT_EQ(symlink("..", "site/sub/loop"), 0);
        ASSERT_EQ(symlink("../index.htm", "site/sub/link.htm"), 0);
    }

    void TearDown() override {
        // Qt cannot remove a name that is not UTF-8; the system's calls can.
        nftw(
            EncodeFileName(dir_.path()).constData(),
            [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }

    test::ScopedWorkingDir dir_;
    test::ScopedDataHome home_;
};

TEST_F(SiteRun, AWalkTakesThePagesInByteOrderAndNothingElse) {
    const QMap<QString, QByteArray> before = Tree(QStringLiteral("site"));
    const Outcome r = Batch(QStringLiteral("fix -r site --check --report -"));
    EXPECT_EQ(r.code, kExitFailed);  // pages would change
    QStringList paths;
    for (const QJsonObject& line : ReportLines(r.out)) {
        if (line[u"type"].toString() == u"page") paths << line[u"path"].toString();
    }
    const QString replaced = QStringLiteral("site/caf\uFFFD.htm");
    EXPECT_EQ(paths, (QStringList{"site/about.HTML", replaced, "site/done.htm", "site/empty.htm",
                                  "site/index.htm", "site/" + kLongName, "site/sub/deep/x.xhtml"}));
    EXPECT_TRUE(
        r.err.startsWith(u"site/about.HTML: 1 </p> would be added\n"
                         u"site/caf\uFFFD.htm: 1 </p> would be added\n"
                         u"site/index.htm: 1 </p> would be added\n"))
        << r.err.toStdString();
    EXPECT_TRUE(
        r.err.contains(u"7 pages read, 5 would change, 2 unchanged, 0 failed, "
                       u"5 </p> would be added in "));
    EXPECT_EQ(Tree(QStringLiteral("site")), before);  // nothing written

    // Without -r a folder is an error that says what to do; the other pages still run.
    const Outcome folder = Batch(QStringLiteral("fix site site/index.htm"));
    EXPECT_EQ(folder.code, kExitFailed);
    EXPECT_TRUE(folder.err.contains(
        u"quillet-batch: site: it is a folder; give -r to repair the pages in it\n"));
    EXPECT_EQ(FileBytes(QStringLiteral("site/index.fix")), "<p>a</p><div>x</div>\n");
}

TEST_F(SiteRun, IncludeAndExcludeChooseThePages) {
    // Every case leaves out the pages named "c...", "nn..." and index.htm.
    const struct {
        const char* name;
        const char* options;
        QStringList pages;
    } cases[] = {
        {"the default",
         "",
         {"site/about.HTML", "site/done.htm", "site/empty.htm", "site/sub/deep/x.xhtml"}},
        {"other patterns, never .fix", "--include *.txt --include *.fix", {"site/notes.txt"}},
        {"a pattern's letter case is its own", "--include *.HTML", {"site/about.HTML"}},
        {"a path from the walked folder", "--include sub/deep/*", {"site/sub/deep/x.xhtml"}},
        {"a folder by name",
         "--exclude deep",
         {"site/about.HTML", "site/done.htm", "site/empty.htm"}},
        {"a folder by its path",
         "--exclude sub/*",
         {"site/about.HTML", "site/done.htm", "site/empty.htm"}},
        {"sets", "--exclude *.xhtml --exclude [!d-e]*", {"site/done.htm", "site/empty.htm"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome r = Batch(QStringLiteral("fix -q -r site --check --report - --exclude nn* "
                                               "--exclude c* --exclude index.htm ") +
                                QString::fromLatin1(c.options));
        QStringList paths;
        for (const QJsonObject& line : ReportLines(r.out)) {
            if (line[u"type"].toString() == u"page") paths << line[u"path"].toString();
        }
        EXPECT_EQ(paths, c.pages);
    }
}

TEST_F(SiteRun, InPlaceReplacesWhatChangesKeepingPermissionsAndBackups) {
    ASSERT_EQ(chmod("site/index.htm", 0640), 0);
    const ino_t done = Inode(QStringLiteral("site/done.htm"));
    const Outcome r = Batch(QStringLiteral("fix -r site --in-place --backup"));
    // The 255-byte page is replaced (its temporary name fits), but its backup's name would
    // be too long: it fails alone and stays as it was.
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.contains(QStringLiteral("quillet-batch: site/%1: cannot write site/%1.orig: "
                                              "File name too long\n")
                                   .arg(kLongName)))
        << r.err.toStdString();
    EXPECT_EQ(Bytes("site/" + kLongName), "<p>f<div>");
    EXPECT_EQ(FileBytes(QStringLiteral("site/index.htm")), "<p>a</p><div>x</div>\n");
    EXPECT_EQ(FileBytes(QStringLiteral("site/index.htm.orig")), "<p>a<div>x</div>\n");
    EXPECT_EQ(test::FileMode(QStringLiteral("site/index.htm")) & 07777, 0640u);
    EXPECT_EQ(test::FileMode(QStringLiteral("site/index.htm.orig")) & 07777, 0640u);
    EXPECT_EQ(Bytes("site/" + kOddName + ".orig"), "<p>e<div>");
    // A page that does not change is not written, and gets no backup.
    EXPECT_EQ(Inode(QStringLiteral("site/done.htm")), done);
    EXPECT_FALSE(QFile::exists(QStringLiteral("site/done.htm.orig")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("site/empty.htm.orig")));
    EXPECT_EQ(FileBytes(QStringLiteral("site/.hidden/h.htm")), "<p>h<div>");
    EXPECT_EQ(FileBytes(QStringLiteral("site/notes.txt")), "<p>x<div>");

    // Without backups the 255-byte page is replaced too; a suffix names the backups.
    EXPECT_EQ(Batch("fix --in-place site/" + kLongName).code, kExitOk);
    EXPECT_EQ(Bytes("site/" + kLongName), "<p>f</p><div>");
    ASSERT_TRUE(PutFile(QStringLiteral("site/done.htm"), "<p>c<ul>"));
    EXPECT_EQ(Batch(QStringLiteral("fix --in-place --backup=.bak site/done.htm")).code, kExitOk);
    EXPECT_EQ(FileBytes(QStringLiteral("site/done.htm.bak")), "<p>c<ul>");
    // The same page twice would be replaced twice: both are refused.
    const Outcome twice =
        Batch(QStringLiteral("fix --in-place site/about.HTML site/sub/../about.HTML"));
    EXPECT_EQ(twice.code, kExitFailed);
    EXPECT_EQ(twice.err.count(u"is the same page as"), 2) << twice.err.toStdString();
    // A backup that would replace another page of the run: both pages stay as they were.
    ASSERT_TRUE(PutFile(QStringLiteral("site/b.htm"), "<p>b<ul>"));
    ASSERT_TRUE(PutFile(QStringLiteral("site/b.htm.html"), "<p>c<ul>"));
    const Outcome clash =
        Batch(QStringLiteral("fix --in-place --backup=.html site/b.htm site/b.htm.html"));
    EXPECT_EQ(clash.code, kExitFailed);
    EXPECT_TRUE(
        clash.err.contains(u"site/b.htm: not repaired: its backup site/b.htm.html would "
                           u"replace a file of this run (of site/b.htm.html)"))
        << clash.err.toStdString();
    EXPECT_TRUE(
        clash.err.contains(u"site/b.htm.html: not repaired: site/b.htm.html would replace it"))
        << clash.err.toStdString();
    EXPECT_EQ(FileBytes(QStringLiteral("site/b.htm")), "<p>b<ul>");
    EXPECT_EQ(FileBytes(QStringLiteral("site/b.htm.html")), "<p>c<ul>");
}

TEST_F(SiteRun, OutputDirMirrorsTheWalkedTree) {
    const QMap<QString, QByteArray> before = Tree(QStringLiteral("site"));
    const Outcome r = Batch(QStringLiteral("fix -r site --output-dir out"));
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_EQ(Tree(QStringLiteral("site")), before);
    EXPECT_EQ(Tree(QStringLiteral("out")), (QMap<QString, QByteArray>{
                                               {"about.HTML", "<P>b</p><H1>t</H1>"},
                                               {kOddName, "<p>e</p><div>"},
                                               {"done.htm", "<p>c</p>\n"},
                                               {"empty.htm", ""},
                                               {"index.htm", "<p>a</p><div>x</div>\n"},
                                               {kLongName, "<p>f</p><div>"},
                                               {"sub/deep/x.xhtml", "<p>d</p><ul>"},
                                           }));
    // A named page goes under its own name.
    EXPECT_EQ(Batch(QStringLiteral("fix site/sub/deep/x.xhtml --output-dir named")).code, kExitOk);
    EXPECT_EQ(FileBytes(QStringLiteral("named/x.xhtml")), "<p>d</p><ul>");

    // Inside the walked folder, the outputs would be pages of the next run.
    const Outcome inside = Batch(QStringLiteral("fix -r site --output-dir site/sub/out"));
    EXPECT_EQ(inside.code, kExitUsage);
    EXPECT_TRUE(inside.err.contains(u"lies inside site, which is walked"))
        << inside.err.toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("site/sub/out")));
    for (const char* allowed : {"fix -r site --output-dir site/sub/out --exclude out",
                                "fix -r site --output-dir site/.out"}) {
        EXPECT_EQ(Batch(QString::fromLatin1(allowed)).code, kExitOk) << allowed;
    }
    EXPECT_EQ(FileBytes(QStringLiteral("site/sub/out/index.htm")), "<p>a</p><div>x</div>\n");
}

TEST_F(SiteRun, CheckAndDiffWriteNothingAndExitOneWhenAPageWouldChange) {
    const QMap<QString, QByteArray> before = Tree(QStringLiteral("site"));
    const struct {
        const char* name;
        const char* arguments;
        int code;
        const char* err;  // the start of standard error
    } cases[] = {
        {"fix would change", "fix --check site/index.htm site/done.htm", kExitFailed,
         "site/index.htm: 1 </p> would be added\n2 pages read, 1 would change"},
        {"nothing would change", "fix --check site/done.htm site/empty.htm", kExitOk,
         "2 pages read, 0 would change, 2 unchanged"},
        {"html5", "fix --html5 --check site/done.htm", kExitOk, ""},
        {"a failure", "fix --check site/done.htm site/missing.htm", kExitFailed,
         "quillet-batch: site/missing.htm: cannot read the page: file not found\n"},
        {"line breaks", "strip-newlines --check -", kExitFailed,
         "standard input: 2 line breaks would be removed\n"},
        {"spaces", "strip-spaces --check site/index.htm site/done.htm", kExitOk, ""},
        {"diff, nothing would change", "fix --diff site/done.htm", kExitOk, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray input =
            QByteArray(c.name) == "line breaks" ? "<p>a\r\nb\nc\r</p>" : "<p> a</p>";
        const Outcome r = Batch(QString::fromLatin1(c.arguments), input);
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(r.err.startsWith(QString::fromLatin1(c.err))) << r.err.toStdString();
    }
    const Outcome diff = Batch(QStringLiteral("fix -q -r site --diff"));
    EXPECT_EQ(diff.code, kExitFailed);
    EXPECT_TRUE(
        diff.out.startsWith("--- a/site/about.HTML\n+++ b/site/about.HTML\n@@ -1 +1 @@\n"
                            "-<P>b<H1>t</H1>\n\\ No newline at end of file\n"
                            "+<P>b</p><H1>t</H1>\n\\ No newline at end of file\n"))
        << diff.out.toStdString();
    EXPECT_TRUE(diff.out.contains("--- a/site/caf\xe9.htm\n")) << diff.out.toStdString();
    EXPECT_EQ(diff.out.count("--- a/"), 5);
    EXPECT_TRUE(diff.err.isEmpty()) << diff.err.toStdString();
    EXPECT_EQ(Tree(QStringLiteral("site")), before);
}

TEST_F(SiteRun, EveryOutputIsTheSameWhateverTheNumberOfJobs) {
    // Pages of every kind: many that change, some that fail, outputs that clash.
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(Put(QStringLiteral("site/sub/p%1.htm").arg(i),
                        QByteArray("<p>x<div>").repeated(i) + (i % 7 ? "" : "<p>\xe9<ul>")));
    }
    ASSERT_TRUE(Put(QStringLiteral("site/sub/p1.html"), "<p>clash<div>"));
    ASSERT_TRUE(Put(QStringLiteral("site/sub/big.htm"), QByteArray(9000, 'x')));
    const QStringList jobs{"-j1", "-j4", "--jobs=3"};
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        ASSERT_EQ(std::system(QStringLiteral("cp -a site run%1").arg(i).toLatin1()), 0);
    }
    SetDocumentSizeLimit(8192);
    QList<Outcome> runs;
    QList<QMap<QString, QByteArray>> trees;
    // The time taken and the folder of each run aside, everything is the same.
    const QRegularExpression varying(QStringLiteral(
        "( in [0-9.]+ s|\"seconds\":[0-9.]+|run[0-9]|\"(path|output)_bytes\":\"[^\"]*\")"));
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        const Outcome r = Batch(QStringLiteral("fix -r run%1 --report - %2").arg(i).arg(jobs[i]));
        runs.append({r.code, QString::fromUtf8(r.out).remove(varying).toUtf8(),
                     QString(r.err).remove(varying)});
        trees.append(Tree(QStringLiteral("run%1").arg(i)));
    }
    SetDocumentSizeLimit(0);
    for (qsizetype i = 1; i < runs.size(); ++i) {
        SCOPED_TRACE(jobs[i].toStdString());
        EXPECT_EQ(runs[i].code, runs[0].code);
        EXPECT_EQ(runs[i].err, runs[0].err);
        EXPECT_EQ(runs[i].out, runs[0].out);
        EXPECT_EQ(trees[i], trees[0]);
    }
    EXPECT_EQ(runs[0].code, kExitFailed);
    EXPECT_TRUE(runs[0].err.contains(u"/sub/big.htm: cannot read the page: it is too large"));
    EXPECT_TRUE(
        runs[0].err.contains(u"its output /sub/p1.fix would also be the output of "
                             u"/sub/p1.html"))
        << runs[0].err.toStdString();
    EXPECT_EQ(trees[0].value(QStringLiteral("sub/p14.fix")),
              QByteArray("<p>x</p><div>").repeated(14) + "<p>\xe9</p><ul>");
}

TEST_F(SiteRun, FilesFromListsPagesAndTheReportKeepsEveryName) {
    static const char list[] =
        "site/index.htm\0./site/sub/deep/x.xhtml\0site/caf\xe9.htm\0"
        "site/sub/../done.htm\0site/missing.htm\0";
    const Outcome r = Batch(QStringList{"fix", "--files-from", "-", "-0", "--output-dir", "out",
                                        "--report", "report.jsonl"},
                            QByteArray(list, sizeof list - 1));
    EXPECT_EQ(r.code, kExitFailed);
    // A listed page keeps its path under the output folder; one that climbs with ".." has
    // no place there.
    EXPECT_EQ(Tree(QStringLiteral("out")),
              (QMap<QString, QByteArray>{{"site/index.htm", "<p>a</p><div>x</div>\n"},
                                         {"site/sub/deep/x.xhtml", "<p>d</p><ul>"},
                                         {"site/" + kOddName, "<p>e</p><div>"}}));
    EXPECT_TRUE(r.err.contains(u"site/sub/../done.htm: its path climbs out with \"..\""));

    const QList<QJsonObject> lines = ReportLines(FileBytes(QStringLiteral("report.jsonl")));
    ASSERT_EQ(lines.size(), 6);
    const QJsonObject& odd = lines[2];
    EXPECT_EQ(odd[u"path"].toString(), u"site/caf\uFFFD.htm");
    EXPECT_EQ(QByteArray::fromBase64(odd[u"path_bytes"].toString().toLatin1()), "site/caf\xe9.htm");
    EXPECT_EQ(QByteArray::fromBase64(odd[u"output_bytes"].toString().toLatin1()),
              "out/site/caf\xe9.htm");
    EXPECT_EQ(lines[0][u"status"].toString(), u"changed");
    EXPECT_EQ(lines[0][u"mode"].toString(), u"wordlists");
    EXPECT_EQ(lines[0][u"encoding"].toString(), u"Windows-1252");
    EXPECT_EQ(lines[0][u"added"].toInt(), 1);
    EXPECT_EQ(lines[0][u"bytes_in"].toInt(), 17);
    EXPECT_EQ(lines[0][u"bytes_out"].toInt(), 21);
    EXPECT_TRUE(lines[0][u"written"].toBool());
    EXPECT_FALSE(lines[0].contains(u"path_bytes"));
    EXPECT_EQ(lines[4][u"status"].toString(), u"failed");
    EXPECT_EQ(lines[4][u"error"].toString(), u"cannot read the page: file not found");
    EXPECT_EQ(lines[5][u"type"].toString(), u"summary");
    EXPECT_EQ(lines[5][u"failed"].toInt(), 2);
    EXPECT_EQ(lines[5][u"changed"].toInt(), 3);

    // The strips count what they remove.
    const Outcome strip =
        Batch(QStringLiteral("strip-spaces -q --check --report - -"), "<p>a   b ");
    EXPECT_EQ(ReportLines(strip.out).first()[u"removed"].toInt(), 3);
    EXPECT_TRUE(ReportLines(strip.out).first()[u"mode"].isNull());
}

TEST_F(SiteRun, OnATerminalOneLineShowsTheWholeRun) {
    QByteArray input, outBytes, errBytes;
    QBuffer in(&input), out(&outBytes), err(&errBytes);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const QStringList arguments{"quillet-batch", "fix", "-j1", "-r", "site", "--check"};
    EXPECT_EQ(RunBatch(arguments, {in, out, err, true}), kExitFailed);
    // Drawn once the first page is done, and taken off the line before anything else.
    EXPECT_TRUE(errBytes.contains("\r1/7 pages  0.0/0.0 MB")) << errBytes.toStdString();
    const qsizetype drawn = errBytes.lastIndexOf("/7 pages  ");
    EXPECT_GT(errBytes.indexOf("\r\x1b[K", drawn), drawn);
    EXPECT_TRUE(errBytes.contains("7 pages read, 5 would change"));
    // Quiet, nothing is drawn.
    errBytes.clear();
    err.seek(0);
    RunBatch(arguments + QStringList{"-q"}, {in, out, err, true});
    EXPECT_TRUE(errBytes.isEmpty()) << errBytes.toStdString();
}

TEST(BatchRunUsage, OptionsThatDoNotGoTogetherAreUsageErrors) {
    test::ScopedWorkingDir dir;
    for (const char* arguments : {
             "fix --in-place --output-dir out a.htm",
             "fix --check -o x a.htm",
             "fix --backup a.htm",
             "fix --null a.htm",
             "fix --exclude x a.htm",
             "fix -r -o x site",
             "fix --files-from list -o x",
             "fix --output-dir= a.htm",
             "fix -j0 a.htm",
             "fix --jobs x a.htm",
             "fix --diff --report - a.htm",
             "fix --report - -",
             "fix --files-from - -",
             "fix --backup=a/b --in-place a.htm",
             "wordlists list skip -r",
             "fix --in-pla=x a.htm",
             "fix --o a.htm",
         }) {
        const Outcome r = Batch(QString::fromLatin1(arguments));
        EXPECT_EQ(r.code, kExitUsage) << arguments;
        EXPECT_TRUE(r.err.contains(u"Try 'quillet-batch --help'")) << r.err.toStdString();
    }
}

}  // namespace
}  // namespace quillet
