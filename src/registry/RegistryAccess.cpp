// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/RegistryAccess.h"

#include "registry/EmptyRegistry.h"
#include "registry/WindowsRegistry.h"

namespace quillet {

std::unique_ptr<RegistryAccess> CreateSystemRegistry() {
#ifdef Q_OS_WIN
    return std::make_unique<WindowsRegistry>();
#else
    return std::make_unique<EmptyRegistry>();
#endif
}

}  // namespace quillet
