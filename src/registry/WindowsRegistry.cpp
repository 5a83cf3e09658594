// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/WindowsRegistry.h"

#ifdef Q_OS_WIN

#include <windows.h>

namespace quillet {

namespace {

HKEY ToHandle(RegistryAccess::KeyHandle key) {
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

long WindowsRegistry::OpenKey(quint32 root, const QByteArray& path, quint32 access,
                              KeyHandle* key) {
    // The predefined root keys are sign-extended 32-bit values, as the HKEY_* macros make them.
    const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(rootKey, path.constData(), 0, access, &opened);
    *key = status == ERROR_SUCCESS ? reinterpret_cast<KeyHandle>(opened) : 0;
    return status;
}

long WindowsRegistry::QueryValue(KeyHandle key, const QByteArray& name, quint32* type, char* buffer,
                                 quint32* byteCount) {
    DWORD valueType = 0;
    DWORD bytes = *byteCount;
    const LONG status = RegQueryValueExA(ToHandle(key), name.constData(), nullptr, &valueType,
                                         reinterpret_cast<BYTE*>(buffer), &bytes);
    *type = valueType;
    *byteCount = bytes;
    return status;
}

long WindowsRegistry::CloseKey(KeyHandle key) {
    return RegCloseKey(ToHandle(key));
}

}  // namespace quillet

#endif
