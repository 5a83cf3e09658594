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
    QString errorText() const override { return error_; }

  private:
    std::optional<bool> Lookup(WordListTable& table, Memo& memo, QStringView name) {
        const std::u16string_view key(reinterpret_cast<const char16_t*>(name.utf16()),
                                      size_t(name.size()));
        if (const auto hit = memo.find(key); hit != memo.end()) return hit->second;
        StoreError error;
        const std::optional<bool> found = table.Seek(name.toString().toLower(), &error);
        if (!found) {
            error_ = error.message;
            return std::nullopt;
        }
        memo.emplace(std::u16string(key), *found);
        return found;
    }

    std::unique_ptr<WordListDatabase> db_;
    std::unique_ptr<WordListTable> skip_;
    std::unique_ptr<WordListTable> include_;
    Memo skipMemo_;
    Memo includeMemo_;
    QString error_;
};

}  // namespace

StoreListSource::StoreListSource(QString path) : path_(std::move(path)) {}

std::unique_ptr<WordListLookup> StoreListSource::openLists(QString* error) {
    StoreError failure;
    auto report = [&]() -> std::unique_ptr<WordListLookup> {
        if (error) *error = failure.message;
        return nullptr;
    };
    auto db = WordListDatabase::Open(path_, &failure);
    if (!db) return report();
    auto skip = db->OpenTable(SkipListSchema(), &failure);
    if (!skip) return report();
    auto include = db->OpenTable(IncludeListSchema(), &failure);
    if (!include) return report();
    if (!skip->SetIndex(SkipListSchema().index, &failure)) return report();
    if (!include->SetIndex(IncludeListSchema().index, &failure)) return report();
    return std::make_unique<PassLists>(std::move(db), std::move(skip), std::move(include));
}

}  // namespace quillet
