// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordlists/WordListSnapshot.h"

namespace quillet {

namespace {

/// One pass's view of a snapshot: the snapshot answers itself, without a lock.
class SnapshotLookup final : public WordListLookup {
  public:
    explicit SnapshotLookup(std::shared_ptr<const WordListSnapshot> lists)
        : lists_(std::move(lists)) {}

    std::optional<bool> inSkipList(QStringView name) override { return lists_->inSkipList(name); }
    std::optional<bool> inIncludeList(QStringView name) override {
        return lists_->inIncludeList(name);
    }
    StoreError lastError() const override { return {}; }
    bool answersFixed() const override { return true; }

  private:
    std::shared_ptr<const WordListSnapshot> lists_;
};

/// The slot of `key` in a table of `size` slots (a power of two).
size_t Slot(quint64 key, size_t size) {
    return size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & (size - 1);
}

}  // namespace

std::shared_ptr<const WordListSnapshot> WordListSnapshot::Read(const QString& path,
                                                               StoreError* error, LockWait wait) {
    const auto db = WordListDatabase::Open(path, error, std::move(wait));
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
    std::vector<quint64> short_;
    for (const QString& entry : entries) {
        const std::u16string form = key(entry);
        entries_.insert(form);
        if (form.empty()) holdsEmpty_ = true;
        // A packed name is lower-cased: an entry with a capital letter that its comparison
        // keeps is never met by one.
        const QStringView view(form.data(), qsizetype(form.size()));
        if (const quint64 number = packed(view); number != 0 && view.toString().toLower() == view) {
            short_.push_back(number);
        }
    }
    size_t size = 16;
    while (size < 4 * short_.size()) size *= 2;
    table_.assign(size, 0);
    for (const quint64 number : short_) {
        size_t slot = Slot(number, size);
        while (table_[slot] != 0 && table_[slot] != number) slot = (slot + 1) & (size - 1);
        table_[slot] = number;
    }
}

quint64 WordListSnapshot::List::packed(QStringView name) const {
    if (trimEnd_) {
        while (!name.isEmpty() && name.back() == u' ') name.chop(1);
    }
    if (name.isEmpty() || name.size() > 8) return 0;
    quint64 number = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char16_t c = name[i].unicode();
        if (c == 0 || c >= 0x80) return 0;
        if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
        number |= quint64(c) << (8 * i);
    }
    return number;
}

bool WordListSnapshot::List::holds(QStringView name) const {
    if (name.isEmpty()) return holdsEmpty_;
    if (const quint64 number = packed(name)) {
        for (size_t slot = Slot(number, table_.size());; slot = (slot + 1) & (table_.size() - 1)) {
            if (table_[slot] == number) return true;
            if (table_[slot] == 0) return false;
        }
    }
    return entries_.contains(key(name.toString().toLower()));
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
