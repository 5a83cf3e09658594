// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmAbout.h"

#include "mainwindow/MainFormUi.h"
#include "registry/RegistryAccess.h"
#include "windows/SystemInfoDialog.h"
#include "windows/TwipsGeometry.h"
#include "windows/Utilities.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QVersionNumber>
#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

const QString kApplicationTitle = QStringLiteral("Quillet");

bool IsNormalFile(const QString& path) {
    return QFileInfo(path).isFile();
}

bool StartDetached(const QString& program) {
    // Program and (no) arguments go to the system as they are: no shell parses the path.
    return QProcess::startDetached(program, QStringList());
}

}  // namespace

const QString frmAbout::kSysInfoPathKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString frmAbout::kSysInfoPathValue = QStringLiteral("PATH");
const QString frmAbout::kSysInfoFolderKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString frmAbout::kSysInfoFolderValue = QStringLiteral("MSINFO");
const QString frmAbout::kSysInfoProgram = QStringLiteral("\\MSINFO32.EXE");
const QString frmAbout::kSysInfoUnavailable =
    QStringLiteral("System Information Is Unavailable At This Time");

SystemInfoAccess::SystemInfoAccess(RegistryAccess& registry, QString wordListFile)
    : registry(registry),
#ifdef Q_OS_WIN
      registryTool(true),
#else
      registryTool(false),
#endif
      wordListFile(std::move(wordListFile)),
      isFile(IsNormalFile),
      startProgram(StartDetached) {
}

frmAbout::frmAbout(SystemInfoAccess access, QWidget* parent)
    : QDialog(parent), access_(std::move(access)) {
    SetupUi();
    Load();
}

