// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windows/WordListEditor.h"

namespace quillet {

/// "Include List": edits the include list, table IncludeList with its index Include and
/// its entry field Include.
class IncludeList final : public WordListEditor {
    Q_OBJECT

  public:
    explicit IncludeList(QWidget* parent = nullptr);

    bool Load(const QString& databasePath) override;

  private:
    void SetupUi();
};

}  // namespace quillet
