#include "admin/transfer/Sha256.h"

#include <openssl/evp.h>

struct Sha256::Context
{
    EVP_MD_CTX *md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256() : m_context(std::make_unique<Context>())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    EVP_DigestInit_ex(m_context->md, EVP_sha256(), nullptr);
}

void Sha256::addData(QByteArrayView bytes)
{
    EVP_DigestUpdate(m_context->md, bytes.data(), size_t(bytes.size()));
}

QByteArray Sha256::hexResult()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->md, digest, &length);
    reset();
    return QByteArray(reinterpret_cast<const char *>(digest), length).toHex();
}
