#pragma once

#include "documents/DocName.h"
#include "documents/DocumentFile.h"
#include "documents/TextEncoding.h"
#include "engine/WordListLookup.h"
#include "mainwindow/MainFormDialogs.h"
#include "windows/MainFormUi.h"
#include "windows/ScreenHandler.h"

#include <QMainWindow>
#include <QString>
#include <memory>
#include <optional>

namespace quillet {

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
class MainForm final : public QMainWindow {
    Q_OBJECT

  public:
    /// The caption before any document was opened or saved.
    static const QString kCaption;

    /// Missing parts take the standard ones: the platform's dialogs, the atomic file
    /// writer, and the word lists of the database in the working directory.
    explicit MainForm(std::unique_ptr<MainFormDialogs> dialogs = nullptr,
                      std::unique_ptr<DocumentWriter> writer = nullptr,
                      std::unique_ptr<WordListSource> lists = nullptr, QWidget* parent = nullptr);
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
    void mnuHelpTutorialClick();
    void mnuHelpAboutClick();

    /// Open File after its dialog: reads the page at `path` into the view, as the Open
    /// command does with the path the user chose. It asks nothing about unsaved changes
    /// (callers do that first) and reports a failure with a message; true when the page
    /// was read (an empty file is read, but leaves the view as it was).
    ///
    /// The page is read in `encoding` when one is given (and fails when that would change
    /// a byte), else in the encoding last chosen for it, else in the one it shows.
    bool openFile(const QString& path, const std::optional<TextEncoding>& encoding = {});

    /// Reopen with Encoding: after asking about unsaved changes, reads the open page again
    /// in the encoding named `name`, or in the one it shows when `name` is empty, and
    /// remembers the choice for that page.
    void mnuFileEncodingClick(const QString& name);

    /// The toolbar's button click: runs the menu item whose Key equals `key` exactly;
    /// an unknown Key does nothing.
    void ToolBar1ButtonClick(const QString& key);

    /// Whether a repair command is running.
    bool isRunning() const { return running_; }
    /// The document text: the view's text, as the next command will take it.
    const QString& documentText();
    /// The window's controls.
    const MainFormUi& ui() const { return ui_; }
    /// The word-list database the repairs and the editors use.
    const QString& databasePath() const { return databasePath_; }
    /// The progress display of the repair commands.
    const ProgressDisplay& progress() const { return *progress_; }
    /// The encoding the page was read in, which Save writes.
    const TextEncoding& encoding() const { return encoding_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class Repair { Fix, StripNewlines, StripSpaces };

    void runRepair(Repair repair);
    /// Reads the view's text into DocumentText when it changed since they last matched.
    void refreshDocumentText();
    /// Saves the document after asking where; true when it was written.
    bool saveDocument();
    /// Asks about unsaved changes when there are any; true when they may be dropped.
    bool mayDropChanges();
    /// Refuses a command during a run; true when refused.
    bool refuseDuringRun() const;
    /// Shows the page's encoding, and checks the encoding menu's entry of its choice.
    void showEncoding();

    MainFormUi ui_;
    ScreenHandler Resizer;
    std::unique_ptr<MainFormDialogs> dialogs_;
    std::unique_ptr<DocumentWriter> writer_;
    QString databasePath_;
    std::unique_ptr<WordListSource> lists_;
    std::unique_ptr<ProgressDisplay> progress_;
    std::unique_ptr<Functions> functions_;

    QString DocumentText;
    quint64 documentRevision_ = quint64(-1);  // the view's revision that DocumentText matches
    bool documentStale_ = false;              // DocumentText was dropped after Fix File
    QString DocPath;
    DocName docName_;                     // DocDir, DocFileName and DocBaseName
    QString dialogPath_;                  // the path the file dialogs last returned or were handed
    TextEncoding encoding_;               // the page's encoding, for Save
    std::optional<TextEncoding> choice_;  // the encoding chosen for the page; none: automatic

    bool running_ = false;
    bool closeAfterRun_ = false;
};

}  // namespace quillet
