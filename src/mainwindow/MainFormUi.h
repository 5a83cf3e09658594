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
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace quillet {

class ElidedLabel;
class WorkBoxEditor;

/// The make-up of the main window: the client area below the menu bar with the toolbar,
/// the document view and the progress labels; the status bar below the client area; the
/// menu tree; the toolbar's pictures.
///
/// Places and sizes are designed in twips, 1/1440 inch; 15 twips make one pixel at the
/// design font. When the platform's font needs more room than the design font had, the
/// whole design grows by one factor, so every caption fits and the proportions stay.
///
/// Down to the size at which the captions still fit in proportion, the controls follow the
/// client area in proportion (ScreenHandler). Below it, in the direction where the room is
/// short, they stand by what they need instead: the counters and their captions keep their
/// sizes, side by side or, in a narrow window, one above the other, and the document view
/// takes what is left, so a window fits a small
/// screen and the counters stay readable.
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
    /// The scale at which `window`, a fixed design of `widthTwips` by `heightTwips`, is
    /// drawn: its DesignScale, made smaller by the factor that fits the window with its
    /// frame into the free area of its screen (its parent's, for a window with a parent)
    /// where that is needed.
    static double ScreenScale(const QWidget& window, int widthTwips, int heightTwips);

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

    /// Places the controls where the client area is smaller than proportionalMinimum, in
    /// width or in height, by what they need (see the class); does nothing otherwise. Called
    /// after the proportional placement.
    void fitSmallClient();

    double scale = 1.0;
    /// The client area of the design at this scale.
    QSize designClientSize;
    /// The smallest client area at which every caption and the toolbar still fit with the
    /// controls in proportion.
    QSize proportionalMinimum;
    /// The smallest client area: the counters side by side at their sizes, the toolbar,
    /// and a few lines of the document.
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
    QAction* mnuFileStop = nullptr;  ///< ends the running command (Esc); enabled during a run
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
    QAction* mnuEditNextChange = nullptr;      ///< selects the next review mark (F8)
    QAction* mnuEditPreviousChange = nullptr;  ///< the previous one (Shift+F8)
    /// Compares Fix File with the other way of deciding; its caption names the other way.
    QAction* mnuEditCompare = nullptr;

    QMenu* mnuView = nullptr;
    QAction* mnuViewZoomIn = nullptr;
    QAction* mnuViewZoomOut = nullptr;
    QAction* mnuViewZoomNormal = nullptr;
    QAction* mnuViewWordWrap = nullptr;  ///< checkable

    QMenu* mnuOptions = nullptr;
    QAction* mnuOptionsJoinLineFeeds = nullptr;  ///< checkable: Strip Newlines joins lone LFs
    QAction* mnuOptionsHtml5 = nullptr;          ///< checkable: Fix File follows the HTML5 parser

    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpTutorial = nullptr;
    QAction* mnuHelpAbout = nullptr;

    /// The status bar; its permanent parts stand at its right end, in this order.
    QStatusBar* statusBar = nullptr;
    QProgressBar* BusyBar = nullptr;        ///< moves while a command runs; hidden otherwise
    QToolButton* StopButton = nullptr;      ///< runs mnuFileStop; shown while a command runs
    QLabel* EncodingBox = nullptr;          ///< the encoding the page was read in
    ElidedLabel* WordListsLabel = nullptr;  ///< the word-list file in use

  private:
    /// The sizes the small placement keeps, in pixels.
    struct SmallNeeds {
        int toolBarHeight = 0;
        int captionHeight = 0;
        int remainingWidth = 0;  ///< of the caption "Remaining Characters to Process"
        int addedWidth = 0;      ///< of the caption "</p>s Added:"
        int boxWidth = 0;        ///< of a number box
        int boxHeight = 0;
        int viewHeight = 0;  ///< the least height of the document view

        /// The width of the counters side by side, and one above the other.
        int oneRowWidth() const;
        int twoRowWidth() const;
        int rowHeight() const;
    } needs_;
};

}  // namespace quillet
