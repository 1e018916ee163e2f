#include "platform/sha256.h"

#include "platform/errors.h"
#include "platform/posixfile.h"

#include <openssl/evp.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace sha256 {
namespace {

struct Context {
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    Context()
    {
        if (!ctx || EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(ctx); // the destructor does not run for a throwing constructor
            throw TavoError(u"Nie można obliczyć sumy SHA-256."_s);
        }
    }
    ~Context() { EVP_MD_CTX_free(ctx); }
    void update(const void *data, size_t size) { EVP_DigestUpdate(ctx, data, size); }
    QByteArray final()
    {
        QByteArray out(EVP_MAX_MD_SIZE, Qt::Uninitialized);
        unsigned int length = 0;
        EVP_DigestFinal_ex(ctx, reinterpret_cast<unsigned char *>(out.data()), &length);
        out.resize(length);
        return out;
    }
};

} // namespace

QByteArray of(const QByteArray &bytes)
{
    Context c;
    c.update(bytes.constData(), size_t(bytes.size()));
    return c.final();
}

struct Running::Context : sha256::Context {
};

Running::Running() : m_context(std::make_unique<Context>()) {}

Running::~Running() = default;

void Running::add(const char *data, qsizetype size)
{
    m_context->update(data, size_t(size));
}

QByteArray Running::result()
{
    return m_context->final();
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(of(bytes).toHex());
}

QByteArray ofFile(const QString &path)
{
    Context c; // before open, so that its failure leaves no descriptor behind
    posixfile::File file = posixfile::openForReading(path);
    constexpr qint64 chunk = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[chunk]);
    while (const qint64 n = file.read(buffer.get(), chunk))
        c.update(buffer.get(), size_t(n));
    return c.final();
}

} // namespace sha256
