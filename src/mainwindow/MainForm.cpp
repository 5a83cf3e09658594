// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/MainForm.h"

#include "documents/CodePage.h"
#include "documents/DocumentFile.h"
#include "documents/PageDecoding.h"
#include "engine/Functions.h"
#include "mainwindow/EncodingChoices.h"
#include "mainwindow/MainFormDialogs.h"
#include "mainwindow/ProgressDisplay.h"
#include "mainwindow/ReviewMarks.h"
#include "mainwindow/SaveMessages.h"
#include "mainwindow/StandardMainFormDialogs.h"
#include "windows/ElidedLabel.h"
#include "windows/FindReplaceDialog.h"
#include "windows/Utilities.h"
#include "windows/WordListMessages.h"
#include "windows/WorkBoxEditor.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListStore.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <new>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace quillet {

const QString MainForm::kGeometryKey = QStringLiteral("window/geometry");
const QString MainForm::kOpenFolderKey = QStringLiteral("window/openFolder");
const QString MainForm::kSaveFolderKey = QStringLiteral("window/saveFolder");
const QString MainForm::kJoinLineFeedsKey = QStringLiteral("repair/joinLineFeeds");
const QString MainForm::kZoomKey = QStringLiteral("view/zoom");
const QString MainForm::kWordWrapKey = QStringLiteral("view/wordWrap");

namespace {

/// The status bar's space after its message, and beside it (it draws the message from 6
/// pixels in to 2 before its first permanent part), in pixels.
constexpr int kStatusSpacing = 6;
constexpr int kStatusMessageMargins = 8;

/// Why `path` is not a page to open (it is a folder, a named pipe, a device or a socket);
/// empty for a file, a link to one, or a path that names nothing (which reading reports).
QString NoPageReason(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || info.isFile()) return QString();
    if (info.isDir()) return MainForm::tr("it is a folder, not a file");
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        if (S_ISFIFO(status.st_mode)) return MainForm::tr("it is a named pipe, not a file");
        if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) {
            return MainForm::tr("it is a device, not a file");
        }
        if (S_ISSOCK(status.st_mode)) return MainForm::tr("it is a socket, not a file");
    }
#endif
    return MainForm::tr("it is not a file");
}

/// Whether a key typed into the document view would change its text: a character, or a
/// key that deletes or breaks a line. Keys that move or select do not.
bool ChangesText(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return true;
        default:
            break;
    }
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    const QString text = key.text();
    return !text.isEmpty() && text.front().isPrint();
}

/// The setting that makes Fix File follow the HTML5 parser instead of the word lists.
const QString kHtml5Setting = QStringLiteral("repair/html5");

/// Marks a repair command as running, with the document view read-only, until the end
/// of the scope.
class RunScope {
  public:
    RunScope(bool& running, WorkBoxEditor& view) : running_(running), view_(view) {
        running_ = true;
        view_.setReadOnly(true);
    }
    ~RunScope() {
        view_.setReadOnly(false);
        running_ = false;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

  private:
    bool& running_;
    WorkBoxEditor& view_;
};

}  // namespace

