// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/MainFormUi.h"

#include "documents/TextEncoding.h"
#include "windows/ElidedLabel.h"
#include "windows/ScreenFit.h"
#include "windows/Translations.h"
#include "windows/TwipsGeometry.h"
#include "windows/WindowImages.h"
#include "windows/WorkBoxEditor.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

QString AddedCaption() {
    return MainFormTr("</p>s Added:");
}
QString RemainingCaption() {
    return MainFormTr("Remaining Characters to Process");
}

/// A control's design place in twips.
struct Place {
    int left, top, width, height;
};

// The design places of the controls whose room the captions and counts need.
constexpr Place kToolBar{0, 0, MainFormUi::kDesignWidth, 420};
constexpr Place kAdded{5940, 540, 1035, 195};
constexpr Place kRemaining{1980, 540, 2415, 195};
constexpr Place kCountBox{4560, 480, 735, 315};
constexpr Place kPBox{7080, 480, 735, 315};
/// How wide a number box may grow for its count, in twips: up to just before the
/// caption that follows it.
constexpr int kNumberBoxRoom = 1335;
constexpr int kToolButtonHeight = 22;

// The small placement's spaces, in pixels: between a caption and its number box, between
// the two counters, above and below the counters, and at the edges.
constexpr int kCaptionGap = 6;
constexpr int kGroupGap = 18;
constexpr int kRowGap = 4;
constexpr int kSmallMargin = 6;

/// Pixels a number box needs for a ten-digit count, inside its border and indent.
double NumberBoxWidth(const QFontMetricsF& metrics) {
    return metrics.horizontalAdvance(QStringLiteral("9999999999")) + 8.0;
}

/// Pixels a number box needs in height: a line of text inside its border.
double NumberBoxHeight(const QFontMetricsF& metrics) {
    return metrics.height() + 6.0;
}

/// Pixels the toolbar needs in height: its buttons inside its margins.
double ToolBarHeight() {
    const QStyle* style = QApplication::style();
    return kToolButtonHeight + 2.0 * (style->pixelMetric(QStyle::PM_ToolBarItemMargin) +
                                      style->pixelMetric(QStyle::PM_ToolBarFrameWidth));
}

/// Room that a caption, a count or the toolbar needs at a font, in pixels, against the
/// design length in twips that gives it that room.
struct Need {
    double pixels;
    int twips;
};
struct Needs {
    QList<Need> widths;
    QList<Need> heights;
};

/// What the two captions, a ten-digit count in a number box `numberBoxTwips` wide, and the
/// toolbar need. The design scale gives each its room; the smallest window keeps each at
/// its proportional share.
Needs RoomNeeded(const QFontMetricsF& metrics, int numberBoxTwips) {
    return {{
                {metrics.horizontalAdvance(RemainingCaption()) + 2.0, kRemaining.width},
                {metrics.horizontalAdvance(AddedCaption()) + 2.0, kAdded.width},
                {NumberBoxWidth(metrics), numberBoxTwips},
            },
            {
                {metrics.height(), kRemaining.height},
                {NumberBoxHeight(metrics), kCountBox.height},
                {ToolBarHeight(), kToolBar.height},
            }};
}

/// A toolbar button: its Key, tool tip and picture, and the menu item whose command it
/// runs. A button without a Key is a separator.
struct ToolButton {
    const char* key;
    const char* toolTip;
    const char* image;
    QAction* MainFormUi::*item;
};

