// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EngineObserver.h"
#include "engine/WordListLookup.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quillet::test {

/// `text` with line breaks, tabs, NUL and non-ASCII characters spelled out, cut after 400
/// characters, for failure messages.
inline std::string Escaped(QStringView text) {
    QString out;
    for (const QChar c : text.first(std::min<qsizetype>(text.size(), 400))) {
        out += c == u'\r'   ? QStringLiteral("\\r")
               : c == u'\n' ? QStringLiteral("\\n")
               : c.unicode() < 0x20 || c.unicode() >= 0x7F
                   ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
                   : QString(c);
    }
    return out.toStdString() + (text.size() > 400 ? "..." : "");
}

/// The bytes of a file, or "<unreadable>".
QByteArray FileBytes(const QString& path);
/// Writes `bytes` as the whole file; false when it cannot.
bool PutFile(const QString& path, const QByteArray& bytes);

/// A fresh temporary folder that is the working directory while the object lives.
class ScopedWorkingDir {
  public:
    ScopedWorkingDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~ScopedWorkingDir() { QDir::setCurrent(previous_); }
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

  private:
    QString previous_;
    QTemporaryDir dir_;
};

/// A fresh, empty per-user data folder ($XDG_DATA_HOME) while the object lives, so that
/// the user's own word lists are neither read nor written.
class ScopedDataHome {
  public:
    ScopedDataHome() : had_(qEnvironmentVariableIsSet(kName)), previous_(qgetenv(kName)) {
        qputenv(kName, QFile::encodeName(dir_.path()));
    }
    ~ScopedDataHome() { had_ ? qputenv(kName, previous_) : qunsetenv(kName); }
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

    /// The per-user word-list file inside it.
    QString wordLists() const { return dir_.filePath(QStringLiteral("quillet/SkipList.db")); }

  private:
    static constexpr const char* kName = "XDG_DATA_HOME";
    QTemporaryDir dir_;
    bool had_;
    QByteArray previous_;
};

/// Word lists held in memory; can be told to fail at opening or at a lookup.
class MemoryWordLists final : public WordListSource {
  public:
    MemoryWordLists() = default;
    MemoryWordLists(QStringList skip, QStringList include)
        : skip(skip.begin(), skip.end()), include(include.begin(), include.end()) {}

    QSet<QString> skip;
    QSet<QString> include;
    bool failOpen = false;
    int failAfterLookups = -1;  ///< fail the lookup after this many; -1 never
    bool answersFixed = false;  ///< lets a pass keep the answers (WordListLookup::answersFixed)
    int opens = 0;
    int closes = 0;
    int lookups = 0;

    std::unique_ptr<WordListLookup> openLists(StoreError* error) override;
};

/// Records every call the engine makes, in order, as short strings.
class RecordingObserver final : public EngineObserver {
  public:
    QStringList events;
    QStringList notices;
    int stopAfterEvents = -1;  ///< processEvents returns false on this call; -1 never
    qint64 stride = 1;         ///< what reportStride answers

    qint64 reportStride() const override { return stride; }

    void showRemaining(qint64 remaining) override {
        events << QStringLiteral("count %1").arg(remaining);
    }
    void showAdded(qint32 added) override { events << QStringLiteral("added %1").arg(added); }
    void clearAdded() override { events << QStringLiteral("clear"); }
    bool processEvents() override {
        events << QStringLiteral("events");
        return stopAfterEvents < 0 || --stopAfterEvents > 0;
    }
    void notice(const QString& text) override {
        events << QStringLiteral("notice ") + text;
        notices << text;
    }
};

}  // namespace quillet::test

// Lets GoogleTest show QString values readably in failed comparisons.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << quillet::test::Escaped(text) << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    for (const QString& item : list) *os << '"' << quillet::test::Escaped(item) << "\" ";
}
