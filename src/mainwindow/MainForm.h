// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/DocName.h"
#include "documents/DocumentFile.h"
#include "documents/PageDecoding.h"
#include "documents/TextEncoding.h"
#include "engine/Functions.h"
#include "engine/RepairCommands.h"
#include "engine/WordListLookup.h"
#include "mainwindow/MainFormDialogs.h"
#include "mainwindow/MainFormUi.h"
#include "mainwindow/RecentFiles.h"
#include "windows/ScreenHandler.h"
#include "wordlists/WordListLocation.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

class QMimeData;
class QsciScintilla;

namespace quillet {

class FindReplaceDialog;
class Functions;
class ProgressDisplay;

/// The main window: it shows the document in `WorkBox`, dispatches the menu and toolbar
/// commands, runs the repair commands with their progress in `CountBox` and `PBox`, and
/// opens and saves documents.
///
/// While a repair command runs, the commands that would act on the same document
/// (Open, Save and the three repairs) are refused with a beep and the document view is
/// read-only; the word-list editors, Help and About stay available, and resizing and
/// the progress labels stay live. Closing the window during a run stops the run, leaving
/// the document as it was, and the window closes once the run has ended.
///
/// The window keeps its place and size, the folders of its file dialogs, the pages opened
/// last and its options in the program's settings (QSettings) for the next start. A page
/// dropped on the window is opened.
class MainForm final : public QMainWindow {
    Q_OBJECT

  public:
    // The settings the window keeps.
    static const QString kGeometryKey;       ///< the window's place and size
    static const QString kOpenFolderKey;     ///< the folder of the page opened last
    static const QString kSaveFolderKey;     ///< the folder of the file saved last
    static const QString kJoinLineFeedsKey;  ///< Strip Newlines joins lone line feeds
    static const QString kZoomKey;           ///< the document view's zoom, in points
    static const QString kWordWrapKey;       ///< the document view wraps long lines

    /// Missing parts take the standard ones: the platform's dialogs, the atomic file
    /// writer, and the word lists of the word-list file. That file is `wordListFile` when
    /// given, else chosen as WordListLocation does, once, from the working folder the
    /// program started in.
    explicit MainForm(std::unique_ptr<MainFormDialogs> dialogs = nullptr,
                      std::unique_ptr<DocumentWriter> writer = nullptr,
                      std::unique_ptr<WordListSource> lists = nullptr,
                      const QString& wordListFile = QString(), QWidget* parent = nullptr);
    ~MainForm() override;

    // The Click handlers of the menu items; the toolbar calls the same ones.
    void mnuFileOpenClick();
    void mnuFileFixClick();
    void mnuFileStripNewlinesClick();
    void mnuFileStripSpacesClick();
    void mnuFileSaveClick();
    void mnuFileSkipListClick();
    void mnuFileIncludeListClick();
    void mnuFileExitClick();
    /// Asks the running command to stop; the page stays as it was.
    void mnuFileStopClick();
    void mnuEditFindClick();
    void mnuEditReplaceClick();
    void mnuEditFindNextClick();
    void mnuEditFindPreviousClick();
    void mnuEditGoToLineClick();
    /// Selects the next marked change or difference after the selection's start, or the
    /// previous one before it, going on from the other end of the page, and says in the
    /// status line which it is ("Change 3 of 41").
    void mnuEditNextChangeClick();
    void mnuEditPreviousChangeClick();
    /// Runs the other way of Fix File (the HTML5 rules, or the word lists with the HTML5
    /// rules chosen) on the page as it stood before the marked "</p>" went in, without
    /// changing the page, and marks where the two differ: where only the other way would
    /// put a "</p>", and which marked "</p>" it would not put.
    void mnuEditCompareClick();
    void mnuHelpTutorialClick();
    void mnuHelpAboutClick();

    /// Open File after its dialog: reads the page at `path` into the view, as the Open
    /// command does with the path the user chose. It asks nothing about unsaved changes
    /// (callers do that first) and reports a failure with a message, leaving the document
    /// and its name as they were; true when the page was read (an empty file too). What
    /// is not a file (a folder, a named pipe, a device) is refused. A page read is put
    /// first in the recent files.
    ///
    /// The page is read in `encoding` when one is given (and fails when that would change
    /// a byte), else in the encoding last chosen for it, else in the one it shows.
    bool openFile(const QString& path, const std::optional<TextEncoding>& encoding = {});

    /// Reopen with Encoding: after asking about unsaved changes, reads the open page again
    /// in the encoding named `name`, or in the one it shows when `name` is empty, and
    /// remembers the choice for that page.
    void mnuFileEncodingClick(const QString& name);

