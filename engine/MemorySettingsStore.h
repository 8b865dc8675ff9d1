#pragma once

#include "engine/SettingsStore.h"

#include <QHash>
#include <QSet>
#include <map>

// A store held in memory, for tests: keys can be made to refuse opening, values of any type can be
// planted directly, and every key opened is counted.
class MemorySettingsStore final : public SettingsStore
{
public:
    enum class Type { String, Integer, Binary };
    struct Value
    {
        Type type = Type::String;
        QByteArray bytes;
        qint32 number = 0;
    };
    using Values = QHash<QString, Value>;

    MemorySettingsStore() = default;
    Q_DISABLE_COPY_MOVE(MemorySettingsStore)

    std::unique_ptr<SettingsKey> openKey(QAnyStringView keyPath) override;

    void setUnopenable(QAnyStringView keyPath, bool unopenable = true);
    // Every write fails while the key still opens, as on a full disk.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    void plant(QAnyStringView keyPath, QAnyStringView name, Value value);
    // Null when the key was never created.
    const Values *values(QAnyStringView keyPath) const;
    int openCount() const { return m_openCount; }

private:
    static QString normalised(QAnyStringView keyPath);

    std::map<QString, Values> m_keys; // nodes stay put while a key refers to them
    QSet<QString> m_unopenable;
    bool m_readOnly = false;
    int m_openCount = 0;
};
