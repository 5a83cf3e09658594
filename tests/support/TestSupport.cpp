// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include <QFile>

namespace quillet::test {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool PutFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

namespace {

class MemoryLookup final : public WordListLookup {
  public:
    explicit MemoryLookup(MemoryWordLists& lists) : lists_(lists) {}
    ~MemoryLookup() override { ++lists_.closes; }

    std::optional<bool> inSkipList(QStringView name) override { return Find(lists_.skip, name); }
    std::optional<bool> inIncludeList(QStringView name) override {
        return Find(lists_.include, name);
    }
    StoreError lastError() const override {
        return StoreError{.kind = StoreError::Kind::Other,
                          .reason = QStringLiteral("lookup failed")};
    }
    bool answersFixed() const override { return lists_.answersFixed; }

  private:
    std::optional<bool> Find(const QSet<QString>& set, QStringView name) {
        if (lists_.failAfterLookups >= 0 && lists_.lookups >= lists_.failAfterLookups)
            return std::nullopt;
        ++lists_.lookups;
        return set.contains(name.toString());
    }
    MemoryWordLists& lists_;
};

}  // namespace

std::unique_ptr<WordListLookup> MemoryWordLists::openLists(StoreError* error) {
    if (failOpen) {
        if (error) {
            *error = StoreError{.kind = StoreError::Kind::Other,
                                .reason = QStringLiteral("lists unavailable")};
        }
        return nullptr;
    }
    ++opens;
    return std::make_unique<MemoryLookup>(*this);
}

}  // namespace quillet::test
