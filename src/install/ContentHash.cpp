#include "install/ContentHash.h"

#include <QByteArray>

// An install hashes every byte it writes and every original it keeps. The system's crypto
// library uses the processor's SHA instructions where it has them, a dozen times faster than
// a portable implementation; without it the portable one gives the same names.
#ifdef VELDRIN_OPENSSL_HASH
#include <openssl/evp.h>
#else
#include <QCryptographicHash>
#endif

namespace history {

#ifdef VELDRIN_OPENSSL_HASH
struct ContentHash::State
{
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(ctx); }
    void start() { EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr); }
};

ContentHash::ContentHash() : d(std::make_unique<State>()) { d->start(); }

void ContentHash::add(const char *data, qsizetype size)
{
    if (size > 0)
        EVP_DigestUpdate(d->ctx, data, size_t(size));
}

QString ContentHash::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(d->ctx, digest, &length);
    d->start();
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex());
}
#else
struct ContentHash::State
{
    QCryptographicHash hash{QCryptographicHash::Sha256};
};

ContentHash::ContentHash() : d(std::make_unique<State>()) {}

void ContentHash::add(const char *data, qsizetype size)
{
    if (size > 0)
        d->hash.addData(QByteArrayView(data, size));
}

QString ContentHash::hex()
{
    const QString hex = QString::fromLatin1(d->hash.result().toHex());
    d->hash.reset();
    return hex;
}
#endif

ContentHash::~ContentHash() = default;

void ContentHash::add(const QByteArray &bytes) { add(bytes.constData(), bytes.size()); }

} // namespace history
