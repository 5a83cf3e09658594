#pragma once

#include "windows/RegistryAccess.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>

namespace quillet::test {

/// A registry held in memory that records which keys were opened and closed.
class FakeRegistry final : public RegistryAccess {
  public:
    struct Value {
        quint32 type = kTypeText;
        QByteArray bytes;
    };

    /// Stores a value under HKEY_LOCAL_MACHINE.
    void Set(const QByteArray& key, const QByteArray& name, Value value);
    /// Makes opening `key` fail with `status`, as a refused access does.
    void Refuse(const QByteArray& key, long status) { refused_[key] = status; }

    long OpenKey(quint32 root, const QByteArray& path, quint32 access, KeyHandle* key) override;
    long QueryValue(KeyHandle key, const QByteArray& name, quint32* type, char* buffer,
                    quint32* byteCount) override;
    long CloseKey(KeyHandle key) override;

    QList<QByteArray> opened;  ///< the keys opened, in order
    QList<quint32> accessMasks;
    int closes = 0;
    /// Keys opened and not closed yet.
    int OpenCount() const { return int(open_.size()); }

  private:
    QMap<QByteArray, QMap<QByteArray, Value>> keys_;
    QMap<QByteArray, long> refused_;
    QMap<KeyHandle, QByteArray> open_;
    KeyHandle next_ = 100;
};

}  // namespace quillet::test