MainForm::MainForm(std::unique_ptr<MainFormDialogs> dialogs, std::unique_ptr<DocumentWriter> writer,
                   std::unique_ptr<WordListSource> lists, const QString& wordListFile,
                   QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<StandardMainFormDialogs>()),
      writer_(writer ? std::move(writer) : std::make_unique<AtomicFileWriter>()),
      // Chosen in the working folder the program started in; the file dialogs never change it.
      wordLists_(WordListLocation::Choose(wordListFile)),
      lists_(lists ? std::move(lists) : std::make_unique<StoreListSource>(wordLists_.path())) {
    ui_.setupUi(*this);
    // The status line also names the word-list file in use; its tool tip says which, in
    // full, and why that one.
    QString origin;
    switch (wordLists_.origin()) {
        case WordListLocation::Origin::Given:
            origin = tr("Named with --wordlists");
            break;
        case WordListLocation::Origin::WorkingFolder:
            origin = tr("SkipList.db in the starting folder");
            break;
        case WordListLocation::Origin::PerUser:
            origin = tr("Your own word lists, made from the default lists when first needed");
            break;
    }
    const QString listFile = QDir::toNativeSeparators(wordLists_.path());
    ui_.WordListsLabel->setText(tr("Word lists: %1").arg(listFile));
    ui_.WordListsLabel->setToolTip(listFile + u'\n' + origin);
    ui_.WordListsLabel->setAccessibleName(origin);
    // A message in the status line gets the room it needs from the word-list label.
    // The parts of the status bar have their places once its layout has run.
    connect(statusBar(), &QStatusBar::messageChanged, this,
            [this] { QTimer::singleShot(0, this, &MainForm::fitStatusLine); });
    statusBar()->installEventFilter(this);
    progress_ = std::make_unique<ProgressDisplay>(*ui_.CountBox, *ui_.PBox, this);
    progress_->onBegin = [this] { showBusy(true); };
    connect(ui_.mnuFileStop, &QAction::triggered, this, &MainForm::mnuFileStopClick);
    functions_ = std::make_unique<Functions>(*progress_, *lists_);

    // Initialize: the controls stand at their design places in the design client area.
    Resizer.InitResizeArray(*ui_.client);
    ui_.client->installEventFilter(this);

    connect(ui_.mnuFileOpen, &QAction::triggered, this, &MainForm::mnuFileOpenClick);
    connect(ui_.mnuFileFix, &QAction::triggered, this, &MainForm::mnuFileFixClick);
    connect(ui_.mnuFileStripNewlines, &QAction::triggered, this,
            &MainForm::mnuFileStripNewlinesClick);
    connect(ui_.mnuFileStripSpaces, &QAction::triggered, this, &MainForm::mnuFileStripSpacesClick);
    connect(ui_.mnuFileSave, &QAction::triggered, this, &MainForm::mnuFileSaveClick);
    connect(ui_.mnuFileSkipList, &QAction::triggered, this, &MainForm::mnuFileSkipListClick);
    connect(ui_.mnuFileIncludeList, &QAction::triggered, this, &MainForm::mnuFileIncludeListClick);
    connect(ui_.mnuFileExit, &QAction::triggered, this, &MainForm::mnuFileExitClick);
    ui_.mnuOptionsHtml5->setChecked(QSettings().value(kHtml5Setting, false).toBool());
    // Compare names the other way of Fix File.
    const auto nameCompare = [this](bool html5) {
        ui_.mnuEditCompare->setText(html5 ? tr("Co&mpare with the Word Lists")
                                          : tr("Co&mpare with HTML5 Rules"));
    };
    nameCompare(ui_.mnuOptionsHtml5->isChecked());
    connect(ui_.mnuOptionsHtml5, &QAction::toggled, this, [nameCompare](bool checked) {
        QSettings().setValue(kHtml5Setting, checked);
        nameCompare(checked);
    });
    connect(ui_.mnuHelpTutorial, &QAction::triggered, this, &MainForm::mnuHelpTutorialClick);
    connect(ui_.mnuHelpAbout, &QAction::triggered, this, &MainForm::mnuHelpAboutClick);
    connect(ui_.ToolBar1, &QToolBar::actionTriggered, this,
            [this](QAction* button) { ToolBar1ButtonClick(button->data().toString()); });
    connect(ui_.mnuFileEncodingItems, &QActionGroup::triggered, this,
            [this](QAction* item) { mnuFileEncodingClick(item->data().toString()); });
    ui_.mnuFileEncoding->setEnabled(false);  // until there is a page to reopen
    // The title names the page and marks unsaved changes.
    showTitle(QString());
    connect(ui_.WorkBox, &QsciScintilla::modificationChanged, this, &QWidget::setWindowModified);
    showEncoding();

    // The Edit menu works on the document view.
    const struct {
        QAction* item;
        void (*command)(QsciScintilla&);
        bool changesText;
    } edits[] = {
        {ui_.mnuEditUndo, [](QsciScintilla& view) { view.undo(); }, true},
        {ui_.mnuEditRedo, [](QsciScintilla& view) { view.redo(); }, true},
        {ui_.mnuEditCut, [](QsciScintilla& view) { view.cut(); }, true},
        {ui_.mnuEditCopy, [](QsciScintilla& view) { view.copy(); }, false},
        {ui_.mnuEditPaste, [](QsciScintilla& view) { view.paste(); }, true},
        {ui_.mnuEditSelectAll, [](QsciScintilla& view) { view.selectAll(); }, false},
    };
    for (const auto& edit : edits) {
        connect(edit.item, &QAction::triggered, this,
                [this, edit] { editView(edit.command, edit.changesText); });
    }
    connect(ui_.mnuEditFind, &QAction::triggered, this, &MainForm::mnuEditFindClick);
    connect(ui_.mnuEditReplace, &QAction::triggered, this, &MainForm::mnuEditReplaceClick);
    connect(ui_.mnuEditFindNext, &QAction::triggered, this, &MainForm::mnuEditFindNextClick);
    connect(ui_.mnuEditFindPrevious, &QAction::triggered, this,
            &MainForm::mnuEditFindPreviousClick);
    connect(ui_.mnuEditGoToLine, &QAction::triggered, this, &MainForm::mnuEditGoToLineClick);
    connect(ui_.mnuEditNextChange, &QAction::triggered, this, &MainForm::mnuEditNextChangeClick);
    connect(ui_.mnuEditPreviousChange, &QAction::triggered, this,
            &MainForm::mnuEditPreviousChangeClick);
    connect(ui_.mnuEditCompare, &QAction::triggered, this, &MainForm::mnuEditCompareClick);

    // The options and the recent files, as the settings keep them.
    QSettings settings;
    // The view's zoom and wrapping, however they are changed (Ctrl and the mouse wheel
    // zoom too).
    WorkBoxEditor& view = *ui_.WorkBox;
    view.zoomTo(settings.value(kZoomKey, 0).toInt());
    connect(&view, &QsciScintillaBase::SCN_ZOOM, this, [this] {
        QSettings().setValue(kZoomKey, int(ui_.WorkBox->SendScintilla(QsciScintilla::SCI_GETZOOM)));
    });
    connect(ui_.mnuViewZoomIn, &QAction::triggered, &view, [&view] { view.zoomIn(); });
    connect(ui_.mnuViewZoomOut, &QAction::triggered, &view, [&view] { view.zoomOut(); });
    connect(ui_.mnuViewZoomNormal, &QAction::triggered, &view, [&view] { view.zoomTo(0); });
    const auto wrap = [&view](bool on) {
        view.setWrapMode(on ? QsciScintilla::WrapWord : QsciScintilla::WrapNone);
    };
    ui_.mnuViewWordWrap->setChecked(settings.value(kWordWrapKey, false).toBool());
    wrap(ui_.mnuViewWordWrap->isChecked());
    connect(ui_.mnuViewWordWrap, &QAction::toggled, this, [wrap](bool on) {
        wrap(on);
        QSettings().setValue(kWordWrapKey, on);
    });
    ui_.mnuOptionsJoinLineFeeds->setChecked(settings.value(kJoinLineFeedsKey, false).toBool());
    connect(ui_.mnuOptionsJoinLineFeeds, &QAction::toggled, this,
            [](bool checked) { QSettings().setValue(kJoinLineFeedsKey, checked); });
    // The list is filled as the File menu opens: a submenu disabled while the list was
    // empty would never announce its own opening.
    connect(ui_.mnuFile, &QMenu::aboutToShow, this, &MainForm::fillRecentMenu);
    fillRecentMenu();

    // A page dropped on the window or the view is opened; the view takes other drops.
    setAcceptDrops(true);
    ui_.WorkBox->viewport()->installEventFilter(this);
    ui_.WorkBox->installEventFilter(this);

    // Load: the window starts where it was left, or else in the middle of the screen; its
    // whole frame on the screen either way, since the screen may have changed since.
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        CenterForm(*this);
    } else {
        FitOnScreen(*this);
    }
}

