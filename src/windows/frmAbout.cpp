// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmAbout.h"

#include "common/Utilities.h"
#include "windows/MainFormUi.h"
#include "windows/RegistryAccess.h"
#include "windows/TwipsGeometry.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QVersionNumber>
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

void SetTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
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

SystemInfoAccess::SystemInfoAccess(RegistryAccess& registry)
    : registry(registry), isFile(IsNormalFile), startProgram(StartDetached) {}

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
    // Drawn at the design scale the main window uses. Placed at its stored client origin on
    // the screen, not centred.
    const double scale = MainFormUi::DesignScale(font());
    const auto place = [scale](int left, int top, int width, int height) {
        return TwipsRect(left, top, width, height, scale);
    };
    const QRect frame = place(2340, 1935, 5730, 3555);
    setFixedSize(frame.size());
    setGeometry(frame);

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
    cmdOK->setGeometry(place(4245, 2625, 1260, 345));
    cmdOK->setDefault(true);

    cmdSysInfo = new QPushButton(tr("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(place(4260, 3075, 1245, 345));

    lblDisclaimer = new QLabel(this);  // the warning text is empty
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setGeometry(place(300, 2220, 3870, 1305));
    lblDisclaimer->setWordWrap(true);
    SetTextColour(lblDisclaimer, Qt::black);

    // A grey horizontal line from (120, 1860) to (5684, 1860), both ends drawn.
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(1);
    Line1->setGeometry(TwipsToPixels(120, scale), TwipsToPixels(1860, scale),
                       TwipsToPixels(5684, scale) - TwipsToPixels(120, scale) + 1, 1);
    QPalette linePalette = Line1->palette();
    linePalette.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    Line1->setPalette(linePalette);

    lblDescription = new QLabel(tr("Copyright \u00A9 2026 the Quillet developers"), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setGeometry(place(570, 1365, 4605, 210));
    SetTextColour(lblDescription, Qt::black);

    lblTitle = new QLabel(tr("Application Title"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(place(1050, 240, 3885, 480));
    SetTextColour(lblTitle, Qt::black);

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
