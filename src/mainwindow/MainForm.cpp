#include "mainwindow/MainForm.h"

#include "common/Utilities.h"
#include "documents/CodePage.h"
#include "documents/DocumentFile.h"
#include "engine/Functions.h"
#include "mainwindow/MainFormDialogs.h"
#include "mainwindow/ProgressDisplay.h"
#include "mainwindow/SaveMessages.h"
#include "mainwindow/StandardMainFormDialogs.h"
#include "windows/WorkBoxEditor.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListStore.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QSettings>
#include <QToolBar>

namespace quillet {

const QString MainForm::kCaption = QStringLiteral("Orvane Quillet");

namespace {

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
                   std::unique_ptr<WordListSource> lists, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<StandardMainFormDialogs>()),
      writer_(writer ? std::move(writer) : std::make_unique<AtomicFileWriter>()),
      // The working directory the program started in; the file dialogs never change it.
      databasePath_(QDir::current().absoluteFilePath(DefaultDatabasePath())),
      lists_(lists ? std::move(lists) : std::make_unique<StoreListSource>(databasePath_)) {
    ui_.setupUi(*this);
    progress_ = std::make_unique<ProgressDisplay>(*ui_.CountBox, *ui_.PBox, this);
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
    connect(ui_.mnuOptionsHtml5, &QAction::toggled, this,
            [](bool checked) { QSettings().setValue(kHtml5Setting, checked); });
    connect(ui_.mnuHelpTutorial, &QAction::triggered, this, &MainForm::mnuHelpTutorialClick);
    connect(ui_.mnuHelpAbout, &QAction::triggered, this, &MainForm::mnuHelpAboutClick);
    connect(ui_.ToolBar1, &QToolBar::actionTriggered, this,
            [this](QAction* button) { ToolBar1ButtonClick(button->data().toString()); });

    // Load: the window starts in the middle of the screen.
    CenterForm(*this);
}

MainForm::~MainForm() = default;

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_.client && event->type() == QEvent::Resize) {
        Resizer.ResizeControls(*ui_.client);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::ToolBar1ButtonClick(const QString& key) {
    using Handler = void (MainForm::*)();
    static const std::pair<QString, Handler> kButtons[] = {
        {QStringLiteral("Open"), &MainForm::mnuFileOpenClick},
        {QStringLiteral("Fix"), &MainForm::mnuFileFixClick},
        {QStringLiteral("Save"), &MainForm::mnuFileSaveClick},
        {QStringLiteral("Newlines"), &MainForm::mnuFileStripNewlinesClick},
        {QStringLiteral("Spaces"), &MainForm::mnuFileStripSpacesClick},
        {QStringLiteral("SkipList"), &MainForm::mnuFileSkipListClick},
        {QStringLiteral("Include"), &MainForm::mnuFileIncludeListClick},
    };
    for (const auto& [buttonKey, handler] : kButtons) {
        if (key == buttonKey) {
            (this->*handler)();
            return;
        }
    }
}

bool MainForm::refuseDuringRun() const {
    if (!running_) return false;
    QApplication::beep();
    return true;
}

void MainForm::mnuFileFixClick() {
    runRepair(Repair::Fix);
}

void MainForm::mnuFileStripNewlinesClick() {
    runRepair(Repair::StripNewlines);
}

void MainForm::mnuFileStripSpacesClick() {
    runRepair(Repair::StripSpaces);
}

namespace {

/// `text` with "</p>" before each of the ascending offsets.
QString WithInsertions(QStringView text, const QList<qint64>& offsets) {
    QString result;
    result.reserve(text.size() + 4 * offsets.size());
    qint64 from = 0;
    for (const qint64 at : offsets) {
        result.append(text.sliced(from, at - from));
        result.append(u"</p>");
        from = at;
    }
    result.append(text.sliced(from));
    return result;
}

}  // namespace

void MainForm::refreshDocumentText() {
    // The view's text is read only when it changed since DocumentText last matched it.
    if (documentStale_ || ui_.WorkBox->revision() != documentRevision_) {
        DocumentText = ui_.WorkBox->documentText();
        documentRevision_ = ui_.WorkBox->revision();
        documentStale_ = false;
    }
}

const QString& MainForm::documentText() {
    refreshDocumentText();
    return DocumentText;
}

void MainForm::runRepair(Repair repair) {
    if (refuseDuringRun()) return;
    {
        const RunScope scope(running_, *ui_.WorkBox);
        refreshDocumentText();
        progress_->begin();
        RepairResult result;
        switch (repair) {
            case Repair::Fix:
                // Fix File only inserts: the view takes the insertions in place, which on a
                // large page costs a fraction of building the new text and replacing it all.
                result = ui_.mnuOptionsHtml5->isChecked()
                             ? functions_->FixTextHtml5(DocumentText, FixOutput::Insertions)
                             : functions_->FixText(DocumentText, FixOutput::Insertions);
                break;
            case Repair::StripNewlines:
                result = functions_->StripNewlines(DocumentText);
                break;
            case Repair::StripSpaces:
                result = functions_->StripSpaces(DocumentText);
                break;
        }
        progress_->finish();

        switch (result.status) {
            case RepairResult::Status::Completed: {
                if (repair == Repair::Fix) {
                    if (!result.insertions.isEmpty()) {
                        // The view is read-only during the run, so it still holds the text
                        // the pass read; should it not, the repaired text replaces it whole.
                        if (ui_.WorkBox->revision() == documentRevision_) {
                            ui_.WorkBox->insertAt(DocumentText, result.insertions, u"</p>");
                        } else {
                            ui_.WorkBox->replaceDocument(
                                WithInsertions(DocumentText, result.insertions));
                        }
                        // The view holds the repaired text now; DocumentText is read back from
                        // it when next needed, so the page is not held twice meanwhile.
                        DocumentText = QString();
                        documentStale_ = true;
                    }
                } else if (result.text != DocumentText) {
                    // An unchanged text is not put back, so it costs no undo step. The old
                    // text goes before the view is filled, so the two are never held at once.
                    DocumentText = std::move(result.text);
                    ui_.WorkBox->replaceDocument(DocumentText);
                }
                documentRevision_ = ui_.WorkBox->revision();
                ui_.CountBox->setText(QStringLiteral("0"));
                QApplication::beep();
                break;
            }
            case RepairResult::Status::ListsUnavailable:
                ShowMessage(QStringLiteral("The word lists could not be read, so the page "
                                           "was left as it was.\n\n") +
                                result.error,
                            this);
                break;
            case RepairResult::Status::ParserFailed:
                ShowMessage(QStringLiteral("Fix File could not read the page by HTML5 rules, so "
                                           "the page was left as it was.\n\n") +
                                result.error.left(1).toUpper() + result.error.mid(1) + u'.',
                            this);
                break;
            case RepairResult::Status::Stopped:
                // Stopped for closing the window: the document stays as it was.
                break;
            case RepairResult::Status::Busy:
                QApplication::beep();
                break;
        }
    }
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        close();
    }
}