MainForm::~MainForm() = default;

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() && event->type() == QEvent::Resize) {
        QTimer::singleShot(0, this, &MainForm::fitStatusLine);
    }
    // Keys typed into the read-only view during a run are refused as the commands are.
    if (watched == ui_.WorkBox && event->type() == QEvent::KeyPress && running_ &&
        ChangesText(*static_cast<QKeyEvent*>(event))) {
        Beep();
        return true;
    }
    if (watched == ui_.client && event->type() == QEvent::Resize) {
        Resizer.ResizeControls(*ui_.client);
        ui_.fitSmallClient();
    }
    if (watched == ui_.WorkBox->viewport() && handleDrop(event)) return true;
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::ToolBar1ButtonClick(const QString& key) {
    // The button runs its menu item's Click handler, so both behave the same.
    if (QAction* item = ui_.menuItemForKey(key)) item->trigger();
}

bool MainForm::refuseDuringRun() const {
    if (!running_) return false;
    Beep();
    return true;
}

void MainForm::mnuFileFixClick() {
    runRepair(RepairId::Fix);
}

void MainForm::mnuFileStripNewlinesClick() {
    runRepair(RepairId::StripNewlines);
}

void MainForm::mnuFileStripSpacesClick() {
    runRepair(RepairId::StripSpaces);
}

bool MainForm::prepareWordLists(StoreError* error) {
    bool created = false;
    if (!wordLists_.Prepare(&created, error)) return false;
    if (created) {
        statusBar()->showMessage(tr("Created %1 with the default word lists.")
                                     .arg(QDir::toNativeSeparators(wordLists_.path())));
    }
    return true;
}

void MainForm::runRepair(RepairId repair) {
    if (refuseDuringRun()) return;
    const RepairCommand& command = GetRepairCommand(repair);
    const RepairSettings settings{.html5 = ui_.mnuOptionsHtml5->isChecked(),
                                  .lineFeeds = ui_.mnuOptionsJoinLineFeeds->isChecked()
                                                   ? LoneLineFeeds::Join
                                                   : LoneLineFeeds::Keep};
    StoreError listsError;
    if (command.needsWordLists(settings) && !prepareWordLists(&listsError)) {
        ShowMessage(WordListMessage(listsError, ListUse::Repair), this);
        return;
    }
    RepairResult result;
    {
        const RunScope scope(running_, *ui_.WorkBox);
        // The document string is the view's own buffer, read in place: the view is
        // read-only while the command runs, so the buffer stays as it is.
        const TextUnits DocumentText = TextUnits::Utf8(ui_.WorkBox->documentBytes());
        progress_->begin();
        result = command.run(*functions_, DocumentText, nullptr, settings);
        progress_->finish();
        if (result.ok()) applyRepair(DocumentText, result);
    }
    showRepairOutcome(result);
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        close();
    }
}

