#include "install/ContentHash.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QLibrary>

// An install hashes every byte it writes and every original it keeps. The system's crypto
// library uses the processor's SHA instructions where it has them, many times faster than
// Qt's portable hash; it is loaded at the first hash, not with every start, and without it
// the portable hash gives the same names.
#ifdef VELDRIN_LIBCRYPTO_FILE
#include <openssl/evp.h>
#endif

namespace history {

namespace {

#ifdef VELDRIN_LIBCRYPTO_FILE
struct Crypto
{
    decltype(&::EVP_MD_CTX_new) newContext = nullptr;
    decltype(&::EVP_MD_CTX_free) freeContext = nullptr;
    decltype(&::EVP_sha256) sha256 = nullptr;
    decltype(&::EVP_DigestInit_ex) init = nullptr;
    decltype(&::EVP_DigestUpdate) update = nullptr;
    decltype(&::EVP_DigestFinal_ex) final = nullptr;
};

const Crypto *crypto()
{
    static const Crypto *const loaded = []() -> const Crypto * {
        // Never unloaded (a QLibrary left alone does not unload): hashes may be made until the
        // program ends.
        static QLibrary library(QStringLiteral(VELDRIN_LIBCRYPTO_FILE));
        static Crypto found;
        found.newContext = reinterpret_cast<decltype(found.newContext)>(library.resolve("EVP_MD_CTX_new"));
        found.freeContext = reinterpret_cast<decltype(found.freeContext)>(library.resolve("EVP_MD_CTX_free"));
        found.sha256 = reinterpret_cast<decltype(found.sha256)>(library.resolve("EVP_sha256"));
        found.init = reinterpret_cast<decltype(found.init)>(library.resolve("EVP_DigestInit_ex"));
        found.update = reinterpret_cast<decltype(found.update)>(library.resolve("EVP_DigestUpdate"));
        found.final = reinterpret_cast<decltype(found.final)>(library.resolve("EVP_DigestFinal_ex"));
        if (found.newContext && found.freeContext && found.sha256 && found.init && found.update && found.final)
            return &found;
        return nullptr;
    }();
    return loaded;
}
#endif

} // namespace

struct ContentHash::State
{
#ifdef VELDRIN_LIBCRYPTO_FILE
    const Crypto *api = crypto();
    EVP_MD_CTX *context = nullptr;
#endif
    QCryptographicHash portable{QCryptographicHash::Sha256};
    bool failed = false; // the crypto library refused bytes it had begun on: no name at all

    State()
    {
#ifdef VELDRIN_LIBCRYPTO_FILE
        if (api && !(context = api->newContext()))
            api = nullptr;
        start();
#endif
    }
    ~State()
    {
#ifdef VELDRIN_LIBCRYPTO_FILE
        if (context)
            api->freeContext(context);
#endif
    }
    // Each hash is made by one of the two from its first byte to its last.
    void start()
    {
        failed = false;
        portable.reset();
#ifdef VELDRIN_LIBCRYPTO_FILE
        if (context && api->init(context, api->sha256(), nullptr) != 1) {
            api->freeContext(context);
            context = nullptr;
        }
#endif
    }
};

ContentHash::ContentHash() : d(std::make_unique<State>()) {}

ContentHash::~ContentHash() = default;

void ContentHash::add(const char *data, qsizetype size)
{
    if (size <= 0)
        return;
#ifdef VELDRIN_LIBCRYPTO_FILE
    if (d->context) {
        d->failed = d->failed || d->api->update(d->context, data, size_t(size)) != 1;
        return;
    }
#endif
    d->portable.addData(QByteArrayView(data, size));
}

QString ContentHash::hex()
{
    QByteArray digest;
#ifdef VELDRIN_LIBCRYPTO_FILE
    if (d->context) {
        unsigned char bytes[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!d->failed && d->api->final(d->context, bytes, &length) == 1)
            digest = QByteArray(reinterpret_cast<const char *>(bytes), int(length));
    } else
#endif
    {
        digest = d->portable.result();
    }
    d->start();
    return QString::fromLatin1(digest.toHex());
}

void ContentHash::add(const QByteArray &bytes) { add(bytes.constData(), bytes.size()); }

} // namespace history
