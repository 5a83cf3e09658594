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

    /// What a routine made: its status, the text, why the lists failed, and how many "</p>"
    /// it added (none when it did not complete).
    struct Run {
        RepairResult::Status status = RepairResult::Status::Completed;
        QString text;
        StoreError listsError;
        qsizetype added = 0;
    };

    Run FixText(const QString& text) {
        StoreError error;
        const std::unique_ptr<WordListLookup> lists = source_.openLists(&error);
        if (!lists) return Failed(RepairResult::Status::ListsUnavailable, error);
        try {
            const qint64 length = text.size();
            QString fixed;
            qint64 segment = 1;
            qint64 pos = 1;
            qint32 added = 0;
            observer_.showAdded(added);
            Yield();
            bool inParagraph = false;
            const QList<Hidden> hidden = HiddenStretches(text);
            while (pos < length) {
                observer_.showRemaining(length - pos);
                Yield();
                qint64 found = text.indexOf(u'<', pos - 1) + 1;  // 0: none
                if (found == length) observer_.notice(kNotice.toString());
                pos = found + 1;
                if (found == 0 || found == length) {
                    pos = length + 1;
                } else {
                    const Kind kind = Classify(text, found, *lists);
                    if (inParagraph && (kind == Kind::ParaOpen || kind == Kind::Break)) {
                        fixed += text.mid(segment - 1, found - segment) + QStringLiteral("</p>");
                        segment = found;
                        observer_.showAdded(++added);
                        Yield();
                    }
                    if (kind != Kind::Other) inParagraph = kind == Kind::ParaOpen;
                    // A comment or a script is passed over: the next "<" is the first after it.
                    for (const Hidden& h : hidden) {
                        if (h.lt == found - 1) pos = h.to + 1;
                    }
                }
            }
            return Done(fixed + text.mid(segment - 1), added);
        } catch (const Stop&) {
            return Failed(RepairResult::Status::Stopped);
        } catch (const StoreError& failed) {
            return Failed(RepairResult::Status::ListsUnavailable, failed);
        }
    }

    Run StripNewlines(const QString& text, LoneLineFeeds lineFeeds) {
        try {
            const QList<Hidden> hidden = HiddenStretches(text);
            QList<bool> inside(text.size() + 1, false);  // a "<" there is no tag
            for (const Hidden& h : hidden) {
                for (qint64 i = h.from; i < h.to; ++i) inside[i] = true;
            }
            QString rest = text;
            qint64 offset = 0;  // where `rest` starts in `text`
            QString out;
            observer_.clearAdded();
            observer_.showRemaining(rest.size());
            Yield();
            bool inParagraph = false;
            for (;;) {
                const QStringView mark = inParagraph ? u"</p>" : u"<p>";
                qint64 k = rest.indexOf(mark) + 1;
                while (k > 0 && inside[offset + k - 1]) k = rest.indexOf(mark, k) + 1;
                if (k == 0) break;
                out += inParagraph ? Joined(rest.left(k), inside.mid(offset, k), lineFeeds)
                                   : rest.left(k);
                inParagraph = !inParagraph;
                rest.remove(0, k);
                offset += k;
                observer_.showRemaining(rest.size());
                Yield();
            }
            return Done(out + rest);
        } catch (const Stop&) {
            return Failed(RepairResult::Status::Stopped);
        }
    }

    Run StripSpaces(const QString& text) {
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
    enum class Kind { Other, Break, ParaOpen, ParaClose };
    static constexpr QStringView kNotice = u"Last item on the page is an opening <";

    void Yield() {
        if (!observer_.processEvents()) throw Stop{};
    }

    static bool IsAsciiLetterOrDigit(QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); }

    /// The name of the tag whose "<" stands at 0-based `lt`: the ASCII letters, digits and
    /// "/" after it, lower-cased; none when a digit follows the "<".
    static QString NameAt(const QString& text, qint64 lt) {
        if (lt + 1 < text.size() && text[lt + 1].isDigit() && text[lt + 1].unicode() < 0x80)
            return QString();
        qint64 end = lt + 1;  // the first character after the name
        while (end < text.size() && (IsAsciiLetterOrDigit(text[end]) || text[end] == u'/')) ++end;
        return text.mid(lt + 1, end - lt - 1).toLower();
    }

    /// A stretch [from, to) of 0-based positions in which no "<" is a tag, opened by the
    /// tag at `lt`: a comment, or the text of an element that holds no tags.
    struct Hidden {
        qint64 lt, from, to;
    };

    /// Every such stretch of `text`, found by walking from one "<" that is a tag to the next.
    static QList<Hidden> HiddenStretches(const QString& text) {
        static const QStringList kTagless = {"script", "style",   "textarea", "title",   "xmp",
                                             "iframe", "noembed", "noframes", "noscript"};
        QList<Hidden> found;
        for (qint64 lt = text.indexOf(u'<'); lt >= 0;) {
            const QString name = NameAt(text, lt);
            qint64 to = -1;
            qint64 from = lt + 1 + name.size();
            if (text.mid(lt, 4) == u"<!--") {
                from = lt + 1;
                to = text.indexOf(u"-->", lt + 2);
                to = to < 0 ? text.size() : to + 3;
            } else if (name == u"plaintext") {
                to = text.size();
            } else if (kTagless.contains(name)) {
                to = text.size();
                for (qint64 at = text.indexOf(u"</", from); at >= 0;
                     at = text.indexOf(u"</", at + 1)) {
                    const QString after = text.mid(at + 2, name.size() + 1);
                    bool same = after.size() >= name.size();
                    for (qint64 i = 0; same && i < name.size(); ++i) {
                        same = after[i].unicode() < 0x80 && after[i].toLower() == name[i];
                    }
                    if (same &&
                        (after.size() == name.size() || !IsAsciiLetterOrDigit(after.back()))) {
                        to = at;
                        break;
                    }
                }
            }
            if (to < 0) {
                lt = text.indexOf(u'<', lt + 1);
            } else {
                found.append({lt, from, to});
                lt = text.indexOf(u'<', to);
            }
        }
        return found;
    }

    /// The tag whose "<" stands at 1-based `pos`; a closing tag asks the include list, any
    /// other the skip list.
    static Kind Classify(const QString& text, qint64 pos, WordListLookup& lists) {
        const QString name = NameAt(text, pos - 1);
        if (name == u"p") return Kind::ParaOpen;
        if (name == u"/p") return Kind::ParaClose;
        const bool closing = name.startsWith(u'/');
        const std::optional<bool> listed =
            closing ? lists.inIncludeList(name) : lists.inSkipList(name);
        if (!listed) throw lists.lastError();
        return *listed == closing ? Kind::Break : Kind::Other;
    }

    static QString Trimmed(QString t) {
        while (t.startsWith(u' ')) t.remove(0, 1);
        while (t.endsWith(u' ')) t.chop(1);
        return t;
    }

    /// Trimmed, with each carriage return removed together with a line feed right after it,
    /// except where `inside` marks a character of a comment or a script.
    static QString Joined(const QString& text, const QList<bool>& inside, LoneLineFeeds lineFeeds) {
        qint64 from = 0, to = text.size();
        while (from < to && text[from] == u' ') ++from;
        while (to > from && text[to - 1] == u' ') --to;
        QString t;
        for (qint64 i = from; i < to; ++i) {
            const bool lineFeed = text[i] == u'\n' && lineFeeds == LoneLineFeeds::Join;
            if (inside[i] || (text[i] != u'\r' && !lineFeed)) {
                t += text[i];
            } else if (text[i] == u'\r' && i + 1 < to && text[i + 1] == u'\n') {
                ++i;
            }
        }
        return t;
    }

    static Run Done(QString text, qsizetype added = 0) {
        Run run;
        run.text = std::move(text);
        run.added = added;
        return run;
    }
    static Run Failed(RepairResult::Status status, StoreError error = {}) {
        Run run;
        run.status = status;
        run.listsError = std::move(error);
        return run;
    }

    EngineObserver& observer_;
    WordListSource& source_;
};

}  // namespace quillet::test
