// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextBrowser>

class QHelpEngineCore;

namespace quillet {

/// Shows help topics, reading pages, style sheets and pictures from the help collection.
/// Links to the web open in the system's browser.
class HelpBrowser final : public QTextBrowser {
    Q_OBJECT

  public:
    HelpBrowser(QHelpEngineCore& engine, QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

  protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

  private:
    QHelpEngineCore& engine_;
};

}  // namespace quillet