void MainForm::applyRepair(const TextUnits& text, const RepairResult& result) {
    const QByteArrayView bytes = text.bytes();
    WorkBoxEditor& view = *ui_.WorkBox;
    if (!result.kept.isEmpty()) {
        // An unchanged text is not put back, so it costs no undo step.
        const bool unchanged = result.kept.size() == 1 && result.kept.first().start == 0 &&
                               result.kept.first().length == bytes.size();
        if (!unchanged) {
            // The marks stay on what the command keeps of their text.
            QList<QList<TextSpan>> marks;
            for (int kind = 0; kind < WorkBoxEditor::kMarkKinds; ++kind) {
                marks.append(view.marks(WorkBoxEditor::Mark(kind)));
            }
            view.replaceDocumentUtf8(KeptText(bytes, result.kept));
            for (int kind = 0; kind < WorkBoxEditor::kMarkKinds; ++kind) {
                view.addMarks(WorkBoxEditor::Mark(kind), KeepMarks(marks[kind], result.kept));
            }
        }
    } else {
        // Fix File only inserts: the view takes the insertions in place, which on a large
        // page costs a fraction of building the new text and replacing it all.
        view.insertBefore(result.insertions, "</p>");
        markInsertions(result.insertions);
    }
    ui_.CountBox->setText(QStringLiteral("0"));
    Beep();
}

void MainForm::markInsertions(const QList<qint64>& insertions) {
    WorkBoxEditor& view = *ui_.WorkBox;
    // A comparison made before holds no longer.
    view.clearMarks(WorkBoxEditor::Mark::OtherWouldAdd);
    view.clearMarks(WorkBoxEditor::Mark::OtherWouldNotAdd);
    // Each "</p>" put in is marked for review, where it now stands.
    constexpr qint64 kLength = 4;
    QList<TextSpan> inserted;
    inserted.reserve(insertions.size());
    for (qsizetype i = 0; i < insertions.size(); ++i) {
        inserted.append({insertions[i] + i * kLength, kLength});
    }
    view.addMarks(WorkBoxEditor::Mark::Inserted, inserted);
}

void MainForm::showRepairOutcome(const RepairResult& result) {
    showBusy(false);
    switch (result.status) {
        case RepairResult::Status::Completed:
            break;
        case RepairResult::Status::ListsUnavailable:
            ShowMessage(WordListMessage(result.listsError, ListUse::Repair), this);
            break;
        case RepairResult::Status::ParserFailed:
            ShowMessage(tr("Fix File could not read the page by HTML5 rules, so the page "
                           "was left as it was.") +
                            QStringLiteral("\n\n") + result.error.left(1).toUpper() +
                            result.error.mid(1) + u'.',
                        this);
            break;
        case RepairResult::Status::Stopped:
            // Stopped by the user, or for closing the window: the page stays as it was.
            if (!closeAfterRun_) statusBar()->showMessage(tr("Stopped; the page is as it was."));
            break;
        case RepairResult::Status::Busy:
            Beep();
            break;
    }
}

void MainForm::mnuFileOpenClick() {
    if (refuseDuringRun()) return;
    if (!mayDropChanges()) return;
    // Until a dialog of this run returned a path, the Open dialog starts in the folder
    // of the page opened last.
    const QString start =
        dialogPath_.isEmpty() ? QSettings().value(kOpenFolderKey).toString() : dialogPath_;
    const std::optional<QString> path = dialogs_->askOpenPath(this, start);
    if (!path) return;
    openFile(*path);
}

