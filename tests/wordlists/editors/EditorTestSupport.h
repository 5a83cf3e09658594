#pragma once

#include "TestSupport.h"
#include "wordlists/WordListStore.h"

#include <QString>
#include <QStringList>

namespace quillet::test {

/// A working folder holding a SkipList.db whose two lists hold exactly what a test says.
class ListFolder {
  public:
    ListFolder(const QStringList& skip, const QStringList& include);
    ~ListFolder();

    QString databasePath() const { return dir_.file(DefaultDatabasePath()); }
    /// A list as the store now holds it, in index order.
    QStringList Stored(const ListSchema& schema) const;

  private:
    ScopedWorkingDir dir_;
};

}  // namespace quillet::test
