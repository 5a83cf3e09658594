// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <memory>

class QHelpContentWidget;
class QHelpEngine;
class QHelpIndexWidget;
class QLineEdit;
class QSplitter;
class QTabWidget;

namespace quillet {

class HelpBrowser;

/// The help window: an index of topics with a search field that filters it as the user
/// types, the table of contents, and the topic being read.
class HelpViewer final : public QDialog {
    Q_OBJECT

  public:
    /// The help collection's file name; the documentation Quillet.qch lies beside it.
    static const QString kCollectionFileName;
    /// The first topic shown.
    static const QUrl kStartPage;
    /// The help collection of the running program (see CollectionPathFor).
    static QString DefaultCollectionPath();
    /// The help collection of a program in `programDir`: beside it, as in the build tree,
    /// else in the installed data folder relative to it (../share/quillet from bin/).
    /// When neither exists, the installed place, which the message about it then names.
    static QString CollectionPathFor(const QString& programDir);

    explicit HelpViewer(QWidget* parent = nullptr);
    ~HelpViewer() override;

    /// Opens the help collection at `collectionPath` and shows the first topic, with the
    /// index and its search field ready. When the help cannot be read, the user is told
    /// which file is missing or why, and false is returned: the window must then not be
    /// shown.
    bool Load(const QString& collectionPath);

    // Controls; they exist once Load has succeeded.
    QTabWidget* Tabs = nullptr;
    QLineEdit* SearchBox = nullptr;
    QHelpIndexWidget* IndexList = nullptr;
    QHelpContentWidget* ContentsTree = nullptr;
    HelpBrowser* TopicView = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetupUi();
    void FilterIndex(const QString& text);

    // Declared in this order so that the views go before the engine that feeds them.
    std::unique_ptr<QHelpEngine> engine_;
    std::unique_ptr<QSplitter> splitter_;
};

}  // namespace quillet