void MainForm::mnuFileOpenClick() {
    if (refuseDuringRun()) return;
    if (!mayDropChanges()) return;
    const std::optional<QString> path = dialogs_->askOpenPath(this, dialogPath_);
    if (!path) return;
    openFile(*path);
}

bool MainForm::openFile(const QString& chosenPath) {
    if (running_) return false;
    const QString path = QDir::toNativeSeparators(chosenPath);
    dialogPath_ = path;
    docName_ = SplitDocName(path);
    DocPath = path;

    FileResult failure;
    std::optional<QByteArray> bytes = ReadDocumentBytes(path, &failure);
    if (!bytes) {
        ShowMessage(QStringLiteral("Couldn't open %1: %2.").arg(path, failure.reason), this);
        return false;
    }
    if (bytes->isEmpty()) return true;
    DocumentText = DecodeCodePage(*bytes);
    bytes.reset();
    ui_.WorkBox->loadDocument(DocumentText);
    documentRevision_ = ui_.WorkBox->revision();
    ui_.CountBox->setText(QString::number(DocumentText.size()));
    setWindowTitle(kCaption + QStringLiteral(" - ") + DocPath);
    functions_->AddedCount = 0;
    ui_.PBox->setText(QString::number(functions_->AddedCount));
    return true;
}

void MainForm::mnuFileSaveClick() {
    if (refuseDuringRun()) return;
    saveDocument();
}

bool MainForm::saveDocument() {
    if (ui_.WorkBox->isDocumentEmpty()) return false;
    const QString proposal = FixedFileName(docName_);
    dialogPath_ = proposal;
    std::optional<QString> path = dialogs_->askSavePath(this, proposal);
    if (!path) return false;
    path = QDir::toNativeSeparators(*path);
    dialogPath_ = *path;
    docName_ = SplitDocName(*path);

    const FileResult result = SaveDocument(*writer_, *path, ui_.WorkBox->documentText());
    if (!result.ok()) {
        ShowMessage(SaveFailureMessage(result), this);
        return false;
    }
    ui_.WorkBox->markSaved();
    QApplication::beep();
    setWindowTitle(kCaption + QStringLiteral(" - ") + docName_.fileName);
    functions_->AddedCount = 0;
    ui_.PBox->setText(QString());
    return true;
}

bool MainForm::mayDropChanges() {
    if (!ui_.WorkBox->hasUnsavedChanges() || ui_.WorkBox->isDocumentEmpty()) return true;
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
    event->accept();
}

void MainForm::mnuFileSkipListClick() {
    dialogs_->showSkipList(this, databasePath_);
}

void MainForm::mnuFileIncludeListClick() {
    dialogs_->showIncludeList(this, databasePath_);
}

void MainForm::mnuFileExitClick() {
    close();
}

void MainForm::mnuHelpTutorialClick() {
    dialogs_->showHelpTopics(this);
}

void MainForm::mnuHelpAboutClick() {
    dialogs_->showAbout(this);
}

}  // namespace quillet
