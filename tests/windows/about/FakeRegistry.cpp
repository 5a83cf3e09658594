#include "FakeRegistry.h"

#include <cstring>

namespace quillet::test {

void FakeRegistry::Set(const QByteArray& key, const QByteArray& name, Value value) {
    keys_[key][name] = std::move(value);
}

long FakeRegistry::OpenKey(quint32 root, const QByteArray& path, quint32 access, KeyHandle* key) {
    accessMasks << access;
    if (root != kLocalMachine || !keys_.contains(path)) return kFileNotFound;
    if (refused_.contains(path)) return refused_[path];
    opened << path;
    *key = next_++;
    open_[*key] = path;
    return kSuccess;
}

long FakeRegistry::QueryValue(KeyHandle key, const QByteArray& name, quint32* type, char* buffer,
                              quint32* byteCount) {
    if (!open_.contains(key)) return 6;  // ERROR_INVALID_HANDLE
    const auto& values = keys_[open_[key]];
    if (!values.contains(name)) return kFileNotFound;
    const Value& value = values[name];
    *type = value.type;
    if (quint32(value.bytes.size()) > *byteCount) {
        *byteCount = quint32(value.bytes.size());
        return kMoreData;
    }
    std::memcpy(buffer, value.bytes.constData(), size_t(value.bytes.size()));
    *byteCount = quint32(value.bytes.size());
    return kSuccess;
}

long FakeRegistry::CloseKey(KeyHandle key) {
    ++closes;
    return open_.remove(key) == 1 ? kSuccess : 6;
}

}  // namespace quillet::test
