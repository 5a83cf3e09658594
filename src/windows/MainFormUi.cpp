#include "windows/MainFormUi.h"

#include "windows/WindowImages.h"
#include "windows/WorkBoxEditor.h"

#include <QAction>
#include <QFontMetricsF>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

const QString kDesignCaption = QStringLiteral("Orvane Quillet");
const QString kAddedCaption = QStringLiteral("</p>s Added:");
const QString kRemainingCaption = QStringLiteral("Remaining Characters to Process");

/// A control's design place in twips.
struct Place {
    int left, top, width, height;
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

QAction* MakeItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

}  // namespace

double MainFormUi::DesignScale(const QFont& font) {
    const QFontMetricsF metrics(font);
    // Room that each text needs, against the pixels the design gives it: a caption
    // label's height, the two captions' widths, and eight digits inside a number box
    // with its border and indent.
    const double needs[] = {
        metrics.height() / (195.0 / kTwipsPerPixel),
        (metrics.horizontalAdvance(kRemainingCaption) + 2.0) / (2415.0 / kTwipsPerPixel),
        (metrics.horizontalAdvance(kAddedCaption) + 2.0) / (1035.0 / kTwipsPerPixel),
        (metrics.horizontalAdvance(QStringLiteral("99999999")) + 8.0) / (735.0 / kTwipsPerPixel),
    };
    return std::max(1.0, *std::max_element(std::begin(needs), std::end(needs)));
}

int MainFormUi::pixels(int twips) const {
    return int(std::lround(twips * scale / kTwipsPerPixel));
}

QIcon MainFormUi::image(const QString& key) const {
    for (const auto& [imageKey, icon] : ImageList1) {
        if (imageKey == key) return icon;
    }
    return {};
}

void MainFormUi::setupUi(QMainWindow& form) {
    form.setObjectName(QStringLiteral("MainForm"));
    form.setWindowTitle(kDesignCaption);
    form.setWindowIcon(ApplicationIcon());
    scale = DesignScale(form.font());

    client = new QWidget(&form);
    client->setObjectName(QStringLiteral("MainFormClient"));
    form.setCentralWidget(client);
    const QSize clientSize(pixels(kDesignWidth), pixels(kDesignHeight));
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
    struct Button {
        const char* key;  // empty for a separator
        const char* toolTip;
        const char* image;
    };
    const Button buttons[] = {
        {"", "", ""},
        {"Open", "Open File", "Open"},
        {"Fix", "Fix File", "Fix"},
        {"Save", "Save File", "Save"},
        {"", "", ""},
        {"Newlines", "Clear Paragraph Newlines", "Newlines"},
        {"Spaces", "Clear Excess Spaces", "Spaces"},
        {"", "", ""},
        {"SkipList", "Edit Skip List", "Skip"},
        {"Include", "Edit Include List", "Include"},
    };
    for (const Button& b : buttons) {
        if (*b.key == '\0') {
            ToolBar1->addSeparator();
            continue;
        }
        QAction* button = ToolBar1->addAction(image(QString::fromLatin1(b.image)), QString());
        button->setData(QString::fromLatin1(b.key));
        button->setToolTip(QString::fromLatin1(b.toolTip));
        if (QWidget* widget = ToolBar1->widgetForAction(button)) widget->setFixedSize(24, 22);
    }
    place(ToolBar1, {0, 0, kDesignWidth, 420});

    // 2. The document view.
    WorkBox = new WorkBoxEditor(client);
    WorkBox->setObjectName(QStringLiteral("WorkBox"));
    place(WorkBox, {150, 900, 9495, 5490});

    // 3. The dialogs have no control here: they are asked through an interface.
    // 4.-7. The progress labels and their captions.
    PBox = MakeNumberBox(client, QStringLiteral("PBox"));
    place(PBox, {7080, 480, 735, 315});
    QLabel* added = MakeLabel(client, QStringLiteral("Label1"), kAddedCaption);
    added->setProperty("index", 0);
    place(added, {5940, 540, 1035, 195});
    Label1.insert(0, added);
    QLabel* remaining = MakeLabel(client, QStringLiteral("Label1"), kRemainingCaption);
    remaining->setProperty("index", 2);
    place(remaining, {1980, 540, 2415, 195});
    Label1.insert(2, remaining);
    CountBox = MakeNumberBox(client, QStringLiteral("CountBox"));
    place(CountBox, {4560, 480, 735, 315});

    // The tab order; the labels take no focus, so the document view has it first.
    QWidget::setTabOrder(CountBox, remaining);
    QWidget::setTabOrder(remaining, WorkBox);
    QWidget::setTabOrder(WorkBox, added);
    QWidget::setTabOrder(added, PBox);
    QWidget::setTabOrder(PBox, ToolBar1);

    // The menu tree.
    QMenuBar* bar = form.menuBar();
    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileOpen = MakeItem(mnuFile, QStringLiteral("mnuFileOpen"), QStringLiteral("&Open File"));
    mnuFileFix = MakeItem(mnuFile, QStringLiteral("mnuFileFix"), QStringLiteral("&Fix File"));
    mnuFileStripNewlines = MakeItem(mnuFile, QStringLiteral("mnuFileStripNewlines"),
                                    QStringLiteral("Strip &Newlines"));
    mnuFileStripSpaces =
        MakeItem(mnuFile, QStringLiteral("mnuFileStripSpaces"), QStringLiteral("Strip S&paces"));
    mnuFileSave = MakeItem(mnuFile, QStringLiteral("mnuFileSave"), QStringLiteral("&Save File"));
    mnuFileSkipList =
        MakeItem(mnuFile, QStringLiteral("mnuFileSkipList"), QStringLiteral("&Edit Skip List"));
    mnuFileIncludeList = MakeItem(mnuFile, QStringLiteral("mnuFileIncludeList"),
                                  QStringLiteral("Edit &Include List"));
    mnuFileExit = MakeItem(mnuFile, QStringLiteral("mnuFileExit"), QStringLiteral("E&xit"));
    mnuOptions = bar->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptionsHtml5 = MakeItem(mnuOptions, QStringLiteral("mnuOptionsHtml5"),
                               QStringLiteral("Fix File by &HTML5 Rules"));
    mnuOptionsHtml5->setCheckable(true);
    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpTutorial = MakeItem(mnuHelp, QStringLiteral("mnuHelpTutorial"),
                               QStringLiteral("&Quillet Help Topics"));
    mnuHelpAbout =
        MakeItem(mnuHelp, QStringLiteral("mnuHelpAbout"), QStringLiteral("&About Quillet"));

    // The window's size: the design client area below the menu bar.
    form.resize(clientSize.width(), clientSize.height() + bar->sizeHint().height());
    WorkBox->setFocus();
}

}  // namespace quillet
