// SPDX-License-Identifier: GPL-3.0-or-later
// Fix File on a large generated page: through the main window (progress display with
// its throttled repaints, the pass over the document view's buffer, the insertions into
// the view) against the engine alone on the same UTF-8 text, building the repaired text;
// Open in the window against the floor program on the same page; then the time the
// document view takes to answer single keys on that page (caret movement, Ctrl+End after
// an edit, typing), from the key to the repainted view.
//
//   quillet-gui-bench [--size-mb N] [--runs N] [--dir DIR]
//
// --dir keeps the generated page and word-list database in DIR (for a profiler, say:
// quillet-gui-bench --child gui|engine|keys DIR/page.htm DIR/SkipList.db).
// Each measurement runs in a child process of its own, so that its peak memory is its
// own; the figures are the median time and the largest peak over the runs.
#include "PageGenerator.h"
#include "documents/CodePage.h"
#include "documents/DocumentFile.h"
#include "engine/Functions.h"
#include "engine/TextUnits.h"
#include "frontend/StoreErrorText.h"
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
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QSettings>
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

/// The engine alone: the page in UTF-8, as the document view holds it, then one Fix File
/// pass without any display, and the repaired text built from its insertions.
int RunEngine(const QString& page, const QString& database) {
    FileResult failure;
    std::optional<QByteArray> bytes = ReadDocumentBytes(page, &failure);
    if (!bytes) return 1;
    QByteArray text;
    AppendCodePageAsUtf8(text, *bytes);
    bytes.reset();
    SilentObserver observer;
    StoreListSource lists(database);
    Functions functions(observer, lists);
    QElapsedTimer timer;
    timer.start();
    const RepairResult result = functions.FixText(TextUnits::Utf8(text));
    const QByteArray fixed = WithInsertions(text, result.insertions, "</p>");
    const qint64 fixMs = timer.elapsed();
    if (!result.ok()) return 1;
    Print("fix_ms", fixMs);
    Print("added", result.insertions.size());
    Print("result_chars", TextUnits::Utf8(fixed).characters());
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
    void showAbout(QWidget*, const QString&) override {}
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

/// Keeps the window's settings (its recent files) beside the page, away from the user's.
void KeepSettingsBeside(const QString& page) {
    const QString folder = QFileInfo(page).absolutePath();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

/// The main window: Open, then Fix File as the menu runs it.
int RunGui(int argc, char** argv, const QString& page, const QString& database) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    KeepSettingsBeside(page);
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

/// Keys in the document view of the main window on the opened page: each key is sent to
/// the view and timed up to the end of the repaint it causes. The figures are in
/// microseconds: the slowest and the median of each kind of key.
int RunKeys(int argc, char** argv, const QString& page, const QString& database) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    KeepSettingsBeside(page);
    MainForm form(std::make_unique<OpenPage>(page), nullptr,
                  std::make_unique<StoreListSource>(database));
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();
    form.mnuFileOpenClick();
    QApplication::processEvents();
    WorkBoxEditor& view = *form.ui().WorkBox;
    view.setFocus();

    QElapsedTimer timer;
    auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString& text = QString()) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
        timer.start();
        QApplication::sendEvent(&view, &down);
        QApplication::sendEvent(&view, &up);
        view.viewport()->repaint();
        const qint64 us = timer.nsecsElapsed() / 1000;
        // Whatever the view left for later (colouring in the background) runs untimed.
        QApplication::processEvents();
        return us;
    };
    auto report = [](const char* key, QList<qint64> times) {
        std::sort(times.begin(), times.end());
        Print((std::string(key) + "_max_us").c_str(), times.last());
        Print((std::string(key) + "_median_us").c_str(), times[times.size() / 2]);
    };

    press(Qt::Key_Home, Qt::ControlModifier);
    report("type_at_start", {press(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"))});
    report("ctrl_end_after_edit", {press(Qt::Key_End, Qt::ControlModifier)});
    QList<qint64> up, left, typing;
    for (int i = 0; i < 20; ++i) up << press(Qt::Key_Up);
    for (int i = 0; i < 20; ++i) left << press(Qt::Key_Left);
    for (int i = 0; i < 20; ++i) typing << press(Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
    report("up_near_end", up);
    report("left_near_end", left);
    report("type_near_end", typing);
    report("ctrl_home", {press(Qt::Key_Home, Qt::ControlModifier)});
    report("ctrl_end", {press(Qt::Key_End, Qt::ControlModifier)});
    // Nothing may be asked on closing: the edits are dropped.
    view.markSaved();
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

/// Milliseconds of one run of the floor program (built beside this one) on the page.
qint64 RunFloor(const QString& page, const QString& output) {
    QProcess floor;
    floor.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QElapsedTimer timer;
    timer.start();
    floor.start(QCoreApplication::applicationDirPath() + QStringLiteral("/floor"), {page, output});
    if (!floor.waitForFinished(-1) || floor.exitCode() != 0) return -1;
    return timer.elapsed();
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
        std::fprintf(stderr, "%s\n", qPrintable(StoreErrorText(error)));
        return 1;
    }
    const qint64 tags = bytes.count('<');
    std::printf("Page: %lld bytes, %lld tags (one per %.1f characters)\n",
                static_cast<long long>(bytes.size()), static_cast<long long>(tags),
                double(bytes.size()) / double(std::max<qint64>(1, tags)));

    QList<qint64> engineMs, guiMs, openMs, floorMs;
    QMap<QString, QList<qint64>> keys;
    qint64 enginePeak = 0, guiPeak = 0, repaints = 0, paints = 0, paintSpan = 0;
    for (int run = 0; run < runs; ++run) {
        const auto engine =
            RunChild({QStringLiteral("--child"), QStringLiteral("engine"), page, database});
        const auto gui =
            RunChild({QStringLiteral("--child"), QStringLiteral("gui"), page, database});
        const auto keyRun =
            RunChild({QStringLiteral("--child"), QStringLiteral("keys"), page, database});
        floorMs << RunFloor(page, dir.filePath(QStringLiteral("floor.htm")));
        if (!engine || !gui || !keyRun) {
            std::fprintf(stderr, "A measurement failed.\n");
            return 1;
        }
        if ((*engine)["added"] != (*gui)["added"] ||
            (*engine)["result_chars"] != (*gui)["result_chars"]) {
            std::fprintf(stderr, "The two paths gave different results.\n");
            return 1;
        }
        for (auto figure = keyRun->cbegin(); figure != keyRun->cend(); ++figure) {
            keys[figure.key()] << figure.value();
        }
        engineMs << (*engine)["fix_ms"];
        guiMs << (*gui)["fix_ms"];
        openMs << (*gui)["open_ms"];
        enginePeak = std::max(enginePeak, (*engine)["peak_bytes"]);
        guiPeak = std::max(guiPeak, (*gui)["peak_bytes"]);
        repaints = (*gui)["repaints"];
        paints = (*gui)["label_paints"];
        paintSpan = (*gui)["paint_span_ms"];
        std::printf(
            "run %d: engine %lld ms, window %lld ms (open %lld ms, floor %lld ms), %lld "
            "</p> added\n",
            run + 1, static_cast<long long>(engineMs.last()), static_cast<long long>(guiMs.last()),
            static_cast<long long>(openMs.last()), static_cast<long long>(floorMs.last()),
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
    std::printf("  ratio window / engine  %8.2f      target <= 1.3   %s\n", ratio,
                ratio <= 1.3 ? "met" : "MISSED");
    const double open = double(Median(openMs)) / std::max(1.0, double(Median(floorMs)));
    std::printf("  floor program          %8lld ms\n", static_cast<long long>(Median(floorMs)));
    std::printf("  ratio Open / floor     %8.2f      target <= 1.5   %s\n", open,
                open <= 1.5 ? "met" : "MISSED");
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

    // Keys in the document view, from the key to the repainted view.
    std::printf("\nKeys in the document view, median of %d runs (ms; target < 50)\n", runs);
    const char* kinds[][2] = {
        {"type_at_start", "typing at the start"},
        {"ctrl_end_after_edit", "Ctrl+End after that edit"},
        {"up_near_end", "Up near the end"},
        {"left_near_end", "Left near the end"},
        {"type_near_end", "typing near the end"},
        {"ctrl_home", "Ctrl+Home"},
        {"ctrl_end", "Ctrl+End"},
    };
    for (const auto& [key, label] : kinds) {
        const double slowest = double(Median(keys[QString::fromLatin1(key) + "_max_us"])) / 1000;
        const double median = double(Median(keys[QString::fromLatin1(key) + "_median_us"])) / 1000;
        std::printf("  %-26s slowest %7.1f   median %7.1f   %s\n", label, slowest, median,
                    slowest < 50.0 ? "met" : "MISSED");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && QByteArray(argv[1]) == "--child") {
        const QString page = QString::fromLocal8Bit(argv[3]);
        const QString database = QString::fromLocal8Bit(argv[4]);
        if (QByteArray(argv[2]) == "engine") return RunEngine(page, database);
        if (QByteArray(argv[2]) == "gui") return RunGui(argc, argv, page, database);
        if (QByteArray(argv[2]) == "keys") return RunKeys(argc, argv, page, database);
        return 2;
    }
    return RunBenchmark(argc, argv);
}