bool MainForm::openFile(const QString& chosenPath, const std::optional<TextEncoding>& encoding) {
    if (running_) return false;
    const QString path = QDir::toNativeSeparators(chosenPath);
    dialogPath_ = path;

    // Only a file is read: a named pipe would hold the window until something writes to
    // it, and a device may never end.
    if (const QString reason = NoPageReason(path); !reason.isEmpty()) {
        ShowMessage(tr("Couldn't open %1: %2.").arg(path, reason), this);
        return false;
    }
    FileResult failure;
    std::optional<QByteArray> bytes = ReadDocumentBytes(path, &failure);
    if (!bytes) {
        ShowMessage(tr("Couldn't open %1: %2.").arg(path, failure.reason), this);
        return false;
    }
    // A page within the reading limit may still not fit into memory as text; the current
    // document stays then. An empty page is a page like any other.
    try {
        if (!showPage(path, *bytes, encoding)) return false;
    } catch (const std::bad_alloc&) {
        ShowMessage(tr("Couldn't open %1: %2.").arg(path, TooLargeReason()), this);
        return false;
    }
    // A page read is offered again in the recent files, its folder by the Open dialog.
    recentFiles_.add(path);
    QSettings().setValue(kOpenFolderKey, QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    return true;
}

std::optional<DecodedPage> MainForm::decodePage(const QString& path, QByteArrayView bytes,
                                                std::optional<TextEncoding>& choice) {
    // The encoding asked for, else the one the user chose for this page before, as long as
    // it still reads the page byte for byte, else the one the page shows. UTF-8 and
    // Windows-1252 pages go to the view from their bytes.
    std::optional<DecodedPage> page;
    if (choice) {
        page = DecodePageAs(bytes, *choice, PageText::KeepBytes);
        if (!page) {
            ShowMessage(tr("Couldn't open %1: it cannot be read as %2 without changing "
                           "its bytes.")
                            .arg(path, choice->name()),
                        this);
        }
        return page;
    }
    if (const std::optional<QString> chosen = EncodingChoices().forPage(path)) {
        choice = TextEncoding::ForName(*chosen);
        if (choice) page = DecodePageAs(bytes, *choice, PageText::KeepBytes);
        if (!page) {
            choice.reset();
            EncodingChoices().remember(path, std::nullopt);
        }
    }
    if (!page) page = DecodePage(bytes, PageText::KeepBytes);
    return page;
}

bool MainForm::showPage(const QString& path, QByteArray& bytes,
                        std::optional<TextEncoding> choice) {
    std::optional<DecodedPage> page = decodePage(path, bytes, choice);
    if (!page) return false;
    qint64 characters = page->text.size();
    if (page->decoded) {
        bytes = QByteArray();
        ui_.WorkBox->loadDocument(page->text);
    } else {
        const QByteArrayView body =
            QByteArrayView(bytes).sliced(page->encoding.byteOrderMark().size());
        if (page->encoding.kind() == TextEncoding::Kind::Utf8) {
            characters = TextUnits::Utf8(body).characters();
            ui_.WorkBox->loadDocumentUtf8(body);
        } else {
            characters = body.size();
            QByteArray utf8;
            utf8.reserve(body.size() + body.size() / 8);
            AppendCodePageAsUtf8(utf8, body);
            bytes = QByteArray();
            ui_.WorkBox->loadDocumentUtf8(utf8);
        }
    }
    encoding_ = page->encoding;
    choice_ = choice;
    showEncoding();
    // A declaration passed over, or damage kept as it is; a note of the page before goes.
    if (page->notes.isEmpty()) {
        statusBar()->clearMessage();
    } else {
        const QString name = QFileInfo(path).fileName();
        QStringList notes;
        for (const QString& note : page->notes) notes.append(name + QStringLiteral(": ") + note);
        statusBar()->showMessage(notes.join(QStringLiteral("; ")));
    }
    // The page read is now the document, under its own name.
    DocPath = path;
    docName_ = SplitDocName(path);
    ui_.mnuFileEncoding->setEnabled(true);
    showTitle(path);
    ui_.CountBox->setText(QString::number(characters));
    ui_.PBox->setText(QStringLiteral("0"));
    return true;
}

void MainForm::mnuFileSaveClick() {
    if (refuseDuringRun()) return;
    saveDocument();
}

bool MainForm::saveDocument() {
    // An empty view is saved when it is a page, opened or saved before.
    if (titlePath_.isEmpty() && ui_.WorkBox->isDocumentEmpty()) return false;
    QString proposal = FixedFileName(docName_);
    // With no folder of a page to propose, the folder of the file saved last.
    const QString saveFolder = QSettings().value(kSaveFolderKey).toString();
    if (docName_.dir.isEmpty() && !saveFolder.isEmpty()) {
        proposal = QDir::toNativeSeparators(QDir(saveFolder).filePath(proposal));
    }
    dialogPath_ = proposal;
    std::optional<QString> path = dialogs_->askSavePath(this, proposal);
    if (!path) return false;
    path = QDir::toNativeSeparators(*path);
    dialogPath_ = *path;
    docName_ = SplitDocName(*path);

    // Written from the view's own buffer, converted only when the page is not in UTF-8.
    const FileResult result =
        SaveDocumentUtf8(*writer_, *path, ui_.WorkBox->documentBytes(), encoding_);
    if (!result.ok()) {
        ShowMessage(SaveFailureMessage(result, *path), this);
        return false;
    }
    ui_.WorkBox->markSaved();
    QSettings().setValue(kSaveFolderKey, QDir::toNativeSeparators(QFileInfo(*path).absolutePath()));
    Beep();
    showTitle(*path);
    ui_.PBox->setText(QString());
    return true;
}

void MainForm::mnuFileEncodingClick(const QString& name) {
    std::optional<TextEncoding> choice;
    if (!name.isEmpty()) choice = TextEncoding::ForName(name);
    const QString page = DocPath;
    if (refuseDuringRun() || page.isEmpty() || (!choice && !name.isEmpty()) || !mayDropChanges()) {
        showEncoding();  // the menu goes back to the page's choice
        return;
    }
    // Automatic reads the page as it shows itself, whatever was chosen for it before.
    if (!choice) EncodingChoices().remember(page, std::nullopt);
    if (!openFile(page, choice)) {
        showEncoding();
        return;
    }
    if (choice) EncodingChoices().remember(page, choice->name());
}

void MainForm::showTitle(const QString& path) {
    titlePath_ = path;
    // "[*]" stands where the window shows that the page has unsaved changes.
    if (path.isEmpty()) {
        setWindowTitle(MainFormUi::DesignCaption() + QStringLiteral("[*]"));
    } else {
        const QFileInfo file(path);
        setWindowTitle(QStringLiteral("%1 - %2[*] (%3)")
                           .arg(MainFormUi::DesignCaption(), file.fileName(),
                                QDir::toNativeSeparators(file.absolutePath())));
    }
    setWindowModified(ui_.WorkBox->hasUnsavedChanges());
}

void MainForm::showEncoding() {
    ui_.EncodingBox->setText(encoding_.description());
    const QString checked = choice_ ? choice_->name() : QString();
    for (QAction* item : ui_.mnuFileEncodingItems->actions()) {
        if (item->data().toString() == checked) item->setChecked(true);
    }
}

bool MainForm::mayDropChanges() {
    // Text typed into the empty view and deleted again is nothing to lose; a page emptied is.
    if (!ui_.WorkBox->hasUnsavedChanges()) return true;
    if (titlePath_.isEmpty() && ui_.WorkBox->isDocumentEmpty()) return true;
    switch (dialogs_->askUnsavedChanges(this)) {
        case MainFormDialogs::UnsavedAnswer::Save:
            return saveDocument();
        case MainFormDialogs::UnsavedAnswer::Discard:
            return true;
        case MainFormDialogs::UnsavedAnswer::Cancel:
            break;
    }
    return false;
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The run is inside this very event loop: let it stop, then close.
        progress_->requestStop();
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    if (!mayDropChanges()) {
        event->ignore();
        return;
    }
    QSettings().setValue(kGeometryKey, saveGeometry());
    event->accept();
}

void MainForm::editView(void (*command)(QsciScintilla&), bool changesText) {
    if (changesText && refuseDuringRun()) return;
    command(*ui_.WorkBox);
}

FindReplaceDialog* MainForm::findReplace() const {
    return findReplace_;
}

void MainForm::showFindReplace(bool replacing) {
    if (!findReplace_) {
        findReplace_ = new FindReplaceDialog(*ui_.WorkBox, this);
        // Replace All says how many it replaced in the status line too.
        connect(findReplace_, &FindReplaceDialog::reported, statusBar(),
                [this](const QString& text) { statusBar()->showMessage(text); });
    }
    findReplace_->showFor(replacing);
}

void MainForm::mnuEditFindClick() {
    showFindReplace(false);
}

void MainForm::mnuEditReplaceClick() {
    showFindReplace(true);
}

void MainForm::mnuEditFindNextClick() {
    // With nothing to find yet, the window asks for it.
    if (!findReplace_ || findReplace_->FindBox->text().isEmpty()) {
        showFindReplace(false);
        return;
    }
    findReplace_->findNext();
}

void MainForm::mnuEditFindPreviousClick() {
    if (!findReplace_ || findReplace_->FindBox->text().isEmpty()) {
        showFindReplace(false);
        return;
    }
    findReplace_->findPrevious();
}

void MainForm::mnuEditGoToLineClick() {
    WorkBoxEditor& view = *ui_.WorkBox;
    int line = 0;
    int index = 0;
    view.getCursorPosition(&line, &index);
    const std::optional<int> chosen = dialogs_->askLineNumber(this, line + 1, view.lines());
    if (!chosen) return;
    const int target = std::clamp(*chosen, 1, view.lines()) - 1;
    view.setCursorPosition(target, 0);
    view.ensureLineVisible(target);
    view.setFocus();
}

QString MainForm::otherWayName() const {
    return ui_.mnuOptionsHtml5->isChecked() ? tr("the word lists") : tr("the HTML5 rules");
}

void MainForm::mnuEditNextChangeClick() {
    goToMark(true);
}

void MainForm::mnuEditPreviousChangeClick() {
    goToMark(false);
}

void MainForm::goToMark(bool forward) {
    WorkBoxEditor& view = *ui_.WorkBox;
    // The marks in the page's order; a "</p>" both put in and found different is one stop.
    struct Stop {
        TextSpan span;
        bool change = false;
        WorkBoxEditor::Mark difference = WorkBoxEditor::Mark::Inserted;  // Inserted: none
    };
    QList<Stop> stops;
    for (const TextSpan& span : view.marks(WorkBoxEditor::Mark::Inserted)) {
        stops.append({span, true});
    }
    for (const auto kind :
         {WorkBoxEditor::Mark::OtherWouldAdd, WorkBoxEditor::Mark::OtherWouldNotAdd}) {
        for (const TextSpan& span : view.marks(kind)) stops.append({span, false, kind});
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const Stop& a, const Stop& b) { return a.span.start < b.span.start; });
    for (qsizetype i = 1; i < stops.size();) {
        if (stops[i].span == stops[i - 1].span) {
            stops[i - 1].change = stops[i - 1].change || stops[i].change;
            if (stops[i].difference != WorkBoxEditor::Mark::Inserted) {
                stops[i - 1].difference = stops[i].difference;
            }
            stops.removeAt(i);
        } else {
            ++i;
        }
    }
    if (stops.isEmpty()) {
        Beep();
        statusBar()->showMessage(tr("No change is marked: Fix File marks each </p> it puts in."));
        return;
    }
    // From the selection's start: a stop that starts there is the next one only when it is
    // not selected yet.
    const long selectionStart = view.SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART);
    const bool empty = selectionStart == view.SendScintilla(QsciScintilla::SCI_GETSELECTIONEND);
    qsizetype chosen = -1;
    if (forward) {
        for (qsizetype i = 0; i < stops.size() && chosen < 0; ++i) {
            const qint64 start = stops[i].span.start;
            if (start > selectionStart || (start == selectionStart && empty)) chosen = i;
        }
        if (chosen < 0) chosen = 0;
    } else {
        for (qsizetype i = stops.size() - 1; i >= 0 && chosen < 0; --i) {
            if (stops[i].span.start < selectionStart) chosen = i;
        }
        if (chosen < 0) chosen = stops.size() - 1;
    }
    const Stop& stop = stops[chosen];
    const long start = long(stop.span.start);
    const long end = long(stop.span.start + stop.span.length);
    view.SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(start), end);
    view.SendScintilla(QsciScintilla::SCI_SCROLLRANGE, static_cast<unsigned long>(start), end);

    // Which of how many it is: the changes and the differences are counted apart.
    qsizetype changes = 0, changeNumber = 0, differences = 0, differenceNumber = 0;
    for (qsizetype i = 0; i < stops.size(); ++i) {
        if (stops[i].change) {
            ++changes;
            if (i <= chosen) changeNumber = changes;
        }
        if (stops[i].difference != WorkBoxEditor::Mark::Inserted) {
            ++differences;
            if (i <= chosen) differenceNumber = differences;
        }
    }
    QStringList said;
    if (stop.change) said << tr("Change %1 of %2").arg(changeNumber).arg(changes);
    if (stop.difference != WorkBoxEditor::Mark::Inserted) {
        said << tr("difference %1 of %2: %3")
                    .arg(differenceNumber)
                    .arg(differences)
                    .arg(stop.difference == WorkBoxEditor::Mark::OtherWouldAdd
                             ? tr("by %1, a </p> goes before this tag").arg(comparedWith_)
                             : tr("by %1, no </p> goes here").arg(comparedWith_));
    }
    QString message = said.join(QStringLiteral("; "));
    message[0] = message[0].toUpper();
    statusBar()->showMessage(message);
}

