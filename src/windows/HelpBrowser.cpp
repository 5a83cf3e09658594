// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/HelpBrowser.h"

#include <QDesktopServices>
#include <QHelpEngineCore>

namespace quillet {

namespace {
const QString kHelpScheme = QStringLiteral("qthelp");
}

HelpBrowser::HelpBrowser(QHelpEngineCore& engine, QWidget* parent)
    : QTextBrowser(parent), engine_(engine) {
    setOpenLinks(true);
    setOpenExternalLinks(false);  // handled in doSetSource, so help links stay inside
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    // Style sheets and pictures come with names relative to the page being shown.
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.scheme() == kHelpScheme) {
        const QByteArray data = engine_.fileData(url);
        if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) {
            return QString::fromUtf8(data);
        }
        return data;
    }
    return QTextBrowser::loadResource(type, name);
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    const QString scheme = name.scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto")) {
        QDesktopServices::openUrl(name);
        return;
    }
    QTextBrowser::doSetSource(name, type);
}

}  // namespace quillet
