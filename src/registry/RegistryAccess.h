// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>

namespace quillet {

/// The three registry operations the About box needs, with the platform's status codes
/// (0 is success). Texts travel in the system's 8-bit code page, as the platform's
/// 8-bit registry functions take and give them.
class RegistryAccess {
  public:
    using KeyHandle = quintptr;

    /// Root key HKEY_LOCAL_MACHINE.
    static constexpr quint32 kLocalMachine = 0x80000002u;
    /// Access mask KEY_READ | KEY_WRITE, as the key is opened.
    static constexpr quint32 kKeyAllAccess = 0x2003Fu;
    /// Value types.
    static constexpr quint32 kTypeText = 1;   ///< REG_SZ
    static constexpr quint32 kTypeDword = 4;  ///< REG_DWORD
    /// Statuses.
    static constexpr long kSuccess = 0;
    static constexpr long kFileNotFound = 2;

    virtual ~RegistryAccess() = default;

    /// Opens `path` under `root`; on success `*key` is the open key.
    virtual long OpenKey(quint32 root, const QByteArray& path, quint32 access, KeyHandle* key) = 0;
    /// Reads the value `name` of `key` into `buffer`, which holds `*byteCount` bytes. On
    /// success `*type` is the value's type and `*byteCount` the number of bytes written; a
    /// value larger than the buffer fails (ERROR_MORE_DATA) with `*byteCount` its size.
    virtual long QueryValue(KeyHandle key, const QByteArray& name, quint32* type, char* buffer,
                            quint32* byteCount) = 0;
    /// Closes a key that OpenKey opened.
    virtual long CloseKey(KeyHandle key) = 0;
};

/// The registry of the system the program runs on: the real one on Windows, and on other
/// platforms one without any keys.
std::unique_ptr<RegistryAccess> CreateSystemRegistry();

}  // namespace quillet
