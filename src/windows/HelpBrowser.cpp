// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/HelpBrowser.h"

#include "windows/Contrast.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHelpEngineCore>
#include <QRegularExpression>
#include <QScrollBar>
#include <algorithm>

namespace quillet {

namespace {

const QString kHelpScheme = QStringLiteral("qthelp");

/// Whether a colour is nearer white than black, as a background.
bool IsLight(const QColor& colour) {
    return ContrastRatio(colour, Qt::black) >= ContrastRatio(colour, Qt::white);
}

/// A background drawn on white, moved onto `base`: its hue and saturation kept, as far from
/// the base in lightness as it stood from white, and blended towards the base until `text`
/// reads on it.
QColor AdaptBackground(const QColor& design, const QColor& base, const QColor& text) {
    QColor adapted = design;
    if (!IsLight(base)) {
        const QColor hsl = design.toHsl();
        const float distance = 1.0f - hsl.lightnessF();
        adapted = QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(),
                                   std::min(1.0f, base.toHsl().lightnessF() + distance));
    }
    for (int step = 1; step <= 16 && ContrastRatio(text, adapted) < 4.5; ++step) {
        const float share = step / 16.0f;
        adapted = QColor::fromRgbF(adapted.redF() + (base.redF() - adapted.redF()) * share,
                                   adapted.greenF() + (base.greenF() - adapted.greenF()) * share,
                                   adapted.blueF() + (base.blueF() - adapted.blueF()) * share);
    }
    return adapted;
}

}  // namespace

QString HelpBrowser::AdaptStyleSheet(const QString& css, const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    static const QRegularExpression kRule(QStringLiteral("([^{}]*)\\{([^{}]*)\\}"));
    static const QRegularExpression kBackground(
        QStringLiteral("background-color\\s*:\\s*(#[0-9a-fA-F]{3,6})"));
    static const QRegularExpression kColour(
        QStringLiteral("(?<![-\\w])color\\s*:\\s*(#[0-9a-fA-F]{3,6})"));
    QString adapted;
    QList<QColor> backgrounds{base};
    for (const QRegularExpressionMatch& rule : kRule.globalMatch(css)) {
        QString body = rule.captured(2);
        QColor background = base;
        if (const QRegularExpressionMatch found = kBackground.match(body); found.hasMatch()) {
            background = AdaptBackground(QColor(found.captured(1)), base, text);
            backgrounds << background;
            body.replace(found.capturedStart(1), found.capturedLength(1), background.name());
        }
        if (const QRegularExpressionMatch found = kColour.match(body); found.hasMatch()) {
            body.replace(found.capturedStart(1), found.capturedLength(1),
                         ReadableOn(QColor(found.captured(1)), background).name());
        }
        adapted += rule.captured(1) + u'{' + body + u'}';
    }
    // Links may stand on any of the backgrounds.
    QColor link = palette.color(QPalette::Link);
    for (int round = 0; round < 2; ++round) {
        for (const QColor& background : std::as_const(backgrounds)) {
            link = ReadableOn(link, background);
        }
    }
    return adapted + QStringLiteral("\na { color: %1; }\n").arg(link.name());
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
        if (type == QTextDocument::StyleSheetResource) {
            return AdaptStyleSheet(QString::fromUtf8(data), palette());
        }
        if (type == QTextDocument::HtmlResource) return QString::fromUtf8(data);
        return data;
    }
    return QTextBrowser::loadResource(type, name);
}

void HelpBrowser::changeEvent(QEvent* event) {
    QTextBrowser::changeEvent(event);
    // The topic is drawn again in the new colours, its style sheet adapted afresh.
    if (event->type() == QEvent::PaletteChange && !source().isEmpty()) {
        const int position = verticalScrollBar()->value();
        document()->clear();
        reload();
        verticalScrollBar()->setValue(position);
    }
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
