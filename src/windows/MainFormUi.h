#pragma once

#include <QFont>
#include <QIcon>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;

namespace quillet {

class WorkBoxEditor;

/// The make-up of the main window: the client area below the menu bar with the toolbar,
/// the document view and the progress labels; the menu tree; the toolbar's pictures.
///
/// Places and sizes are designed in twips, 1/1440 inch; 15 twips make one pixel at the
/// design font. When the platform's font needs more room than the design font had, the
/// whole design grows by one factor, so every caption fits and the proportions stay.
class MainFormUi {
  public:
    static constexpr int kDesignWidth = 9780;   ///< client width in twips
    static constexpr int kDesignHeight = 6720;  ///< client height in twips
    static constexpr int kTwipsPerPixel = 15;

    /// The growth factor of the design for `font`: at least 1, and enough for the
    /// captions and an eight-digit count to fit their labels.
    static double DesignScale(const QFont& font);

    /// Builds the controls in their creation order, at their design places, and the
    /// menus, and gives the window its design caption and client size.
    void setupUi(QMainWindow& form);

    /// Pixels for a length in twips at this window's design scale.
    int pixels(int twips) const;

    /// The picture of `ImageList1` with `key`; a null icon when there is none.
    QIcon image(const QString& key) const;

    double scale = 1.0;

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
    QAction* mnuFileSkipList = nullptr;
    QAction* mnuFileIncludeList = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuOptionsHtml5 = nullptr;  ///< checkable: Fix File follows the HTML5 parser
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpTutorial = nullptr;
    QAction* mnuHelpAbout = nullptr;
};

}  // namespace quillet
