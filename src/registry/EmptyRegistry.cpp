// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/EmptyRegistry.h"

namespace quillet {

long EmptyRegistry::OpenKey(quint32, const QByteArray&, quint32, KeyHandle* key) {
    if (key) *key = 0;
    return kFileNotFound;
}

long EmptyRegistry::QueryValue(KeyHandle, const QByteArray&, quint32*, char*, quint32*) {
    return kFileNotFound;
}

long EmptyRegistry::CloseKey(KeyHandle) {
    return kSuccess;
}

}  // namespace quillet