void MainForm::mnuEditCompareClick() {
    if (refuseDuringRun()) return;
    const bool otherHtml5 = !ui_.mnuOptionsHtml5->isChecked();
    StoreError listsError;
    if (!otherHtml5 && !prepareWordLists(&listsError)) {
        ShowMessage(WordListMessage(listsError, ListUse::Repair), this);
        return;
    }
    WorkBoxEditor& view = *ui_.WorkBox;
    // The page as it stood before the marked "</p>" went in, which the other way reads.
    const QList<TextSpan> inserted =
        InsertedParagraphEnds(view.documentBytes(), view.marks(WorkBoxEditor::Mark::Inserted));
    const QByteArray before = PageBefore(view.documentBytes(), inserted);
    // The counters show the comparison's progress, and then what they showed before.
    const QString count = ui_.CountBox->text();
    const QString added = ui_.PBox->text();
    RepairResult result;
    {
        const RunScope scope(running_, view);
        progress_->begin();
        const TextUnits units = TextUnits::Utf8(before);
        result = otherHtml5 ? functions_->FixTextHtml5(units) : functions_->FixText(units);
        progress_->finish();
    }
    ui_.CountBox->setText(count);
    ui_.PBox->setText(added);
    if (result.status == RepairResult::Status::ParserFailed) {
        showBusy(false);
        ShowMessage(tr("The page could not be compared with the HTML5 rules.") +
                        QStringLiteral("\n\n") + result.error.left(1).toUpper() +
                        result.error.mid(1) + u'.',
                    this);
    } else if (!result.ok()) {
        showRepairOutcome(result);
    } else {
        showBusy(false);
        const Differences differences =
            CompareInsertions(view.documentBytes(), inserted, result.insertions);
        comparedWith_ = otherHtml5 ? tr("the HTML5 rules") : tr("the word lists");
        view.clearMarks(WorkBoxEditor::Mark::OtherWouldAdd);
        view.clearMarks(WorkBoxEditor::Mark::OtherWouldNotAdd);
        view.addMarks(WorkBoxEditor::Mark::OtherWouldAdd, differences.otherWouldAdd);
        view.addMarks(WorkBoxEditor::Mark::OtherWouldNotAdd, differences.otherWouldNotAdd);
        const QString name = comparedWith_;
        const qsizetype count = differences.count();
        statusBar()->showMessage(
            count == 0   ? tr("No differences from %1.").arg(name)
            : count == 1 ? tr("1 difference from %1 is marked; F8 goes to it.").arg(name)
                         : tr("%1 differences from %2 are marked; F8 steps through them.")
                               .arg(count)
                               .arg(name));
    }
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        close();
    }
}