    /// Opens a page of the recent files, after the question about unsaved changes; a
    /// page that is no longer there is taken off the list, and the user told so.
    void openRecentFile(const QString& path);

    /// The toolbar's button click: runs the menu item whose Key equals `key` exactly;
    /// an unknown Key does nothing.
    void ToolBar1ButtonClick(const QString& key);

    /// Whether a repair command is running.
    bool isRunning() const { return running_; }
    /// The window's controls.
    const MainFormUi& ui() const { return ui_; }
    /// The word-list database the repairs and the editors use.
    const QString& databasePath() const { return wordLists_.path(); }
    /// The progress display of the repair commands.
    const ProgressDisplay& progress() const { return *progress_; }
    /// The Find and Replace window; null until first asked for.
    FindReplaceDialog* findReplace() const;
    /// The encoding the page was read in, which Save writes.
    const TextEncoding& encoding() const { return encoding_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void runRepair(RepairId repair);
    /// Puts a completed repair of `text`, the view's text, into the view.
    void applyRepair(const TextUnits& text, const RepairResult& result);
    /// Marks the "</p>" Fix File put in before `insertions` (offsets in the text before).
    void markInsertions(const QList<qint64>& insertions);
    /// Tells the user why a repair left the page as it was.
    void showRepairOutcome(const RepairResult& result);
    /// The page of `bytes` in `choice`, else as openFile chooses; nothing, after a
    /// message, when the page cannot be read as asked. `choice` becomes the one used.
    std::optional<DecodedPage> decodePage(const QString& path, QByteArrayView bytes,
                                          std::optional<TextEncoding>& choice);
    /// Reads the page of `bytes` (which it may empty) into the view; false after a message.
    bool showPage(const QString& path, QByteArray& bytes, std::optional<TextEncoding> choice);
    /// Saves the document after asking where; true when it was written.
    bool saveDocument();
    /// Asks about unsaved changes when there are any; true when they may be dropped.
    bool mayDropChanges();
    /// Refuses a command during a run; true when refused.
    bool refuseDuringRun() const;
    /// Runs an Edit command on the view; one that changes the text is refused during a run.
    void editView(void (*command)(QsciScintilla&), bool changesText);
    /// Shows the Find and Replace window, for finding or for replacing.
    void showFindReplace(bool replacing);
    /// Fills the Recent Files menu from the list.
    void fillRecentMenu();
    /// The page a drop carries: its first local file; empty when none.
    static QString DroppedPage(const QMimeData* data);
    /// Takes a drag over the window or the view; true when it was a page.
    bool handleDrop(QEvent* event);
    /// Opens a dropped page, after the question about unsaved changes.
    void openDroppedPage(const QString& path);
    /// Makes the per-user word lists when they are missing and says so in the status
    /// line; false with `error` set when they could not be made.
    bool prepareWordLists(StoreError* error);
    /// Opens a list editor once the word lists are there.
    void showListEditor(void (MainFormDialogs::*show)(QWidget*, const QString&),
                        const QString& description);
    /// Names the page last opened or saved at `path` (none: empty) in the title, which
    /// marks unsaved changes.
    void showTitle(const QString& path);
    /// Shows the page's encoding, and checks the encoding menu's entry of its choice.
    void showEncoding();
    /// Shows that a command runs (the moving bar, the Stop button and a busy cursor), or
    /// no longer runs.
    void showBusy(bool busy);
    /// Gives a message in the status line the room it needs from the word-list label.
    void fitStatusLine();
    /// Selects the next or previous mark; see mnuEditNextChangeClick.
    void goToMark(bool forward);
    /// The other way of Fix File than the one chosen, as the status line names it.
    QString otherWayName() const;

    MainFormUi ui_;
    ScreenHandler Resizer;
    std::unique_ptr<MainFormDialogs> dialogs_;
    std::unique_ptr<DocumentWriter> writer_;
    WordListLocation wordLists_;
    std::unique_ptr<WordListSource> lists_;
    std::unique_ptr<ProgressDisplay> progress_;
    std::unique_ptr<Functions> functions_;
    RecentFiles recentFiles_;
    QPointer<FindReplaceDialog> findReplace_;

    QString DocPath;
    DocName docName_;                     // DocDir, DocFileName and DocBaseName
    QString dialogPath_;                  // the path the file dialogs last returned or were handed
    QString titlePath_;                   // the page last opened or saved; empty: none
    TextEncoding encoding_;               // the page's encoding, for Save
    std::optional<TextEncoding> choice_;  // the encoding chosen for the page; none: automatic

    QString messageBeforeRun_;  // the status line's message when the run began
    QString comparedWith_;      // the way of Fix File the marked differences come from
    bool running_ = false;
    bool closeAfterRun_ = false;
};

}  // namespace quillet
