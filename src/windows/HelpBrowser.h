// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextBrowser>

class QHelpEngineCore;

namespace quillet {

/// Shows help topics, reading pages, style sheets and pictures from the help collection.
/// Links to the web open in the system's browser. The topics' colours follow the palette,
/// light or dark, each readable on its background (see AdaptStyleSheet).
class HelpBrowser final : public QTextBrowser {
    Q_OBJECT

  public:
    HelpBrowser(QHelpEngineCore& engine, QWidget* parent = nullptr);

    /// `css`, a style sheet drawn for black text on white, with its colours taken into
    /// `palette`: each background keeps its hue but stands as far from the palette's base
    /// as it stood from white, each text colour is made readable (4.5:1) on its own
    /// background or the base, and links take the palette's link colour, made readable on
    /// every background.
    static QString AdaptStyleSheet(const QString& css, const QPalette& palette);

    QVariant loadResource(int type, const QUrl& name) override;

  protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
    void changeEvent(QEvent* event) override;

  private:
    QHelpEngineCore& engine_;
};

}  // namespace quillet
