// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordlists/StoreListSource.h"

#include "wordlists/WordListStore.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace quillet {

namespace {

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view name) const noexcept {
        return std::hash<std::u16string_view>{}(name);
    }
};

/// Answers from the store for one pass, by name.
using Memo = std::unordered_map<std::u16string, bool, NameHash, std::equal_to<>>;

class PassLists final : public WordListLookup {
  public:
    PassLists(std::unique_ptr<WordListDatabase> db, std::unique_ptr<WordListTable> skip,
              std::unique_ptr<WordListTable> include)
        : db_(std::move(db)), skip_(std::move(skip)), include_(std::move(include)) {}

    std::optional<bool> inSkipList(QStringView name) override {
        return Lookup(*skip_, skipMemo_, name);
    }
    std::optional<bool> inIncludeList(QStringView name) override {
        return Lookup(*include_, includeMemo_, name);
    }
    StoreError lastError() const override { return error_; }
    /// Each answer is kept for the rest of the pass (see Lookup).
    bool answersFixed() const override { return true; }

  private:
    std::optional<bool> Lookup(WordListTable& table, Memo& memo, QStringView name) {
        const std::u16string_view key(reinterpret_cast<const char16_t*>(name.utf16()),
                                      size_t(name.size()));
        if (const auto hit = memo.find(key); hit != memo.end()) return hit->second;
        const std::optional<bool> found = table.Seek(name.toString().toLower(), &error_);
        if (!found) return std::nullopt;
        memo.emplace(std::u16string(key), *found);
        return found;
    }

    std::unique_ptr<WordListDatabase> db_;
    std::unique_ptr<WordListTable> skip_;
    std::unique_ptr<WordListTable> include_;
    Memo skipMemo_;
    Memo includeMemo_;
    StoreError error_;
};

}  // namespace

StoreListSource::StoreListSource(QString path) : path_(std::move(path)) {}

std::unique_ptr<WordListLookup> StoreListSource::openLists(StoreError* error) {
    auto db = WordListDatabase::Open(path_, error);
    if (!db) return nullptr;
    auto skip = db->OpenTable(SkipListSchema(), error);
    if (!skip) return nullptr;
    auto include = db->OpenTable(IncludeListSchema(), error);
    if (!include || !skip->SetIndex(error) || !include->SetIndex(error)) return nullptr;
    return std::make_unique<PassLists>(std::move(db), std::move(skip), std::move(include));
}

}  // namespace quillet