const ToolButton kToolButtons[] = {
    {nullptr, nullptr, nullptr, nullptr},
    {"Open", QT_TRANSLATE_NOOP("quillet::MainForm", "Open File"), "Open", &MainFormUi::mnuFileOpen},
    {"Fix", QT_TRANSLATE_NOOP("quillet::MainForm", "Fix File"), "Fix", &MainFormUi::mnuFileFix},
    {"Save", QT_TRANSLATE_NOOP("quillet::MainForm", "Save File"), "Save", &MainFormUi::mnuFileSave},
    {nullptr, nullptr, nullptr, nullptr},
    {"Newlines", QT_TRANSLATE_NOOP("quillet::MainForm", "Clear Paragraph Newlines"), "Newlines",
     &MainFormUi::mnuFileStripNewlines},
    {"Spaces", QT_TRANSLATE_NOOP("quillet::MainForm", "Clear Excess Spaces"), "Spaces",
     &MainFormUi::mnuFileStripSpaces},
    {nullptr, nullptr, nullptr, nullptr},
    {"SkipList", QT_TRANSLATE_NOOP("quillet::MainForm", "Edit Skip List"), "Skip",
     &MainFormUi::mnuFileSkipList},
    {"Include", QT_TRANSLATE_NOOP("quillet::MainForm", "Edit Include List"), "Include",
     &MainFormUi::mnuFileIncludeList},
};

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    // A caption such as "</p>s Added:" would otherwise be taken for markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    return label;
}

/// A number box: right-aligned, in a sunken single border, on the text background.
QLabel* MakeNumberBox(QWidget* parent, const QString& name) {
    QLabel* box = MakeLabel(parent, name, QString());
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setLineWidth(1);
    box->setIndent(3);
    box->setAutoFillBackground(true);
    box->setBackgroundRole(QPalette::Base);
    box->setForegroundRole(QPalette::Text);
    return box;
}

QAction* MakeItem(QMenu* menu, const QString& name, const QString& caption,
                  const QList<QKeySequence>& shortcuts = {}) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    item->setShortcuts(shortcuts);
    return item;
}

/// A label at the right end of the status bar, after the ones added before it.
QLabel* AddStatusLabel(QStatusBar* bar, const QString& name, const QString& toolTip) {
    auto* label = new QLabel(bar);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setToolTip(toolTip);
    label->setAccessibleName(toolTip);
    bar->addPermanentWidget(label);
    return label;
}

/// The encodings offered for reopening a page, those of them that this Qt provides.
QStringList OfferedEncodings() {
    QStringList names = {QStringLiteral("UTF-8"), QStringLiteral("UTF-16LE"),
                         QStringLiteral("UTF-16BE"), QStringLiteral("Windows-1252")};
    for (int part = 1; part <= 16; ++part) {
        const QString name = QStringLiteral("ISO-8859-%1").arg(part);
        if (TextEncoding::ForName(name)) names.append(name);
    }
    return names;
}

}  // namespace

QString MainFormUi::DesignCaption() {
    return MainFormTr("Orvane Quillet");
}

double MainFormUi::DesignScale(const QFont& font) {
    // Each need against the pixels the design gives it; a number box may grow into the
    // gap after it.
    const Needs needs = RoomNeeded(QFontMetricsF(font), kNumberBoxRoom);
    double scale = 1.0;
    for (const QList<Need>* list : {&needs.widths, &needs.heights}) {
        for (const Need& need : *list) {
            scale = std::max(scale, need.pixels / (need.twips / double(kTwipsPerPixel)));
        }
    }
    return scale;
}

double MainFormUi::ScreenScale(const QWidget& window, int widthTwips, int heightTwips) {
    const double scale = DesignScale(window.font());
    const QRect area = AvailableArea(window.parentWidget() ? *window.parentWidget() : window);
    if (!area.isValid()) return scale;
    const QMargins frame = ExpectedFrameMargins();
    const QSize design(TwipsToPixels(widthTwips, scale), TwipsToPixels(heightTwips, scale));
    return scale * FittingScale(design,
                                QSize(frame.left() + frame.right(), frame.top() + frame.bottom()),
                                area.size());
}

int MainFormUi::pixels(int twips) const {
    return TwipsToPixels(twips, scale);
}

QAction* MainFormUi::menuItemForKey(const QString& key) const {
    for (const ToolButton& button : kToolButtons) {
        if (button.key && key == QLatin1String(button.key)) return this->*button.item;
    }
    return nullptr;
}

QIcon MainFormUi::image(const QString& key) const {
    for (const auto& [imageKey, icon] : ImageList1) {
        if (imageKey == key) return icon;
    }
    return {};
}

