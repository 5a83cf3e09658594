// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WordListLookup.h"

#include <QString>

namespace quillet {

/// Opens the word-list database for each Fix File pass: the database, table Lookup,
/// table IncludeList, then each table's index. Answers that a pass has already had from
/// the store are kept for the rest of that pass only, so every distinct name costs one
/// indexed seek and no read of the file stays open while the pass yields.
class StoreListSource final : public WordListSource {
  public:
    explicit StoreListSource(QString path);

    std::unique_ptr<WordListLookup> openLists(StoreError* error) override;

    const QString& path() const { return path_; }

  private:
    QString path_;
};

}  // namespace quillet