// The window's definition: frame, size, place, and the controls in their creation order,
// in twips as the layout was drawn.
void frmAbout::SetupUi() {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("About MyApp"));
    // Drawn at the design scale the main window uses, smaller where the screen is.
    const double scale = MainFormUi::ScreenScale(*this, 5730, 2985);
    const auto place = [scale](int left, int top, int width, int height) {
        return TwipsRect(left, top, width, height, scale);
    };
    setFixedSize(place(0, 0, 5730, 2985).size());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    const int side = int(std::lround(32 * scale));
    QPixmap picture = icon.pixmap(side, side);
    if (picture.size() != QSize(side, side)) {
        picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    picIcon->setPixmap(picture);
    // The picture box sizes itself to its picture and border.
    const int border = picIcon->frameWidth();
    picIcon->setGeometry(TwipsToPixels(240, scale), TwipsToPixels(240, scale), side + 2 * border,
                         side + 2 * border);

    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    // The buttons stand right below the line, beside the (empty) warning.
    cmdOK->setGeometry(place(4245, 2055, 1260, 345));
    cmdOK->setDefault(true);

    cmdSysInfo = new QPushButton(tr("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(place(4260, 2505, 1245, 345));

    lblDisclaimer = new QLabel(this);  // the warning text is empty
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setGeometry(place(300, 2055, 3870, 795));
    lblDisclaimer->setWordWrap(true);

    // A horizontal line from (120, 1860) to (5684, 1860), both ends drawn, in the
    // palette's colour for lines, so that it shows on a dark palette too.
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(1);
    Line1->setForegroundRole(QPalette::Mid);
    Line1->setGeometry(TwipsToPixels(120, scale), TwipsToPixels(1860, scale),
                       TwipsToPixels(5684, scale) - TwipsToPixels(120, scale) + 1, 1);

    lblDescription = new QLabel(tr("Copyright \u00A9 2026 the Quillet developers"), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setGeometry(place(570, 1365, 4605, 210));

    lblTitle = new QLabel(tr("Application Title"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(place(1050, 240, 3885, 480));

    lblVersion = new QLabel(tr("Version"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(place(1050, 780, 3885, 225));

    for (QLabel* label : {picIcon, lblDisclaimer, lblDescription, lblTitle, lblVersion}) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    // Only the buttons take the focus: OK first, then System Info.
    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    // OK is the default and the cancel button: Enter and Escape reach accept and reject.
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
}

void frmAbout::Load() {
    setWindowTitle(tr("About %1").arg(kApplicationTitle));
    const QVersionNumber version = QVersionNumber::fromString(QStringLiteral(QUILLET_VERSION));
    lblVersion->setText(tr("Version %1.%2.%3")
                            .arg(version.majorVersion())
                            .arg(version.minorVersion())
                            .arg(version.microVersion()));
    lblTitle->setText(kApplicationTitle);
}

void frmAbout::StartSysInfo() {
    if (!access_.registryTool) {
        SystemInfoDialog info(SystemInfoDialog::Facts::Collect(access_.wordListFile), this);
        info.exec();
        return;
    }
    // The About box's message comes without the beep of the other messages.
    const auto unavailable = [this] {
        ShowNotice(tr("System Information Is Unavailable At This Time"), this);
    };
    QString sysInfoPath;
    auto start = [&] {
        if (!access_.startProgram(sysInfoPath)) unavailable();
    };

    // The first entry names the program itself; it is used as it stands.
    switch (ReadKeyValue(RegistryAccess::kLocalMachine, kSysInfoPathKey, kSysInfoPathValue,
                         sysInfoPath)) {
        case ValueRead::Read:
            start();
            return;
        case ValueRead::Unusable:
            unavailable();
            return;
        case ValueRead::NotRead:
            break;
    }
    // The second names the folder that holds it.
    if (ReadKeyValue(RegistryAccess::kLocalMachine, kSysInfoFolderKey, kSysInfoFolderValue,
                     sysInfoPath) == ValueRead::Read &&
        access_.isFile(sysInfoPath + kSysInfoProgram)) {
        sysInfoPath += kSysInfoProgram;
        start();
        return;
    }
    unavailable();
}

bool frmAbout::GetKeyValue(quint32 rootKey, const QString& keyPath, const QString& valueName,
                           QString& keyValue) {
    return ReadKeyValue(rootKey, keyPath, valueName, keyValue) == ValueRead::Read;
}

frmAbout::ValueRead frmAbout::ReadKeyValue(quint32 rootKey, const QString& keyPath,
                                           const QString& valueName, QString& keyValue) {
    RegistryAccess& registry = access_.registry;
    RegistryAccess::KeyHandle key = 0;
    if (registry.OpenKey(rootKey, keyPath.toLocal8Bit(), RegistryAccess::kKeyAllAccess, &key) !=
        RegistryAccess::kSuccess) {
        keyValue.clear();
        return ValueRead::NotRead;
    }
    // The key is closed on every way out from here.
    struct KeyCloser {
        RegistryAccess& registry;
        RegistryAccess::KeyHandle key;
        ~KeyCloser() { registry.CloseKey(key); }
    } closer{registry, key};

    QByteArray buffer(kValueBufferSize, '\0');
    quint32 byteCount = quint32(buffer.size());
    quint32 type = 0;
    if (registry.QueryValue(key, valueName.toLocal8Bit(), &type, buffer.data(), &byteCount) !=
        RegistryAccess::kSuccess) {
        keyValue.clear();
        return ValueRead::NotRead;
    }
    // A value of no bytes has no last character to test: it is read as nothing usable.
    if (byteCount == 0) {
        keyValue.clear();
        return ValueRead::Unusable;
    }
    // A text stored with its terminating zero loses it; one stored without stays whole.
    QByteArray kept = buffer.left(int(qMin<quint32>(byteCount, quint32(buffer.size()))));
    if (kept.endsWith('\0')) kept.chop(1);

    if (type == RegistryAccess::kTypeText) {
        keyValue = QString::fromLocal8Bit(kept);
    } else if (type == RegistryAccess::kTypeDword) {
        // "&h" and two hexadecimal digits per kept byte, the last byte (the most
        // significant of the little-endian number) first.
        QString text = QStringLiteral("&h");
        for (qsizetype i = kept.size() - 1; i >= 0; --i) {
            text += QStringLiteral("%1").arg(uchar(kept[i]), 2, 16, QLatin1Char('0')).toUpper();
        }
        keyValue = text;
    }
    // Any other type leaves the caller's text as it was.
    return ValueRead::Read;
}

}  // namespace quillet