void MainForm::fillRecentMenu() {
    QMenu& menu = *ui_.mnuFileRecent;
    menu.clear();
    const QStringList paths = recentFiles_.paths();
    int number = 0;
    for (const QString& path : paths) {
        ++number;
        // "&1" to "&8" choose a page by its number; a "&" in a path is no access key.
        QString caption = path;
        caption.replace(u'&', QStringLiteral("&&"));
        QAction* item = menu.addAction(QStringLiteral("&%1 %2").arg(number).arg(caption));
        connect(item, &QAction::triggered, this, [this, path] { openRecentFile(path); });
    }
    if (!paths.isEmpty()) {
        menu.addSeparator();
        connect(menu.addAction(tr("&Clear List")), &QAction::triggered, this, [this] {
            recentFiles_.clear();
            fillRecentMenu();
        });
    }
    menu.menuAction()->setEnabled(!paths.isEmpty());
}

void MainForm::openRecentFile(const QString& path) {
    if (refuseDuringRun()) return;
    if (!QFileInfo(path).isFile()) {
        recentFiles_.remove(path);
        fillRecentMenu();
        ShowMessage(
            tr("The page %1 is no longer there, so it was taken off the recent files.").arg(path),
            this);
        return;
    }
    if (!mayDropChanges()) return;
    openFile(path);
    fillRecentMenu();
}

