#include "engine/MemorySettingsStore.h"

namespace {

class MemorySettingsKey final : public SettingsKey
{
public:
    using Type = MemorySettingsStore::Type;
    using Value = MemorySettingsStore::Value;

    MemorySettingsKey(MemorySettingsStore::Values &values, const bool &readOnly)
        : m_values(values), m_readOnly(readOnly)
    {
    }
    Q_DISABLE_COPY_MOVE(MemorySettingsKey)

    bool exists(QAnyStringView name) const override { return m_values.contains(name.toString()); }
    std::optional<QByteArray> readString(QAnyStringView name) const override
    {
        const Value *value = find(name, Type::String);
        return value ? std::optional(value->bytes) : std::nullopt;
    }
    std::optional<qint32> readInteger(QAnyStringView name) const override
    {
        const Value *value = find(name, Type::Integer);
        return value ? std::optional(value->number) : std::nullopt;
    }
    std::optional<QByteArray> readBinary(QAnyStringView name) const override
    {
        const Value *value = find(name, Type::Binary);
        return value ? std::optional(value->bytes) : std::nullopt;
    }
    bool writeString(QAnyStringView name, const QByteArray &bytes) override
    {
        return write(name, {Type::String, bytes, 0});
    }
    bool writeInteger(QAnyStringView name, qint32 number) override { return write(name, {Type::Integer, {}, number}); }
    bool writeBinary(QAnyStringView name, const QByteArray &bytes) override
    {
        return write(name, {Type::Binary, bytes, 0});
    }
    bool remove(QAnyStringView name) override
    {
        if (m_readOnly)
            return !exists(name);
        m_values.remove(name.toString());
        return true;
    }

private:
    const Value *find(QAnyStringView name, Type type) const
    {
        const auto it = m_values.constFind(name.toString());
        return it != m_values.cend() && it->type == type ? &*it : nullptr;
    }
    bool write(QAnyStringView name, Value value)
    {
        if (m_readOnly)
            return false;
        m_values.insert(name.toString(), std::move(value));
        return true;
    }

    MemorySettingsStore::Values &m_values;
    const bool &m_readOnly;
};

} // namespace

QString MemorySettingsStore::normalised(QAnyStringView keyPath)
{
    // Registry key paths ignore case.
    return keyPath.toString().toLower();
}

std::unique_ptr<SettingsKey> MemorySettingsStore::openKey(QAnyStringView keyPath)
{
    ++m_openCount;
    const QString path = normalised(keyPath);
    if (m_unopenable.contains(path))
        return nullptr;
    return std::make_unique<MemorySettingsKey>(m_keys[path], m_readOnly);
}

void MemorySettingsStore::setUnopenable(QAnyStringView keyPath, bool unopenable)
{
    if (unopenable)
        m_unopenable.insert(normalised(keyPath));
    else
        m_unopenable.remove(normalised(keyPath));
}

void MemorySettingsStore::plant(QAnyStringView keyPath, QAnyStringView name, Value value)
{
    m_keys[normalised(keyPath)].insert(name.toString(), std::move(value));
}

const MemorySettingsStore::Values *MemorySettingsStore::values(QAnyStringView keyPath) const
{
    const auto it = m_keys.find(normalised(keyPath));
    return it != m_keys.end() ? &it->second : nullptr;
}