void MainFormUi::setupUi(QMainWindow& form) {
    form.setObjectName(QStringLiteral("MainForm"));
    form.setWindowTitle(DesignCaption());
    form.setWindowIcon(ApplicationIcon());
    scale = DesignScale(form.font());

    client = new QWidget(&form);
    client->setObjectName(QStringLiteral("MainFormClient"));
    form.setCentralWidget(client);
    const QSize clientSize(pixels(kDesignWidth), pixels(kDesignHeight));
    designClientSize = clientSize;
    client->resize(clientSize);

    auto place = [this](QWidget* control, Place p) {
        control->setGeometry(pixels(p.left), pixels(p.top), pixels(p.width), pixels(p.height));
    };

    // The pictures, in the list's order, with their keys.
    const std::pair<const char*, const char*> images[] = {
        {"Open", "open.png"},     {"Save", "save.png"},       {"Fix", "fix.png"},
        {"Skip", "skip.png"},     {"Include", "include.png"}, {"Newlines", "newlines.png"},
        {"Spaces", "spaces.png"},
    };
    for (const auto& [key, file] : images) {
        ImageList1.append({QString::fromLatin1(key), ToolbarImage(QString::fromLatin1(file))});
    }

    // 1. The toolbar, docked to the top edge across the client width.
    ToolBar1 = new QToolBar(client);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const ToolButton& b : kToolButtons) {
        if (!b.key) {
            ToolBar1->addSeparator();
            continue;
        }
        QAction* button = ToolBar1->addAction(image(QString::fromLatin1(b.image)), QString());
        button->setData(QString::fromLatin1(b.key));
        button->setToolTip(MainFormTr(b.toolTip));
        if (QWidget* widget = ToolBar1->widgetForAction(button)) {
            widget->setFixedSize(24, kToolButtonHeight);
            widget->setAccessibleName(MainFormTr(b.toolTip));
        }
    }
    place(ToolBar1, kToolBar);

    // 2. The document view.
    WorkBox = new WorkBoxEditor(client);
    WorkBox->setObjectName(QStringLiteral("WorkBox"));
    WorkBox->setAccessibleName(MainFormTr("Document"));
    place(WorkBox, {150, 900, 9495, 5490});

    // 3. The dialogs have no control here: they are asked through an interface.
    // 4.-7. The progress labels and their captions. A number box is wider than designed
    // when a ten-digit count needs it, and no taller than a line of text needs.
    const QFontMetricsF metrics(form.font());
    const int boxWidth =
        std::max(kCountBox.width, int(std::ceil(NumberBoxWidth(metrics) * kTwipsPerPixel / scale)));
    const int boxHeight =
        std::max(pixels(kCountBox.height), int(std::ceil(NumberBoxHeight(metrics))));
    PBox = MakeNumberBox(client, QStringLiteral("PBox"));
    PBox->setAccessibleName(MainFormTr("</p>s Added"));
    place(PBox, {kPBox.left, kPBox.top, boxWidth, kPBox.height});
    PBox->setMaximumHeight(boxHeight);
    QLabel* added = MakeLabel(client, QStringLiteral("Label1"), AddedCaption());
    added->setProperty("index", 0);
    place(added, kAdded);
    Label1.insert(0, added);
    QLabel* remaining = MakeLabel(client, QStringLiteral("Label1"), RemainingCaption());
    remaining->setProperty("index", 2);
    place(remaining, kRemaining);
    Label1.insert(2, remaining);
    CountBox = MakeNumberBox(client, QStringLiteral("CountBox"));
    CountBox->setAccessibleName(MainFormTr("Remaining Characters to Process"));
    place(CountBox, {kCountBox.left, kCountBox.top, boxWidth, kCountBox.height});
    CountBox->setMaximumHeight(boxHeight);

    // The tab order; the labels take no focus, so the document view has it first.
    QWidget::setTabOrder(CountBox, remaining);
    QWidget::setTabOrder(remaining, WorkBox);
    QWidget::setTabOrder(WorkBox, added);
    QWidget::setTabOrder(added, PBox);
    QWidget::setTabOrder(PBox, ToolBar1);

    // The menu tree: File, Edit, Options and Help. The File and Help items keep their
    // designed order; the pages opened last follow Save File.
    QMenuBar* bar = form.menuBar();
    mnuFile = bar->addMenu(MainFormTr("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileOpen = MakeItem(mnuFile, QStringLiteral("mnuFileOpen"), MainFormTr("&Open File"),
                           {QKeySequence(Qt::CTRL | Qt::Key_O)});
    mnuFileFix = MakeItem(mnuFile, QStringLiteral("mnuFileFix"), MainFormTr("&Fix File"),
                          {QKeySequence(Qt::Key_F5)});
    mnuFileStripNewlines = MakeItem(mnuFile, QStringLiteral("mnuFileStripNewlines"),
                                    MainFormTr("Strip &Newlines"), {QKeySequence(Qt::Key_F6)});
    mnuFileStripSpaces = MakeItem(mnuFile, QStringLiteral("mnuFileStripSpaces"),
                                  MainFormTr("Strip S&paces"), {QKeySequence(Qt::Key_F7)});
    mnuFileStop = MakeItem(mnuFile, QStringLiteral("mnuFileStop"), MainFormTr("S&top"),
                           {QKeySequence(Qt::Key_Escape)});
    mnuFileStop->setToolTip(MainFormTr("End the command that runs, and leave the page as it was"));
    mnuFileStop->setEnabled(false);
    mnuFileSave = MakeItem(mnuFile, QStringLiteral("mnuFileSave"), MainFormTr("&Save File"),
                           {QKeySequence(Qt::CTRL | Qt::Key_S)});
    mnuFileRecent = mnuFile->addMenu(MainFormTr("&Recent Files"));
    mnuFileRecent->setObjectName(QStringLiteral("mnuFileRecent"));
    mnuFileEncoding = mnuFile->addMenu(MainFormTr("Reopen &with Encoding"));
    mnuFileEncoding->setObjectName(QStringLiteral("mnuFileEncoding"));
    mnuFileEncodingItems = new QActionGroup(mnuFileEncoding);
    QAction* automatic = mnuFileEncoding->addAction(MainFormTr("&Automatic"));
    mnuFileEncodingItems->addAction(automatic);
    mnuFileEncoding->addSeparator();
    for (const QString& name : OfferedEncodings()) {
        QAction* item = mnuFileEncoding->addAction(name);
        item->setData(name);
        mnuFileEncodingItems->addAction(item);
    }
    for (QAction* item : mnuFileEncodingItems->actions()) item->setCheckable(true);
    automatic->setChecked(true);
    mnuFileSkipList =
        MakeItem(mnuFile, QStringLiteral("mnuFileSkipList"), MainFormTr("&Edit Skip List"));
    mnuFileIncludeList =
        MakeItem(mnuFile, QStringLiteral("mnuFileIncludeList"), MainFormTr("Edit &Include List"));
    mnuFileExit = MakeItem(mnuFile, QStringLiteral("mnuFileExit"), MainFormTr("E&xit"),
                           {QKeySequence(Qt::CTRL | Qt::Key_Q)});

    mnuEdit = bar->addMenu(MainFormTr("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuEditUndo = MakeItem(mnuEdit, QStringLiteral("mnuEditUndo"), MainFormTr("&Undo"),
                           {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    mnuEditRedo = MakeItem(
        mnuEdit, QStringLiteral("mnuEditRedo"), MainFormTr("&Redo"),
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    mnuEdit->addSeparator();
    mnuEditCut = MakeItem(mnuEdit, QStringLiteral("mnuEditCut"), MainFormTr("Cu&t"),
                          {QKeySequence(Qt::CTRL | Qt::Key_X)});
    mnuEditCopy = MakeItem(mnuEdit, QStringLiteral("mnuEditCopy"), MainFormTr("&Copy"),
                           {QKeySequence(Qt::CTRL | Qt::Key_C)});
    mnuEditPaste = MakeItem(mnuEdit, QStringLiteral("mnuEditPaste"), MainFormTr("&Paste"),
                            {QKeySequence(Qt::CTRL | Qt::Key_V)});
    mnuEditSelectAll = MakeItem(mnuEdit, QStringLiteral("mnuEditSelectAll"),
                                MainFormTr("Select &All"), {QKeySequence(Qt::CTRL | Qt::Key_A)});
    mnuEdit->addSeparator();
    mnuEditFind = MakeItem(mnuEdit, QStringLiteral("mnuEditFind"), MainFormTr("&Find..."),
                           {QKeySequence(Qt::CTRL | Qt::Key_F)});
    mnuEditFindNext = MakeItem(mnuEdit, QStringLiteral("mnuEditFindNext"), MainFormTr("Find &Next"),
                               {QKeySequence(Qt::Key_F3)});
    mnuEditFindPrevious =
        MakeItem(mnuEdit, QStringLiteral("mnuEditFindPrevious"), MainFormTr("Find Pre&vious"),
                 {QKeySequence(Qt::SHIFT | Qt::Key_F3)});
    mnuEditReplace = MakeItem(mnuEdit, QStringLiteral("mnuEditReplace"), MainFormTr("R&eplace..."),
                              {QKeySequence(Qt::CTRL | Qt::Key_H)});
    mnuEditGoToLine = MakeItem(mnuEdit, QStringLiteral("mnuEditGoToLine"),
                               MainFormTr("&Go to Line..."), {QKeySequence(Qt::CTRL | Qt::Key_G)});

    mnuEdit->addSeparator();
    mnuEditNextChange = MakeItem(mnuEdit, QStringLiteral("mnuEditNextChange"),
                                 MainFormTr("Ne&xt Change"), {QKeySequence(Qt::Key_F8)});
    mnuEditPreviousChange =
        MakeItem(mnuEdit, QStringLiteral("mnuEditPreviousChange"), MainFormTr("Previ&ous Change"),
                 {QKeySequence(Qt::SHIFT | Qt::Key_F8)});
    mnuEditCompare = MakeItem(mnuEdit, QStringLiteral("mnuEditCompare"),
                              MainFormTr("Co&mpare with HTML5 Rules"));

    mnuView = bar->addMenu(MainFormTr("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuViewZoomIn =
        MakeItem(mnuView, QStringLiteral("mnuViewZoomIn"), MainFormTr("Zoom &In"),
                 {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    mnuViewZoomOut = MakeItem(mnuView, QStringLiteral("mnuViewZoomOut"), MainFormTr("Zoom &Out"),
                              {QKeySequence(QKeySequence::ZoomOut)});
    mnuViewZoomNormal = MakeItem(mnuView, QStringLiteral("mnuViewZoomNormal"),
                                 MainFormTr("&Normal Size"), {QKeySequence(Qt::CTRL | Qt::Key_0)});
    mnuView->addSeparator();
    mnuViewWordWrap =
        MakeItem(mnuView, QStringLiteral("mnuViewWordWrap"), MainFormTr("&Word Wrap"));
    mnuViewWordWrap->setCheckable(true);

    mnuOptions = bar->addMenu(MainFormTr("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptionsHtml5 = MakeItem(mnuOptions, QStringLiteral("mnuOptionsHtml5"),
                               MainFormTr("Fix File by &HTML5 Rules"));
    mnuOptionsHtml5->setCheckable(true);
    mnuOptionsHtml5->setToolTip(MainFormTr(
        "Fix File puts </p> where a browser ends each paragraph, without the word lists"));
    mnuOptionsJoinLineFeeds = MakeItem(mnuOptions, QStringLiteral("mnuOptionsJoinLineFeeds"),
                                       MainFormTr("&Join Lines Ended by a Line Feed Alone"));
    mnuOptionsJoinLineFeeds->setCheckable(true);
    mnuOptionsJoinLineFeeds->setToolTip(
        MainFormTr("Strip Newlines also joins the lines of a paragraph that end in a line feed "
                   "without a carriage return"));

    mnuHelp = bar->addMenu(MainFormTr("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpTutorial = MakeItem(mnuHelp, QStringLiteral("mnuHelpTutorial"),
                               MainFormTr("&Quillet Help Topics"), {QKeySequence(Qt::Key_F1)});
    mnuHelpAbout = MakeItem(mnuHelp, QStringLiteral("mnuHelpAbout"), MainFormTr("&About Quillet"));

    // Each button's tool tip names the shortcut of its menu item, where it has one.
    for (QAction* button : ToolBar1->actions()) {
        const QAction* item = menuItemForKey(button->data().toString());
        if (!item || item->shortcut().isEmpty()) continue;
        button->setToolTip(QStringLiteral("%1 (%2)").arg(
            button->toolTip(), item->shortcut().toString(QKeySequence::NativeText)));
    }

    // The smallest client area with the controls in proportion: where the captions, a
    // ten-digit count and the toolbar still fit, each at its proportional share.
    Needs needs = RoomNeeded(metrics, boxWidth);
    needs.widths.append({double(ToolBar1->sizeHint().width()), kToolBar.width});
    auto least = [](const QList<Need>& list, int design) {
        double size = 0;
        for (const Need& need : list) size = std::max(size, need.pixels * design / need.twips);
        return int(std::ceil(size)) + 1;
    };
    proportionalMinimum =
        QSize(least(needs.widths, kDesignWidth), least(needs.heights, kDesignHeight))
            .boundedTo(clientSize);

    // The smallest client area of all: the counters side by side at their sizes below the
    // toolbar, and three lines of the document with its scroll bar.
    const QFontMetrics mono(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    needs_.toolBarHeight = int(std::ceil(ToolBarHeight()));
    needs_.captionHeight = int(std::ceil(metrics.height()));
    needs_.remainingWidth = int(std::ceil(metrics.horizontalAdvance(RemainingCaption()))) + 2;
    needs_.addedWidth = int(std::ceil(metrics.horizontalAdvance(AddedCaption()))) + 2;
    needs_.boxWidth = int(std::ceil(NumberBoxWidth(metrics)));
    needs_.boxHeight = boxHeight;
    needs_.viewHeight =
        3 * mono.lineSpacing() + QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    // The counters then stand one above the other.
    minimumClientSize = QSize(needs_.twoRowWidth() + 2 * kSmallMargin,
                              needs_.toolBarHeight + 3 * kRowGap + 2 * needs_.rowHeight() +
                                  needs_.viewHeight + kSmallMargin)
                            .boundedTo(proportionalMinimum);
    client->setMinimumSize(minimumClientSize);

    // The status bar, below the client area.
    statusBar = form.statusBar();
    statusBar->setObjectName(QStringLiteral("StatusBar"));
    // While a command runs: a moving bar and the Stop button.
    BusyBar = new QProgressBar(statusBar);
    BusyBar->setObjectName(QStringLiteral("BusyBar"));
    BusyBar->setRange(0, 0);
    BusyBar->setTextVisible(false);
    BusyBar->setMaximumWidth(int(std::ceil(metrics.horizontalAdvance(QStringLiteral("9999999")))));
    BusyBar->setMaximumHeight(int(std::ceil(metrics.height())));
    BusyBar->setAccessibleName(MainFormTr("Working"));
    statusBar->addPermanentWidget(BusyBar);
    BusyBar->hide();
    StopButton = new QToolButton(statusBar);
    StopButton->setObjectName(QStringLiteral("StopButton"));
    StopButton->setDefaultAction(mnuFileStop);
    StopButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    StopButton->setAutoRaise(true);
    statusBar->addPermanentWidget(StopButton);
    StopButton->hide();
    EncodingBox =
        AddStatusLabel(statusBar, QStringLiteral("EncodingBox"),
                       QStringLiteral("The encoding the page was read in and is saved in"));
    // The word-list file: shortened in the middle when the room is short, so that a
    // message in the status line keeps its room.
    WordListsLabel = new ElidedLabel(statusBar);
    WordListsLabel->setObjectName(QStringLiteral("WordListsLabel"));
    statusBar->addPermanentWidget(WordListsLabel);
    // A space before each label, so that no text runs into the one before it.
    const int space = int(std::ceil(metrics.averageCharWidth())) * 2;
    for (QLabel* label : {EncodingBox, static_cast<QLabel*>(WordListsLabel)}) {
        label->setContentsMargins(space, 0, 0, 0);
    }

    // The window's size: the design client area between the menu bar and the status bar,
    // made smaller by one factor where the frame would not fit the screen's free area.
    const int bars = bar->sizeHint().height() + statusBar->sizeHint().height();
    QSize first = clientSize;
    if (const QRect area = AvailableArea(form); area.isValid()) {
        const QMargins frame = ExpectedFrameMargins();
        const QSize fixed(frame.left() + frame.right(), frame.top() + frame.bottom() + bars);
        const double fit = FittingScale(clientSize, fixed, area.size());
        first = QSize(int(clientSize.width() * fit), int(clientSize.height() * fit))
                    .expandedTo(minimumClientSize);
    }
    form.resize(first.width(), first.height() + bars);
    WorkBox->setFocus();
}

int MainFormUi::SmallNeeds::oneRowWidth() const {
    return remainingWidth + addedWidth + 2 * boxWidth + 2 * kCaptionGap + kGroupGap;
}

int MainFormUi::SmallNeeds::twoRowWidth() const {
    return std::max(remainingWidth, addedWidth) + kCaptionGap + boxWidth;
}

int MainFormUi::SmallNeeds::rowHeight() const {
    return std::max(captionHeight, boxHeight);
}

void MainFormUi::fitSmallClient() {
    const QSize size = client->size();
    // Too narrow for the counters side by side, they stand one above the other.
    const bool twoRows = size.width() < needs_.oneRowWidth() + 2 * kSmallMargin;
    const int rowHeight = needs_.rowHeight();
    const auto across = [](QWidget* control, int left, int width) {
        const QRect place = control->geometry();
        control->setGeometry(left, place.top(), width, place.height());
    };
    const auto down = [](QWidget* control, int top, int height) {
        const QRect place = control->geometry();
        control->setGeometry(place.left(), top, place.width(), height);
    };
    if (size.width() < proportionalMinimum.width()) {
        across(ToolBar1, 0, size.width());
        across(WorkBox, kSmallMargin, std::max(0, size.width() - 2 * kSmallMargin));
        if (twoRows) {
            // Each caption stands before its box, the boxes one above the other, all of it
            // in the middle.
            const int captions = std::max(needs_.remainingWidth, needs_.addedWidth);
            const int left = std::max(kSmallMargin, (size.width() - needs_.twoRowWidth()) / 2);
            const int boxLeft = left + captions + kCaptionGap;
            across(Label1.value(2), boxLeft - kCaptionGap - needs_.remainingWidth,
                   needs_.remainingWidth);
            across(Label1.value(0), boxLeft - kCaptionGap - needs_.addedWidth, needs_.addedWidth);
            across(CountBox, boxLeft, needs_.boxWidth);
            across(PBox, boxLeft, needs_.boxWidth);
        } else {
            // The counters side by side at their widths, in the middle.
            int x = std::max(kSmallMargin, (size.width() - needs_.oneRowWidth()) / 2);
            const struct {
                QWidget* control;
                int width;
                int gapAfter;
            } row[] = {
                {Label1.value(2), needs_.remainingWidth, kCaptionGap},
                {CountBox, needs_.boxWidth, kGroupGap},
                {Label1.value(0), needs_.addedWidth, kCaptionGap},
                {PBox, needs_.boxWidth, 0},
            };
            for (const auto& item : row) {
                across(item.control, x, item.width);
                x += item.width + item.gapAfter;
            }
        }
    }
    if (size.height() < proportionalMinimum.height() || twoRows) {
        // The toolbar at its height, the counters below it, and the document view in the
        // rest.
        down(ToolBar1, 0, needs_.toolBarHeight);
        const int firstRow = needs_.toolBarHeight + kRowGap;
        const int secondRow = twoRows ? firstRow + rowHeight + kRowGap : firstRow;
        const struct {
            QWidget* control;
            int top;
            int height;
        } rows[] = {
            {Label1.value(2), firstRow, needs_.captionHeight},
            {CountBox, firstRow, needs_.boxHeight},
            {Label1.value(0), secondRow, needs_.captionHeight},
            {PBox, secondRow, needs_.boxHeight},
        };
        for (const auto& item : rows) {
            down(item.control, item.top + (rowHeight - item.height) / 2, item.height);
        }
        const int viewTop = secondRow + rowHeight + kRowGap;
        down(WorkBox, viewTop, std::max(0, size.height() - viewTop - kSmallMargin));
    }
}

}  // namespace quillet
