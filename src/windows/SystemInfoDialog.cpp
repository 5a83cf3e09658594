// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/SystemInfoDialog.h"

#include "engine/Html5Paragraphs.h"
#include "windows/HelpViewer.h"
#include "windows/Utilities.h"

#include <Qsci/qsciglobal.h>
#include <sqlite3.h>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSysInfo>
#include <QVBoxLayout>

namespace quillet {

namespace {

/// A file's path, and what stands in the way when it is not there.
QString FileFact(const QString& path, const QString& whenMissing) {
    const QString shown = QDir::toNativeSeparators(path);
    return QFileInfo::exists(path) ? shown : QStringLiteral("%1 (%2)").arg(shown, whenMissing);
}

QString ScreenFact() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    QString fact = QGuiApplication::platformName();
    if (!screen) return fact;
    const QSize size = screen->size();
    fact += QStringLiteral(", screen %1 \u00d7 %2").arg(size.width()).arg(size.height());
    if (screen->devicePixelRatio() != 1.0) {
        fact += QStringLiteral(" at scale %1").arg(screen->devicePixelRatio());
    }
    fact += QStringLiteral(", text at %1 dpi").arg(qRound(screen->logicalDotsPerInch()));
    return fact;
}

}  // namespace

SystemInfoDialog::Facts SystemInfoDialog::Facts::Collect(const QString& wordListFile) {
    const QString notMade = tr("not made yet");
    const QString missing = tr("missing");
    Facts facts;
    facts.lines = {
        {tr("Quillet"), QStringLiteral(QUILLET_VERSION)},
        {tr("Operating system"), QSysInfo::prettyProductName()},
        {tr("Kernel"), QSysInfo::kernelType() + u' ' + QSysInfo::kernelVersion()},
        {tr("Processor"), QSysInfo::currentCpuArchitecture()},
        {tr("Qt"), QString::fromLatin1(qVersion())},
        {tr("QScintilla"), QStringLiteral(QSCINTILLA_VERSION_STR)},
        {tr("SQLite"), QString::fromLatin1(sqlite3_libversion())},
        {tr("HTML5 parser (gumbo)"), QStringLiteral(QUILLET_GUMBO_VERSION)},
        {tr("Window system"), ScreenFact()},
        {tr("Word lists"), FileFact(wordListFile, notMade)},
        {tr("Settings"), FileFact(QSettings().fileName(), notMade)},
        {tr("HTML5 parser helper"), FileFact(Html5HelperPath(), missing)},
        {tr("Help"), FileFact(HelpViewer::DefaultCollectionPath(), missing)},
    };
    return facts;
}

QString SystemInfoDialog::Facts::text() const {
    QString text;
    for (const auto& [name, value] : lines) text += name + QStringLiteral(": ") + value + u'\n';
    return text;
}

SystemInfoDialog::SystemInfoDialog(const Facts& facts, QWidget* parent)
    : QDialog(parent), facts_(facts) {
    setObjectName(QStringLiteral("SystemInfoDialog"));
    setWindowTitle(tr("System Information"));

    Details = new QPlainTextEdit(this);
    Details->setObjectName(QStringLiteral("Details"));
    Details->setReadOnly(true);
    Details->setPlainText(facts_.text().trimmed());
    Details->setAccessibleName(tr("System information"));
    // Wide enough for most lines, and as tall as the text, as far as the screen allows.
    const QFontMetrics metrics(Details->font());
    Details->setMinimumSize(metrics.averageCharWidth() * 24, metrics.lineSpacing() * 4);
    const QSize wanted(metrics.averageCharWidth() * 72,
                       metrics.lineSpacing() * (int(facts_.lines.size()) + 2));

    auto* buttons = new QDialogButtonBox(this);
    CopyButton = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
    CopyButton->setObjectName(QStringLiteral("CopyButton"));
    CopyButton->setToolTip(tr("Copy this information, to paste it into a report"));
    CloseButton = buttons->addButton(QDialogButtonBox::Close);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setDefault(true);
    connect(CopyButton, &QPushButton::clicked, this, &SystemInfoDialog::copy);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Details, 1);
    layout->addWidget(buttons);
    resize(sizeHint().expandedTo(wanted + QSize(24, buttons->sizeHint().height() + 24)));
    CenterForm(*this);
    CloseButton->setFocus();
}

void SystemInfoDialog::copy() {
    QApplication::clipboard()->setText(facts_.text());
}

}  // namespace quillet
