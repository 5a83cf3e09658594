// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordlists/WordListSnapshot.h"

#include "wordlists/WordListStore.h"

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

/// One pass's view of a snapshot. The answers it has given are kept by the name as the
/// pass asked, so a name the pass meets again costs no conversion.
class SnapshotLookup final : public WordListLookup {
  public:
    explicit SnapshotLookup(std::shared_ptr<const WordListSnapshot> lists)
        : lists_(std::move(lists)) {}

    std::optional<bool> inSkipList(QStringView name) override {
        return Lookup(skipMemo_, name, &WordListSnapshot::inSkipList);
    }
    std::optional<bool> inIncludeList(QStringView name) override {
        return Lookup(includeMemo_, name, &WordListSnapshot::inIncludeList);
    }
    StoreError lastError() const override { return {}; }

  private:
    using Memo = std::unordered_map<std::u16string, bool, NameHash, std::equal_to<>>;

    bool Lookup(Memo& memo, QStringView name, bool (WordListSnapshot::*holds)(QStringView) const) {
        const std::u16string_view key(reinterpret_cast<const char16_t*>(name.utf16()),
                                      size_t(name.size()));
        if (const auto hit = memo.find(key); hit != memo.end()) return hit->second;
        const bool found = ((*lists_).*holds)(name.toString().toLower());
        memo.emplace(std::u16string(key), found);
        return found;
    }

    std::shared_ptr<const WordListSnapshot> lists_;
    Memo skipMemo_;
    Memo includeMemo_;
};

}  // namespace

std::shared_ptr<const WordListSnapshot> WordListSnapshot::Read(const QString& path,
                                                               StoreError* error) {
    const auto db = WordListDatabase::Open(path, error);
    if (!db) return nullptr;
    auto lists = std::make_shared<WordListSnapshot>();
    const std::pair<const ListSchema*, List*> tables[] = {{&SkipListSchema(), &lists->skip_},
                                                          {&IncludeListSchema(), &lists->include_}};
    for (const auto& [schema, list] : tables) {
        const auto table = db->OpenTable(*schema, error);
        if (!table || !table->SetIndex(error)) return nullptr;
        QString collation;
        const std::optional<QStringList> entries = table->TextEntries(&collation, error);
        if (!entries) return nullptr;
        list->fill(*entries, collation);
    }
    return lists;
}

void WordListSnapshot::List::fill(const QStringList& entries, const QString& collation) {
    foldCase_ = collation == u"NOCASE";
    trimEnd_ = collation == u"RTRIM";
    entries_.reserve(size_t(entries.size()));
    for (const QString& entry : entries) entries_.insert(key(entry));
}

bool WordListSnapshot::List::holds(QStringView name) const {
    return entries_.contains(key(name));
}

std::u16string WordListSnapshot::List::key(QStringView entry) const {
    // SQLite's NOCASE folds the ASCII letters alone; RTRIM ignores spaces at the end.
    if (trimEnd_) {
        while (!entry.isEmpty() && entry.back() == u' ') entry.chop(1);
    }
    std::u16string key(reinterpret_cast<const char16_t*>(entry.utf16()), size_t(entry.size()));
    if (foldCase_) {
        for (char16_t& c : key) {
            if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
        }
    }
    return key;
}

std::unique_ptr<WordListLookup> SnapshotListSource::openLists(StoreError* error) {
    if (!lists_) {
        if (error) *error = StoreError{.kind = StoreError::Kind::Missing};
        return nullptr;
    }
    return std::make_unique<SnapshotLookup>(lists_);
}

}  // namespace quillet