QString MainForm::DroppedPage(const QMimeData* data) {
    if (!data || !data->hasUrls()) return QString();
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) return url.toLocalFile();
    }
    return QString();
}

bool MainForm::handleDrop(QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (DroppedPage(drag->mimeData()).isEmpty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString page = DroppedPage(drop->mimeData());
            if (page.isEmpty()) return false;
            drop->acceptProposedAction();
            // Opened once the drop is over: the question about unsaved changes may come
            // first, and the program that the page came from waits until the drop ends.
            QTimer::singleShot(0, this, [this, page] { openDroppedPage(page); });
            return true;
        }
        default:
            return false;
    }
}

void MainForm::openDroppedPage(const QString& path) {
    if (refuseDuringRun()) return;
    if (!mayDropChanges()) return;
    openFile(path);
    fillRecentMenu();
}

void MainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!handleDrop(event)) QMainWindow::dragEnterEvent(event);
}

void MainForm::dragMoveEvent(QDragMoveEvent* event) {
    if (!handleDrop(event)) QMainWindow::dragMoveEvent(event);
}

void MainForm::dropEvent(QDropEvent* event) {
    if (!handleDrop(event)) QMainWindow::dropEvent(event);
}

void MainForm::showListEditor(void (MainFormDialogs::*show)(QWidget*, const QString&),
                              const QString& description) {
    StoreError error;
    if (!prepareWordLists(&error)) {
        ShowMessage(WordListMessage(error, ListUse::Edit, description), this);
        return;
    }
    (dialogs_.get()->*show)(this, wordLists_.path());
}

void MainForm::mnuFileSkipListClick() {
    showListEditor(&MainFormDialogs::showSkipList, SkipListSchema().description);
}

void MainForm::mnuFileIncludeListClick() {
    showListEditor(&MainFormDialogs::showIncludeList, IncludeListSchema().description);
}

void MainForm::mnuFileStopClick() {
    if (running_) progress_->requestStop();
}

void MainForm::showBusy(bool busy) {
    if (busy == !ui_.BusyBar->isHidden()) return;
    ui_.BusyBar->setVisible(busy);
    ui_.StopButton->setVisible(busy);
    ui_.mnuFileStop->setEnabled(busy);
    // The message of the run stands in for the one before it, which comes back after.
    const QString working = tr("Working; Esc stops it and leaves the page as it was.");
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        messageBeforeRun_ = statusBar()->currentMessage();
        statusBar()->showMessage(working);
        // Drawn at once: the command may not hand the window a chance to draw for a while.
        fitStatusLine();
        if (QLayout* layout = statusBar()->layout()) layout->activate();
        statusBar()->repaint();
    } else {
        QApplication::restoreOverrideCursor();
        if (statusBar()->currentMessage() == working) {
            statusBar()->showMessage(messageBeforeRun_);
        }
    }
}

void MainForm::fitStatusLine() {
    ElidedLabel& label = *ui_.WordListsLabel;
    const QString message = statusBar()->currentMessage();
    if (message.isEmpty()) {
        label.setMaximumWidth(QWIDGETSIZE_MAX);
        statusBar()->setToolTip(QString());
        return;
    }
    // The status bar draws its message from its left edge to just before its first
    // permanent part shown; the word-list label gives up what the message lacks there,
    // down to its least width, or takes back what it no longer needs. The parts stand
    // where the layout puts them now, with those just shown or hidden.
    if (QLayout* layout = statusBar()->layout()) layout->activate();
    const QWidget* first = &label;
    for (QWidget* part : {static_cast<QWidget*>(ui_.BusyBar), static_cast<QWidget*>(ui_.StopButton),
                          static_cast<QWidget*>(ui_.EncodingBox)}) {
        if (!part->isHidden()) {
            first = part;
            break;
        }
    }
    const int room = first->x() - kStatusMessageMargins;
    const int needed = statusBar()->fontMetrics().horizontalAdvance(message) + kStatusSpacing;
    const int least = label.minimumSizeHint().width();
    const int width = label.width() + room - needed;
    label.setMaximumWidth(std::max(least, width));
    // A message that does not fit even so is whole in the status line's tool tip.
    statusBar()->setToolTip(width < least ? message : QString());
}

void MainForm::mnuFileExitClick() {
    close();
}

void MainForm::mnuHelpTutorialClick() {
    dialogs_->showHelpTopics(this);
}

void MainForm::mnuHelpAboutClick() {
    dialogs_->showAbout(this, wordLists_.path());
}

}  // namespace quillet
