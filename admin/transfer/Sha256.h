#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

// An incremental SHA-256 through libcrypto, whose processor-accelerated code keeps pace with a fast link;
// QCryptographicHash's portable one runs at a fraction of it and would cap every transfer.
class Sha256 final
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void reset();
    void addData(QByteArrayView bytes);
    // The digest of everything added since the last reset, as 64 lower-case hexadecimal digits.
    QByteArray hexResult();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};
