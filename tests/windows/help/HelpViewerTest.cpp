// SPDX-License-Identifier: GPL-3.0-or-later
// The help window over the collection built for the program.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "mainwindow/SecondaryWindows.h"
#include "windows/Contrast.h"
#include "windows/HelpBrowser.h"
#include "windows/HelpViewer.h"

#include <gtest/gtest.h>
#include <QHelpIndexWidget>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QXmlStreamReader>

namespace quillet::test {
namespace {

const QString kCollection = QStringLiteral(QUILLET_HELP_COLLECTION);

/// The index's rows, sorted.
QStringList IndexRows(const HelpViewer& viewer) {
    QStringList rows;
    const QAbstractItemModel* model = viewer.IndexList->model();
    for (int i = 0; i < model->rowCount(); ++i) rows << model->index(i, 0).data().toString();
    rows.sort(Qt::CaseInsensitive);
    return rows;
}

TEST(HelpViewer, TheIndexListsEveryTopicAndTypingFiltersIt) {
    // The keywords the help project lists.
    QFile project(QStringLiteral(QUILLET_HELP_PROJECT));
    ASSERT_TRUE(project.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&project);
    QStringList keywords;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"keyword") {
            keywords << xml.attributes().value(QLatin1StringView("name")).toString();
        }
    }
    keywords.sort(Qt::CaseInsensitive);
    ASSERT_GT(keywords.size(), 50);

    MessageLog messages;
    HelpViewer viewer;
    ASSERT_TRUE(viewer.Load(kCollection));
    viewer.show();
    // The index is built in the background.
    EXPECT_TRUE(QTest::qWaitFor([&] { return IndexRows(viewer).size() >= keywords.size(); }));
    EXPECT_EQ(IndexRows(viewer), keywords);

    // Each letter typed narrows the list to the keywords that contain the text, and Enter
    // opens the topic of the keyword found.
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("str"));
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("ip"));
    EXPECT_EQ(IndexRows(viewer), (QStringList{"Strip Newlines", "Strip Spaces"}));
    viewer.SearchBox->clear();
    QTest::keyClicks(viewer.SearchBox, QStringLiteral("duplicate"));
    QTest::keyClick(viewer.SearchBox, Qt::Key_Return);
    EXPECT_EQ(viewer.TopicView->documentTitle(), QStringLiteral("Editing the lists"));
    EXPECT_TRUE(messages.texts.isEmpty());
}

/// The colour a brush paints, or `otherwise` for no brush.
QColor Painted(const QBrush& brush, const QColor& otherwise) {
    return brush.style() == Qt::NoBrush ? otherwise : brush.color();
}

