// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Functions.h"

namespace quillet::test {

/// A slow, literal rendering of the three repair routines, to check the engine against:
/// 1-based positions, strings cut from the front and built by appending, and the observer
/// called at exactly the steps the routines take. A processEvents() that returns false stops
/// a routine (Stopped); a failed lookup ends Fix File (ListsUnavailable). Either way no text
/// is returned.
class ReferenceEngine {
  public:
    ReferenceEngine(EngineObserver& observer, WordListSource& lists)
        : observer_(observer), source_(lists) {}

    qint32 AddedCount = 0;
    bool InParagraph = false;

    RepairResult FixText(const QString& text) {
        StoreError error;
        const std::unique_ptr<WordListLookup> lists = source_.openLists(&error);
        if (!lists) return Failed(RepairResult::Status::ListsUnavailable, error);
        try {
            const qint64 length = text.size();
            QString fixed;
            qint64 segment = 1;
            qint64 pos = 1;
            AddedCount = 0;
            observer_.showAdded(AddedCount);
            Yield();
            InParagraph = false;
            while (pos < length) {
                observer_.showRemaining(length - pos);
                Yield();
                qint64 found = text.indexOf(u'<', pos - 1) + 1;  // 0: none
                if (found == length) observer_.notice(kNotice.toString());
                if (found == 0 || found == length) {
                    found = length;
                } else {
                    const TagKind kind = Classify(text, found, *lists);
                    if (InParagraph && (kind == TagParaOpen || kind == TagBreak)) {
                        fixed += text.mid(segment - 1, found - segment) + QStringLiteral("</p>");
                        segment = found;
                        observer_.showAdded(++AddedCount);
                        Yield();
                    }
                    if (kind != TagOther) InParagraph = kind == TagParaOpen;
                }
                pos = found + 1;
            }
            return Done(fixed + text.mid(segment - 1));
        } catch (const Stop&) {
            return Failed(RepairResult::Status::Stopped);
        } catch (const StoreError& failed) {
            return Failed(RepairResult::Status::ListsUnavailable, failed);
        }
    }

    RepairResult StripNewlines(const QString& text, LoneLineFeeds lineFeeds) {
        try {
            QString rest = text;
            QString out;
            observer_.clearAdded();
            observer_.showRemaining(rest.size());
            Yield();
            InParagraph = false;
            for (qint64 k;
                 (k = rest.indexOf(QStringView(InParagraph ? u"</p>" : u"<p>")) + 1) > 0;) {
                out += InParagraph ? Joined(rest.left(k), lineFeeds) : rest.left(k);
                InParagraph = !InParagraph;
                rest.remove(0, k);
                observer_.showRemaining(rest.size());
                Yield();
            }
            return Done(out + rest);
        } catch (const Stop&) {
            return Failed(RepairResult::Status::Stopped);
        }
    }

    RepairResult StripSpaces(const QString& text) {
        try {
            QString rest = Trimmed(text);
            QString out;
            observer_.clearAdded();
            observer_.showRemaining(rest.size());
            Yield();
            for (qint64 from = 0, run; (run = rest.indexOf(u' ', from)) >= 0;) {
                qint64 end = run;
                while (end < rest.size() && rest[end] == u' ') ++end;
                if (end - run > 1) {
                    out += rest.left(run + 1);
                    rest.remove(0, end);
                    from = 0;
                } else {
                    from = run + 1;
                }
                observer_.showRemaining(rest.size());
                Yield();
            }
            return Done(out + rest);
        } catch (const Stop&) {
            return Failed(RepairResult::Status::Stopped);
        }
    }

  private:
    struct Stop {};
    static constexpr QStringView kNotice = u"Last item on the page is an opening <";

    void Yield() {
        if (!observer_.processEvents()) throw Stop{};
    }

    /// The tag whose "<" stands at 1-based `pos`: its name is the ASCII letters, digits and
    /// "/" after it; a closing tag asks the include list, any other the skip list.
    static TagKind Classify(const QString& text, qint64 pos, WordListLookup& lists) {
        qint64 end = pos;  // 0-based: the first character after the name
        while (end < text.size() && text[end].unicode() < 0x80 &&
               (text[end].isLetterOrNumber() || text[end] == u'/'))
            ++end;
        const QString name = text.mid(pos, end - pos).toLower();
        if (name == u"p") return TagParaOpen;
        if (name == u"/p") return TagParaClose;
        const bool closing = name.startsWith(u'/');
        const std::optional<bool> listed =
            closing ? lists.inIncludeList(name) : lists.inSkipList(name);
        if (!listed) throw lists.lastError();
        return *listed == closing ? TagBreak : TagOther;
    }

    static QString Trimmed(QString t) {
        while (t.startsWith(u' ')) t.remove(0, 1);
        while (t.endsWith(u' ')) t.chop(1);
        return t;
    }

    /// Trimmed, with each carriage return removed together with a line feed right after it.
    static QString Joined(const QString& text, LoneLineFeeds lineFeeds) {
        QString t = Trimmed(text).replace(QStringLiteral("\r\n"), QString()).remove(u'\r');
        return lineFeeds == LoneLineFeeds::Join ? t.remove(u'\n') : t;
    }

    static RepairResult Done(QString text) {
        RepairResult result;
        result.text = std::move(text);
        return result;
    }
    static RepairResult Failed(RepairResult::Status status, StoreError error = {}) {
        RepairResult result;
        result.status = status;
        result.listsError = std::move(error);
        return result;
    }

    EngineObserver& observer_;
    WordListSource& source_;
};

}  // namespace quillet::test
