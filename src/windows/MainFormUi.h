// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QIcon>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSize>
#include <QString>

class QAction;
class QActionGroup;
class QLabel;
class QMainWindow;
class QMenu;
class QStatusBar;
class QToolBar;
class QWidget;

namespace quillet {

class WorkBoxEditor;

/// The make-up of the main window: the client area below the menu bar with the toolbar,
/// the document view and the progress labels; the status bar below the client area; the
/// menu tree; the toolbar's pictures.
///
/// Places and sizes are designed in twips, 1/1440 inch; 15 twips make one pixel at the
/// design font. When the platform's font needs more room than the design font had, the
/// whole design grows by one factor, so every caption fits and the proportions stay. The
/// window cannot be made smaller than the size at which the captions and the toolbar
/// still fit.
class MainFormUi {
  public:
    static constexpr int kDesignWidth = 9780;   ///< client width in twips
    static constexpr int kDesignHeight = 6720;  ///< client height in twips

    /// The window's design caption, which it shows before any page is opened or saved.
    static QString DesignCaption();

    /// The growth factor of the design for `font`: at least 1, and enough for the
    /// captions, the toolbar and a ten-digit count to fit. Every window of the program is
    /// drawn at this scale.
    static double DesignScale(const QFont& font);

    /// Builds the controls in their creation order, at their design places, and the
    /// menus, and gives the window its design caption and client size.
    void setupUi(QMainWindow& form);

    /// Pixels for a length in twips at this window's design scale.
    int pixels(int twips) const;

    /// The picture of `ImageList1` with `key`; a null icon when there is none.
    QIcon image(const QString& key) const;

    /// The menu item that the toolbar button with the Key `key` stands for; null for a
    /// Key that no button has (Keys are compared exactly).
    QAction* menuItemForKey(const QString& key) const;

    double scale = 1.0;
    /// The smallest client area at which every caption and the toolbar still fit.
    QSize minimumClientSize;

    QWidget* client = nullptr;  ///< the client area; the controls are its children
    QToolBar* ToolBar1 = nullptr;
    WorkBoxEditor* WorkBox = nullptr;
    QLabel* PBox = nullptr;
    QMap<int, QLabel*> Label1;  ///< the caption labels; elements 0 and 2, no element 1
    QLabel* CountBox = nullptr;
    QList<QPair<QString, QIcon>> ImageList1;  ///< the toolbar's pictures by key, in order

    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* mnuFileFix = nullptr;
    QAction* mnuFileStripNewlines = nullptr;
    QAction* mnuFileStripSpaces = nullptr;
    QAction* mnuFileSave = nullptr;
    QMenu* mnuFileRecent = nullptr;  ///< the pages opened last
    /// "Reopen with Encoding": "Automatic" (no data), then one entry per encoding, whose
    /// data is the encoding's name; checkable, one at a time.
    QMenu* mnuFileEncoding = nullptr;
    QActionGroup* mnuFileEncodingItems = nullptr;
    QAction* mnuFileSkipList = nullptr;
    QAction* mnuFileIncludeList = nullptr;
    QAction* mnuFileExit = nullptr;

    QMenu* mnuEdit = nullptr;
    QAction* mnuEditUndo = nullptr;
    QAction* mnuEditRedo = nullptr;
    QAction* mnuEditCut = nullptr;
    QAction* mnuEditCopy = nullptr;
    QAction* mnuEditPaste = nullptr;
    QAction* mnuEditSelectAll = nullptr;
    QAction* mnuEditFind = nullptr;
    QAction* mnuEditFindNext = nullptr;
    QAction* mnuEditFindPrevious = nullptr;
    QAction* mnuEditReplace = nullptr;
    QAction* mnuEditGoToLine = nullptr;

    QMenu* mnuOptions = nullptr;
    QAction* mnuOptionsJoinLineFeeds = nullptr;  ///< checkable: Strip Newlines joins lone LFs
    QAction* mnuOptionsHtml5 = nullptr;          ///< checkable: Fix File follows the HTML5 parser

    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpTutorial = nullptr;
    QAction* mnuHelpAbout = nullptr;

    /// The status bar; its permanent labels stand at its right end, in the order added.
    QStatusBar* statusBar = nullptr;
    QLabel* EncodingBox = nullptr;  ///< the encoding the page was read in
};

}  // namespace quillet
