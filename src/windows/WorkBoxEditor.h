// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qsci/qsciscintilla.h>
#include "engine/TextUnits.h"

#include <QAccessible>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace quillet {

class HtmlLexer;

/// The document view: an editor for HTML that holds the document's characters exactly.
///
/// The whole text is read and replaced through calls that take its length, since the
/// editor's own text() and setText() stop at a NUL character. The editor stores UTF-8 in
/// one buffer, which the repairs read in place and which a UTF-8 page is loaded from and
/// saved from as it is; a 16-bit text is converted, so every character survives, and so
/// does a surrogate that is not half of a pair (from a damaged UTF-16 page), as the three
/// bytes of ToGeneralizedUtf8.
/// Line ends are never converted: CR, LF and CRLF stay what they are, and a newly typed
/// line end takes the kind the document already uses.
///
/// Its colours come from its palette, each readable on the palette's background.
class WorkBoxEditor final : public QsciScintilla, private QAccessible::ActivationObserver {
    Q_OBJECT

  public:
    explicit WorkBoxEditor(QWidget* parent = nullptr);
    ~WorkBoxEditor() override;

    /// The whole text: NUL characters, every kind of line end and kept surrogates included;
    /// documentBytes() decoded, for a reader that wants characters.
    QString documentText() const;
    /// The whole text in the editor's own buffer, as UTF-8, without a copy. It stays valid
    /// and unchanged until the text next changes; a read-only view keeps it so.
    QByteArrayView documentBytes() const;
    /// Whether the editor holds no text at all.
    bool isDocumentEmpty() const;

    /// Starts a new document with `text`: nothing to undo, nothing modified.
    void loadDocument(QStringView text);
    /// The same with a text in UTF-8 (valid UTF-8).
    void loadDocumentUtf8(QByteArrayView text);
    /// Replaces the whole text with `text` (valid UTF-8) as one step that the user can
    /// undo. The view stays near where it was.
    void replaceDocumentUtf8(QByteArrayView text);

    /// Inserts `insert` (which holds no NUL) before each of `offsets`, ascending 0-based
    /// byte offsets into the text as documentBytes() holds it; one step that the user can
    /// undo. Cheaper than replacing the text for a few changes to a large one.
    void insertBefore(const QList<qint64>& offsets, QByteArrayView insert);

    /// A number that changes whenever the text changes, by typing, undoing or replacing.
    quint64 revision() const { return revision_; }

    /// How a text is sought.
    struct SearchOptions {
        bool matchCase = false;
        bool wholeWords = false;
    };
    enum class Found { Yes, AfterWrapping, No };

    /// Selects the next place of `text` after the selection, or with `forward` false the
    /// one before it; the search goes on from the other end of the page when it reaches
    /// one. The view scrolls to it.
    Found findText(const QString& text, SearchOptions options, bool forward = true);
    /// When the selection is a place of `text`, puts `replacement` there; true when it did.
    bool replaceSelection(const QString& text, const QString& replacement, SearchOptions options);
    /// Puts `replacement` at every place of `text`, as one step that the user can undo;
    /// returns how many places there were.
    int replaceAll(const QString& text, const QString& replacement, SearchOptions options);
    /// Marks every place of `text` as Mark::Found, the marks of an earlier search taken off,
    /// up to `most` of them; returns how many places there are, counted up to `most` + 1.
    int markMatches(const QString& text, SearchOptions options, int most);

    /// The marks the view draws over stretches of its text, each kind in a look and a
    /// colour of its own, readable on the palette's background. A mark follows the edits
    /// around it and goes with the text it covers (deleted, or undone); text typed inside
    /// a marked stretch joins it, text typed at its edges does not. Marks are no part of
    /// the text: they are neither saved nor copied.
    enum class Mark {
        Inserted,          ///< a "</p>" that Fix File put in: a box
        OtherWouldAdd,     ///< where the other way of Fix File would put a "</p>": underlined
        OtherWouldNotAdd,  ///< a "</p>" the other way would not put: struck through
        Found,             ///< a place of the text Find looks for: a rounded box
    };
    static constexpr int kMarkKinds = 4;

    /// Marks `ranges`, byte offsets and lengths into documentBytes(), as `kind`.
    void addMarks(Mark kind, const QList<TextSpan>& ranges);
    /// Takes every mark of `kind` off.
    void clearMarks(Mark kind);
    /// The stretches marked as `kind`, in order.
    QList<TextSpan> marks(Mark kind) const;
    /// The colour marks of `kind` are drawn in.
    QColor markColour(Mark kind) const;

    /// Whether the text changed since it was loaded or marked saved.
    bool hasUnsavedChanges() const;
    /// The text as it stands is the saved one.
    void markSaved();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    class BulkChange;

    /// Takes the colours of the text, the margin, the selection and the marks from the
    /// palette.
    void applyPalette();
    /// Gives each kind of mark its look.
    void defineMarks();

    /// Which change notices the editor sends; see the definition for why.
    void chooseChangeNotices();
    void accessibilityActiveChanged(bool active) override;

    /// The position of `bytes` in the target range, per `options`, or -1; the target then
    /// holds the place found.
    long searchTarget(long from, long to, const QByteArray& bytes, SearchOptions options);

    /// Appends `text` in slices, so the UTF-8 form is never held whole a second time.
    void appendText(QStringView text);
    /// Appends a text in UTF-8.
    void appendUtf8(QByteArrayView text);
    /// Makes room for `bytes` more, with some to spare.
    void reserveFor(qsizetype bytes);
    void startLoading();
    void finishLoading();
    void startReplacing(long* firstLine, long* caret, long* first);
    void finishReplacing(long firstLine, long caret, long first);
    /// A typed line end takes the kind of the document's first line end (CRLF if none).
    void adoptLineEnds();
    void fitLineNumbers();

    HtmlLexer* lexer_ = nullptr;
    quint64 revision_ = 0;
    int lineNumberDigits_ = 0;
    qsizetype allocated_ = 0;  // the buffer size last asked of the editor, in bytes
};

}  // namespace quillet
