// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windows/WordListEditor.h"

namespace quillet {

/// "Skip List": edits the skip list, table Lookup with its index Alpha and its entry
/// field Reject.
class SkipListForm final : public WordListEditor {
    Q_OBJECT

  public:
    explicit SkipListForm(QWidget* parent = nullptr);

    bool Load(const QString& databasePath) override;

  private:
    void SetupUi();
};

}  // namespace quillet
