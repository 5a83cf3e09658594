// The help: the collection built for the program, and the window that shows it.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "common/SecondaryWindows.h"
#include "windows/HelpBrowser.h"
#include "windows/HelpViewer.h"

#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QFile>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QXmlStreamReader>

namespace quillet::test {
namespace {

const QString kCollection = QStringLiteral(QUILLET_HELP_COLLECTION);

/// The keywords the help project lists, each with its topic file.
QMap<QString, QString> ProjectKeywords() {
    QFile file(QStringLiteral(QUILLET_HELP_PROJECT));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QMap<QString, QString> keywords;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"keyword") {
            const QString name = xml.attributes().value(QLatin1StringView("name")).toString();
            EXPECT_FALSE(keywords.contains(name)) << "listed twice: " << name.toStdString();
            keywords.insert(name, xml.attributes().value(QLatin1StringView("ref")).toString());
        }
    }
    return keywords;
}

QStringList IndexRows(const HelpViewer& viewer) {
    QStringList rows;
    const QAbstractItemModel* model = viewer.IndexList->model();
    for (int i = 0; i < model->rowCount(); ++i) rows << model->index(i, 0).data().toString();
    return rows;
}

/// Waits until `done` holds, letting the background index and contents builders run.
bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) QTest::qWait(10);
    return done();
}

QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

TEST(HelpViewer, OpensAtTheIndexWithTheSearchFieldReadyAndTheFirstTopicShown) {
    HelpViewer viewer;
    ASSERT_TRUE(viewer.Load(kCollection));
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Quillet Help"));
    EXPECT_EQ(viewer.Tabs->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), viewer.SearchBox);
    EXPECT_EQ(viewer.TopicView->documentTitle(), QStringLiteral("Quillet Help"));
    EXPECT_TRUE(viewer.TopicView->toPlainText().contains(QStringLiteral("Fix File")));
    // The topics' style sheet is read from the collection too (headings in dark blue).
    EXPECT_TRUE(viewer.TopicView->toHtml().contains(QStringLiteral("color:#20406a")));
}

TEST(HelpViewer, TheIndexListsEveryKeywordAndTypingFiltersIt) {
    const QMap<QString, QString> keywords = ProjectKeywords();
    ASSERT_GT(keywords.size(), 50);
    HelpViewer viewer;
    ASSERT_TRUE(viewer.Load(kCollection));
    viewer.show();
    ASSERT_TRUE(WaitFor([&] { return IndexRows(viewer).size() == keywords.size(); }))
        << IndexRows(viewer).size();
    QStringList all = keywords.keys();
    QStringList rows = IndexRows(viewer);
    all.sort(Qt::CaseInsensitive);
    rows.sort(Qt::CaseInsensitive);
    EXPECT_EQ(rows, all);

    // Each letter typed narrows the list to the keywords that contain the text.
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("str"));
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("ip"));
    QStringList expected;
    for (const QString& keyword : keywords.keys()) {
        if (keyword.contains(QStringLiteral("strip"), Qt::CaseInsensitive)) expected << keyword;
    }
    rows = IndexRows(viewer);
    rows.sort(Qt::CaseInsensitive);
    expected.sort(Qt::CaseInsensitive);
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(rows.size(), 2);  // Strip Newlines, Strip Spaces

    viewer.SearchBox->clear();
    EXPECT_EQ(IndexRows(viewer).size(), keywords.size());
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("no such word"));
    EXPECT_TRUE(IndexRows(viewer).isEmpty());
}

TEST(HelpViewer, EnterInTheSearchFieldOpensTheTopicOfTheKeywordFound) {
    HelpViewer viewer;
    ASSERT_TRUE(viewer.Load(kCollection));
    viewer.show();
    ASSERT_TRUE(WaitFor([&] { return IndexRows(viewer).size() > 50; }));
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("duplicate"));
    QTest::keyClick(viewer.SearchBox, Qt::Key_Return);
    EXPECT_TRUE(viewer.TopicView->source().path().endsWith(QStringLiteral("/editors.html")))
        << viewer.TopicView->source().toString().toStdString();
    EXPECT_EQ(viewer.TopicView->documentTitle(), QStringLiteral("Editing the lists"));

    // The arrow keys in the search field move through the index.
    viewer.SearchBox->clear();
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("Strip"));
    const QString first = viewer.IndexList->currentIndex().data().toString();
    QTest::keyClick(viewer.SearchBox, Qt::Key_Down);
    EXPECT_NE(viewer.IndexList->currentIndex().data().toString(), first);
}

