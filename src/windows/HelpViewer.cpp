// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/HelpViewer.h"

#include "windows/HelpBrowser.h"
#include "windows/Utilities.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillet {

namespace {
const QString kHelpNamespace = QStringLiteral("org.quillet.help");
}

const QString HelpViewer::kCollectionFileName = QStringLiteral("Quillet.qhc");
const QUrl HelpViewer::kStartPage(
    QStringLiteral("qthelp://org.quillet.help/doc/topics/index.html"));

QString HelpViewer::DefaultCollectionPath() {
    return CollectionPathFor(QCoreApplication::applicationDirPath());
}

QString HelpViewer::CollectionPathFor(const QString& programDir) {
    const QDir dir(programDir);
    const QString beside = dir.filePath(kCollectionFileName);
    if (QFileInfo::exists(beside)) return beside;
    return QDir::cleanPath(
        dir.filePath(QStringLiteral(QUILLET_INSTALLED_HELP_DIR "/") + kCollectionFileName));
}

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HelpViewer"));
    // A window of its own, not a dialog kept above the main window: it stays open while
    // the user works in the main window, behind it or beside it.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(tr("Quillet Help"));
    resize(900, 620);
}

HelpViewer::~HelpViewer() = default;

bool HelpViewer::Load(const QString& collectionPath) {
    const QString shown = QDir::toNativeSeparators(QFileInfo(collectionPath).absoluteFilePath());
    if (!QFileInfo(collectionPath).isFile()) {
        ShowMessage(tr("The help file \"%1\" was not found.").arg(shown), parentWidget());
        return false;
    }
    // Read-only: the collection may lie in a folder the user cannot write to.
    engine_ = std::make_unique<QHelpEngine>(collectionPath);
    engine_->setReadOnly(true);
    engine_->setUsesFilterEngine(true);
    if (!engine_->setupData()) {
        ShowMessage(tr("The help file \"%1\" cannot be read: %2").arg(shown, engine_->error()),
                    parentWidget());
        engine_.reset();
        return false;
    }
    if (engine_->fileData(kStartPage).isEmpty()) {
        QString documentation = engine_->documentationFileName(kHelpNamespace);
        if (documentation.isEmpty()) {
            documentation = QFileInfo(collectionPath).dir().filePath(QStringLiteral("Quillet.qch"));
        }
        ShowMessage(tr("The help file \"%1\" holds no topics: its documentation "
                       "\"%2\" is missing or damaged.")
                        .arg(shown, QDir::toNativeSeparators(documentation)),
                    parentWidget());
        engine_.reset();
        return false;
    }

    SetupUi();
    CenterForm(*this);
    TopicView->setSource(kStartPage);
    return true;
}

void HelpViewer::SetupUi() {
    splitter_ = std::make_unique<QSplitter>(Qt::Horizontal);
    splitter_->setChildrenCollapsible(false);

    Tabs = new QTabWidget(splitter_.get());
    Tabs->setObjectName(QStringLiteral("Tabs"));

    // Index: a search field over the list of keywords.
    auto* indexPage = new QWidget(Tabs);
    auto* indexLayout = new QVBoxLayout(indexPage);
    auto* lookFor = new QLabel(tr("&Look for:"), indexPage);
    SearchBox = new QLineEdit(indexPage);
    SearchBox->setObjectName(QStringLiteral("SearchBox"));
    SearchBox->setPlaceholderText(tr("Type a word to find a topic"));
    SearchBox->setClearButtonEnabled(true);
    lookFor->setBuddy(SearchBox);
    IndexList = engine_->indexWidget();
    IndexList->setObjectName(QStringLiteral("IndexList"));
    indexLayout->addWidget(lookFor);
    indexLayout->addWidget(SearchBox);
    indexLayout->addWidget(IndexList);
    Tabs->addTab(indexPage, tr("&Index"));

    ContentsTree = engine_->contentWidget();
    ContentsTree->setObjectName(QStringLiteral("ContentsTree"));
    ContentsTree->setParent(Tabs);
    Tabs->addTab(ContentsTree, tr("&Contents"));

    TopicView = new HelpBrowser(*engine_, splitter_.get());
    TopicView->setObjectName(QStringLiteral("TopicView"));

    splitter_->addWidget(Tabs);
    splitter_->addWidget(TopicView);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({300, 600});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter_.get());

    connect(SearchBox, &QLineEdit::textChanged, this, &HelpViewer::FilterIndex);
    connect(SearchBox, &QLineEdit::returnPressed, IndexList,
            &QHelpIndexWidget::activateCurrentItem);
    SearchBox->installEventFilter(this);
    // The index is built in the background; filter it again once it is complete.
    connect(engine_->indexModel(), &QHelpIndexModel::indexCreated, this,
            [this] { FilterIndex(SearchBox->text()); });
    connect(IndexList, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& document) { TopicView->setSource(document.url); });
    connect(IndexList, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& documents) {
                if (!documents.isEmpty()) TopicView->setSource(documents.first().url);
            });
    connect(ContentsTree, &QHelpContentWidget::linkActivated, this,
            [this](const QUrl& link) { TopicView->setSource(link); });
    connect(engine_->contentModel(), &QHelpContentModel::contentsCreated, ContentsTree,
            &QTreeView::expandAll);

    // Opened at the index, ready to type in.
    Tabs->setCurrentIndex(0);
    SearchBox->setFocus();
}

void HelpViewer::FilterIndex(const QString& text) {
    // A "*" makes the text a wildcard pattern; otherwise keywords containing it are kept.
    if (text.contains(u'*')) {
        IndexList->filterIndices(text, text);
    } else {
        IndexList->filterIndices(text);
    }
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
    // The arrow and page keys in the search field move through the index.
    if (watched == SearchBox && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                QCoreApplication::sendEvent(IndexList, event);
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillet
