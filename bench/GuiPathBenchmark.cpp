// Fix File on a large generated page: through the main window (progress display with
// its throttled repaints, the document view read and replaced) against the engine alone.
//
//   quillet-gui-bench [--size-mb N] [--runs N] [--dir DIR]
//
// --dir keeps the generated page and word-list database in DIR (for a profiler, say:
// quillet-gui-bench --child gui|engine DIR/page.htm DIR/SkipList.db).
// Each measurement runs in a child process of its own, so that its peak memory is its
// own; the figures are the median time and the largest peak over the runs.
#include "PageGenerator.h"
#include "documents/CodePage.h"
#include "documents/DocumentFile.h"
#include "engine/Functions.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/MainFormDialogs.h"
#include "mainwindow/ProgressDisplay.h"
#include "windows/WorkBoxEditor.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/StoreListSource.h"

#include <sys/resource.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

using namespace quillet;

/// Peak resident memory of this process so far, in bytes.
qint64 PeakMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

void Print(const char* key, qint64 value) {
    std::printf("%s %lld\n", key, static_cast<long long>(value));
}

/// The engine alone: the page decoded, then one Fix File pass without any display.
int RunEngine(const QString& page, const QString& database) {
    FileResult failure;
    std::optional<QByteArray> bytes = ReadDocumentBytes(page, &failure);
    if (!bytes) return 1;
    QString text = DecodeCodePage(*bytes);
    bytes.reset();
    SilentObserver observer;
    StoreListSource lists(database);
    Functions functions(observer, lists);
    QElapsedTimer timer;
    timer.start();
    const RepairResult result = functions.FixText(std::move(text));
    const qint64 fixMs = timer.elapsed();
    if (!result.ok()) return 1;
    Print("fix_ms", fixMs);
    Print("added", functions.AddedCount);
    Print("result_chars", result.text.size());
    Print("peak_bytes", PeakMemory());
    return 0;
}

/// Answers the Open dialog with the page.
class OpenPage final : public MainFormDialogs {
  public:
    explicit OpenPage(QString page) : page_(std::move(page)) {}
    std::optional<QString> askOpenPath(QWidget*, const QString&) override { return page_; }
    std::optional<QString> askSavePath(QWidget*, const QString&) override { return std::nullopt; }
    UnsavedAnswer askUnsavedChanges(QWidget*) override { return UnsavedAnswer::Discard; }
    void showSkipList(QWidget*, const QString&) override {}
    void showIncludeList(QWidget*, const QString&) override {}
    void showAbout(QWidget*) override {}
    void showHelpTopics(QWidget*) override {}

  private:
    QString page_;
};

/// Counts the paint events of a widget, and when the first and the last came.
class PaintCounter final : public QObject {
  public:
    explicit PaintCounter(const QElapsedTimer& clock) : clock_(clock) {}
    qint64 paints = 0;
    qint64 first = -1;
    qint64 last = -1;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            last = clock_.elapsed();
            if (first < 0) first = last;
        }
        return false;
    }

  private:
    const QElapsedTimer& clock_;
};

/// The main window: Open, then Fix File as the menu runs it.
int RunGui(int argc, char** argv, const QString& page, const QString& database) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    MainForm form(std::make_unique<OpenPage>(page), nullptr,
                  std::make_unique<StoreListSource>(database));
    form.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    form.mnuFileOpenClick();
    QApplication::processEvents();
    const qint64 openMs = timer.elapsed();

    PaintCounter counter(timer);
    form.ui().CountBox->installEventFilter(&counter);
    timer.start();
    form.mnuFileFixClick();
    const qint64 fixMs = timer.elapsed();
    form.ui().CountBox->removeEventFilter(&counter);

    Print("open_ms", openMs);
    Print("fix_ms", fixMs);
    Print("added", form.ui().PBox->text().toLongLong());
    Print("result_chars", form.ui().WorkBox->documentText().size());
    Print("repaints", form.progress().repaints());
    Print("label_paints", counter.paints);
    Print("paint_span_ms", counter.last - counter.first);
    Print("peak_bytes", PeakMemory());
    return 0;
}

using Figures = QMap<QString, qint64>;

std::optional<Figures> RunChild(const QStringList& arguments) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitCode() != 0) return std::nullopt;
    Figures figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2) figures.insert(QString::fromLatin1(parts[0]), parts[1].toLongLong());
    }
    return figures;
}

qint64 Median(QList<qint64> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

int RunBenchmark(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 sizeMb = 50;
    int runs = 3;
    QString keep;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--size-mb")) sizeMb = args[i + 1].toLongLong();
        if (args[i] == QStringLiteral("--runs")) runs = args[i + 1].toInt();
        if (args[i] == QStringLiteral("--dir")) keep = args[i + 1];
    }

    QTemporaryDir temporary;
    const QDir dir(keep.isEmpty() ? temporary.path() : keep);
    const QString page = dir.filePath(QStringLiteral("page.htm"));
    const QString database = dir.filePath(QStringLiteral("SkipList.db"));
    QFile::remove(database);
    const QByteArray bytes = bench::GenerateOldPage(sizeMb * 1000 * 1000);
    {
        QFile file(page);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return 1;
    }
    StoreError error;
    if (!CreateWordListDatabase(database, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        return 1;
    }
    const qint64 tags = bytes.count('<');
    std::printf("Page: %lld bytes, %lld tags (one per %.1f characters)\n",
                static_cast<long long>(bytes.size()), static_cast<long long>(tags),
                double(bytes.size()) / double(std::max<qint64>(1, tags)));

    QList<qint64> engineMs, guiMs, openMs;
    qint64 enginePeak = 0, guiPeak = 0, repaints = 0, paints = 0, paintSpan = 0;
    for (int run = 0; run < runs; ++run) {
        const auto engine =
            RunChild({QStringLiteral("--child"), QStringLiteral("engine"), page, database});
        const auto gui =
            RunChild({QStringLiteral("--child"), QStringLiteral("gui"), page, database});
        if (!engine || !gui) {
            std::fprintf(stderr, "A measurement failed.\n");
            return 1;
        }
        if ((*engine)["added"] != (*gui)["added"] ||
            (*engine)["result_chars"] != (*gui)["result_chars"]) {
            std::fprintf(stderr, "The two paths gave different results.\n");
            return 1;
        }
        engineMs << (*engine)["fix_ms"];
        guiMs << (*gui)["fix_ms"];
        openMs << (*gui)["open_ms"];
        enginePeak = std::max(enginePeak, (*engine)["peak_bytes"]);
        guiPeak = std::max(guiPeak, (*gui)["peak_bytes"]);
        repaints = (*gui)["repaints"];
        paints = (*gui)["label_paints"];
        paintSpan = (*gui)["paint_span_ms"];
        std::printf("run %d: engine %lld ms, window %lld ms (open %lld ms), %lld </p> added\n",
                    run + 1, static_cast<long long>(engineMs.last()),
                    static_cast<long long>(guiMs.last()), static_cast<long long>(openMs.last()),
                    static_cast<long long>((*gui)["added"]));
    }

    const double engine = double(Median(engineMs));
    const double gui = double(Median(guiMs));
    const double size = double(bytes.size());
    const double ratio = gui / std::max(1.0, engine);
    const double memory = double(guiPeak) / size;
    const double perSecond = double(paints) / std::max(0.001, gui / 1000.0);
    // While the pass itself runs: from the first repaint of the count to the last.
    const double perSecondInPass = double(paints - 1) / std::max(0.001, paintSpan / 1000.0);
    std::printf("\nFix File, median of %d runs\n", runs);
    std::printf("  engine alone           %8.0f ms   peak memory %6.0f MB (%.1f x file)\n", engine,
                double(enginePeak) / 1048576.0, double(enginePeak) / size);
    std::printf("  through the window     %8.0f ms   peak memory %6.0f MB (%.1f x file)\n", gui,
                double(guiPeak) / 1048576.0, memory);
    std::printf("  Open in the window     %8.0f ms\n", double(Median(openMs)));
    std::printf("  ratio window / engine  %8.2f      target <= 1.5   %s\n", ratio,
                ratio <= 1.5 ? "met" : "MISSED");
    std::printf("  peak memory / file     %8.1f      target <= 10    %s\n", memory,
                memory <= 10.0 ? "met" : "MISSED");
    if (paints >= 2) {
        std::printf(
            "  label repaints         %8lld      %.1f per second over the command, "
            "%.1f during the pass; target >= 10   %s\n",
            static_cast<long long>(paints), perSecond, perSecondInPass,
            perSecondInPass >= 10.0 ? "met" : "MISSED");
    } else {
        std::printf("  label repaints         %8lld      (the pass was too short to measure)\n",
                    static_cast<long long>(paints));
    }
    std::printf("  progress updates       %8lld\n", static_cast<long long>(repaints));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && QByteArray(argv[1]) == "--child") {
        const QString page = QString::fromLocal8Bit(argv[3]);
        const QString database = QString::fromLocal8Bit(argv[4]);
        if (QByteArray(argv[2]) == "engine") return RunEngine(page, database);
        if (QByteArray(argv[2]) == "gui") return RunGui(argc, argv, page, database);
        return 2;
    }
    return RunBenchmark(argc, argv);
}
