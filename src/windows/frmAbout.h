// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace quillet {

class RegistryAccess;

/// What the System Info command reaches outside the program; tests replace each part.
struct SystemInfoAccess {
    explicit SystemInfoAccess(RegistryAccess& registry, QString wordListFile = QString());

    RegistryAccess& registry;
    /// Whether System Info starts the system information tool that the registry names, as
    /// on Windows; elsewhere it shows the program's own SystemInfoDialog.
    bool registryTool;
    /// The word-list file in use, which the program's own System Info names.
    QString wordListFile;
    /// Whether `path` names an existing normal file.
    std::function<bool(const QString& path)> isFile;
    /// Starts `program` as a new process, without a shell and without waiting for it;
    /// false when it could not be started.
    std::function<bool(const QString& program)> startProgram;
};

/// The About box: the application's icon, title, version and copyright, an OK button and
/// a System Info button. On Windows, System Info starts the system information tool found
/// in the registry; elsewhere it shows what a report of a fault needs (SystemInfoDialog).
/// The box opens over the middle of its parent window.
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    /// The registry keys and values that lead to the system information tool.
    static const QString kSysInfoPathKey;      ///< holds the full path of the tool's program
    static const QString kSysInfoPathValue;    ///< "PATH"
    static const QString kSysInfoFolderKey;    ///< holds the folder of the tool
    static const QString kSysInfoFolderValue;  ///< "MSINFO"
    static const QString kSysInfoProgram;      ///< appended to the folder: "\MSINFO32.EXE"
    static const QString kSysInfoUnavailable;  ///< the message when the tool cannot be started

    /// Size of the buffer a registry value is read into.
    static constexpr int kValueBufferSize = 1024;

    explicit frmAbout(SystemInfoAccess access, QWidget* parent = nullptr);

    /// Starts the system information tool, or tells the user that it is unavailable; or,
    /// where there is no such tool, shows the program's own system information.
    void StartSysInfo();
    /// Reads the text of the value `valueName` of the key `keyPath` under `rootKey` into
    /// `keyValue`. True when it was read; false, with `keyValue` emptied, when the key or
    /// value is missing, the value is larger than the buffer, or access is refused.
    bool GetKeyValue(quint32 rootKey, const QString& keyPath, const QString& valueName,
                     QString& keyValue);

    // Controls, in their creation order.
    QLabel* picIcon = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;

  private:
    enum class ValueRead { Read, NotRead, Unusable };

    void SetupUi();
    void Load();
    ValueRead ReadKeyValue(quint32 rootKey, const QString& keyPath, const QString& valueName,
                           QString& keyValue);

    SystemInfoAccess access_;
};

}  // namespace quillet