TEST(HelpCollection, EveryKeywordLeadsToOneTopicAndEveryLinkResolves) {
    QHelpEngine engine(kCollection);
    engine.setReadOnly(true);
    engine.setUsesFilterEngine(true);
    ASSERT_TRUE(engine.setupData()) << engine.error().toStdString();
    const QString base = QStringLiteral("qthelp://org.quillet.help/doc/");

    const QMap<QString, QString> keywords = ProjectKeywords();
    for (auto it = keywords.begin(); it != keywords.end(); ++it) {
        const QList<QHelpLink> documents = engine.documentsForKeyword(it.key());
        ASSERT_EQ(documents.size(), 1) << it.key().toStdString();
        EXPECT_EQ(documents.first().url, QUrl(base + it.value())) << it.key().toStdString();
    }

    const QList<QUrl> files = engine.files(QStringLiteral("org.quillet.help"), QString());
    int topics = 0;
    int links = 0;
    static const QRegularExpression link(
        QStringLiteral("<(?:a|link|img)\\s[^>]*?(?:href|src)=\"([^\"#]+)\""));
    for (const QUrl& file : files) {
        if (!file.path().endsWith(QStringLiteral(".html"))) continue;
        ++topics;
        const QString page = QString::fromUtf8(engine.fileData(file));
        EXPECT_TRUE(page.contains(QStringLiteral("<title>"))) << file.toString().toStdString();
        for (const QRegularExpressionMatch& m : link.globalMatch(page)) {
            ++links;
            const QUrl target = file.resolved(QUrl(m.captured(1)));
            EXPECT_FALSE(engine.fileData(target).isEmpty())
                << file.toString().toStdString() << " links to " << m.captured(1).toStdString();
        }
    }
    EXPECT_EQ(topics, 11);
    EXPECT_GT(links, 40);
}

TEST(HelpCollection, TheContentsListTheTopicsUnderOneTitle) {
    HelpViewer viewer;
    ASSERT_TRUE(viewer.Load(kCollection));
    QHelpContentModel* contents = viewer.engine()->contentModel();
    ASSERT_TRUE(WaitFor([&] { return contents->rowCount() == 1; }));
    const QModelIndex root = contents->index(0, 0);
    EXPECT_EQ(root.data().toString(), QStringLiteral("Quillet Help"));
    EXPECT_EQ(contents->rowCount(root), 10);
}

TEST(HelpCollection, ACopyInAnotherFolderWorksAndIsNotWrittenTo) {
    ScopedWorkingDir dir;
    const QString qhc = dir.file(QStringLiteral("Quillet.qhc"));
    ASSERT_TRUE(QFile::copy(kCollection, qhc));
    ASSERT_TRUE(QFile::copy(QFileInfo(kCollection).dir().filePath(QStringLiteral("Quillet.qch")),
                            dir.file(QStringLiteral("Quillet.qch"))));
    const QByteArray before = Digest(qhc);
    {
        MessageLog messages;
        HelpViewer viewer;
        ASSERT_TRUE(viewer.Load(qhc));
        viewer.show();
        ASSERT_TRUE(WaitFor([&] { return IndexRows(viewer).size() > 50; }));
        EXPECT_EQ(viewer.TopicView->documentTitle(), QStringLiteral("Quillet Help"));
        EXPECT_TRUE(messages.texts.isEmpty());
    }
    EXPECT_EQ(Digest(qhc), before);
}

TEST(HelpCollection, AMissingFileIsReportedByItsPathAndNoWindowOpens) {
    ScopedWorkingDir dir;
    {
        MessageLog messages;
        HelpViewer viewer;
        EXPECT_FALSE(viewer.Load(dir.file(QStringLiteral("Quillet.qhc"))));
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_TRUE(messages.texts.first().contains(
            QDir::toNativeSeparators(dir.file(QStringLiteral("Quillet.qhc")))))
            << messages.texts.first().toStdString();
    }
    {
        // The collection without the documentation it registers.
        ASSERT_TRUE(QFile::copy(kCollection, dir.file(QStringLiteral("Quillet.qhc"))));
        MessageLog messages;
        HelpViewer viewer;
        EXPECT_FALSE(viewer.Load(dir.file(QStringLiteral("Quillet.qhc"))));
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_TRUE(messages.texts.first().contains(QStringLiteral("Quillet.qch")))
            << messages.texts.first().toStdString();
    }
    {
        // The Help Topics command looks in the program's folder, which for this test
        // program holds no help.
        MessageLog messages;
        bool opened = false;
        WhenModalOpens(
            [&](QWidget* modal) {
                if (!modal) return;
                opened = true;
                modal->close();
            },
            300);
        ShowHelpTopics(nullptr);
        QTest::qWait(350);
        EXPECT_FALSE(opened);
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_EQ(messages.texts.first(),
                  QStringLiteral("The help file \"%1\" was not found.")
                      .arg(QDir::toNativeSeparators(
                          QDir(QCoreApplication::applicationDirPath()).filePath("Quillet.qhc"))));
    }
}

}  // namespace
}  // namespace quillet::test
