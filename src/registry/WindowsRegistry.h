// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryAccess.h"

#ifdef Q_OS_WIN

namespace quillet {

/// The Windows registry, through the 8-bit functions of advapi32.
class WindowsRegistry final : public RegistryAccess {
  public:
    long OpenKey(quint32 root, const QByteArray& path, quint32 access, KeyHandle* key) override;
    long QueryValue(KeyHandle key, const QByteArray& name, quint32* type, char* buffer,
                    quint32* byteCount) override;
    long CloseKey(KeyHandle key) override;
};

}  // namespace quillet

#endif