TEST(HelpViewer, EveryTopicReadsInLightAndDarkPalettes) {
    const auto palette = [](QColor window, QColor text, QColor base, QColor link) {
        QPalette p;
        for (const auto role : {QPalette::Window, QPalette::Button}) p.setColor(role, window);
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            p.setColor(role, text);
        }
        p.setColor(QPalette::Base, base);
        p.setColor(QPalette::Link, link);
        return p;
    };
    const struct {
        const char* name;
        QPalette palette;
    } palettes[] = {
        {"light", palette(0xefefef, Qt::black, Qt::white, 0x0000ff)},
        // A dark desktop whose link colour is a dark blue.
        {"dark", palette(0x353535, 0xf0f0f0, 0x2a2a2a, 0x1a3a8a)},
    };
    const QDir folder(QFileInfo(QStringLiteral(QUILLET_HELP_PROJECT)).dir().filePath("topics"));
    ASSERT_GT(folder.entryList({"*.html"}).size(), 10);

    MessageLog messages;
    HelpViewer viewer;
    ASSERT_TRUE(viewer.Load(kCollection));
    for (const auto& p : palettes) {
        SCOPED_TRACE(p.name);
        viewer.setPalette(p.palette);
        const QColor base = p.palette.color(QPalette::Base);
        const QColor text = p.palette.color(QPalette::Text);
        for (const QString& topic : folder.entryList({"*.html"})) {
            SCOPED_TRACE(topic.toStdString());
            viewer.TopicView->setSource(
                QUrl(QStringLiteral("qthelp://org.quillet.help/doc/topics/") + topic));
            const QTextDocument& document = *viewer.TopicView->document();
            int fragments = 0;
            for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
                // The text stands on its own background, its block's, its table cell's, or
                // the page's.
                QColor ground = base;
                QTextCursor place(block);
                if (const QTextTable* table = place.currentTable()) {
                    ground = Painted(table->cellAt(place).format().background(), ground);
                }
                ground = Painted(block.blockFormat().background(), ground);
                for (auto it = block.begin(); !it.atEnd(); ++it) {
                    const QTextFragment fragment = it.fragment();
                    if (fragment.text().trimmed().isEmpty()) continue;
                    ++fragments;
                    const QTextCharFormat format = fragment.charFormat();
                    const QColor back = Painted(format.background(), ground);
                    const QColor fore = Painted(format.foreground(), text);
                    EXPECT_GE(ContrastRatio(fore, back), 4.5)
                        << fragment.text().left(30).toStdString() << ": "
                        << fore.name().toStdString() << " on " << back.name().toStdString();
                }
            }
            EXPECT_GT(fragments, 3);
        }
    }
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(HelpViewer, HelpTopicsOpensOneWindowThatLetsTheUserWorkOn) {
    MessageLog messages;
    QWidget main;
    main.show();
    const auto viewers = [] {
        QList<HelpViewer*> shown;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* viewer = qobject_cast<HelpViewer*>(window); viewer && viewer->isVisible()) {
                shown << viewer;
            }
        }
        return shown;
    };
    ShowHelpTopics(&main, kCollection);  // returns at once
    ShowHelpTopics(&main, kCollection);
    ASSERT_EQ(viewers().size(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    viewers().first()->close();
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(HelpViewer, TheHelpIsFoundBesideTheProgramOrInstalledAndMissingHelpIsReported) {
    // An installed layout: the program in bin/, the help in share/quillet/; in a build
    // tree the help beside the program comes first.
    ScopedWorkingDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("share/quillet")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString installed = dir.file(QStringLiteral("share/quillet/Quillet.qhc"));
    ASSERT_TRUE(PutFile(installed, "help"));
    EXPECT_EQ(HelpViewer::CollectionPathFor(dir.file(QStringLiteral("bin"))), installed);
    const QString beside = dir.file(QStringLiteral("bin/Quillet.qhc"));
    ASSERT_TRUE(QFile::copy(kCollection, beside));
    EXPECT_EQ(HelpViewer::CollectionPathFor(dir.file(QStringLiteral("bin"))), beside);

    // A missing collection, and one without the documentation it registers.
    MessageLog messages;
    EXPECT_FALSE(HelpViewer().Load(dir.file(QStringLiteral("none.qhc"))));
    EXPECT_FALSE(HelpViewer().Load(beside));
    ASSERT_EQ(messages.texts.size(), 2);
    EXPECT_TRUE(messages.texts[0].contains(dir.file(QStringLiteral("none.qhc"))))
        << messages.texts[0].toStdString();
    EXPECT_TRUE(messages.texts[1].contains(QStringLiteral("Quillet.qch")))
        << messages.texts[1].toStdString();

    // Help Topics reads the help of this test program, which has none; the message names
    // the installed place.
    messages.texts.clear();
    ShowHelpTopics(nullptr);
    EXPECT_EQ(
        messages.texts,
        QStringList{QStringLiteral("The help file \"%1\" was not found.")
                        .arg(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                             QStringLiteral("/../share/quillet/Quillet.qhc")))});
}

}  // namespace
}  // namespace quillet::test
