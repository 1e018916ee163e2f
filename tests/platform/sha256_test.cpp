#include "platform/errors.h"
#include "platform/sha256.h"
#include "support/qtprinters.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const char *const emptyDigest = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

} // namespace

TEST(Sha256, KnownDigestsOfBytes)
{
    const struct {
        QByteArray bytes;
        const char *hex;
    } cases[] = {
        {QByteArray(), emptyDigest},
        {QByteArrayLiteral("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {QByteArrayLiteral("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {QByteArray(1'000'000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(sha256::hex(c.bytes), QLatin1StringView(c.hex));
        EXPECT_EQ(sha256::of(c.bytes), QByteArray::fromHex(c.hex));
        EXPECT_EQ(sha256::of(c.bytes).size(), 32);
    }
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole)
{
    QByteArray bytes(100'000, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 251);
    for (qsizetype piece : {qsizetype(1), qsizetype(63), qsizetype(64), qsizetype(4096), bytes.size()}) {
        sha256::Running digest;
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            digest.add(bytes.mid(at, piece));
        EXPECT_EQ(digest.result(), sha256::of(bytes)) << piece;
    }
    sha256::Running empty;
    EXPECT_EQ(empty.result().toHex(), QByteArray(emptyDigest));
}

TEST(Sha256, FilesAcrossChunkBoundaries)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(sha256::ofFile(writeFile(dir.filePath(u"empty"_s), {})).toHex(), QByteArray(emptyDigest));
    EXPECT_EQ(sha256::ofFile(writeFile(dir.filePath(u"million"_s), QByteArray(1'000'000, 'a'))).toHex(),
              QByteArray("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"));
    // Sizes around the 1 MiB read size.
    for (qsizetype size : {qsizetype(1 << 20), qsizetype((1 << 20) + 1), qsizetype(3 * (1 << 20) - 7)}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char(i * 31 + i / 4096);
        EXPECT_EQ(sha256::ofFile(writeFile(dir.filePath(u"chunked"_s), bytes)), sha256::of(bytes)) << size;
    }
}

TEST(Sha256, RefusesLinksAndReportsErrno)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = writeFile(dir.filePath(u"file"_s), "abc");
    const QString link = dir.filePath(u"link"_s);
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);

    const struct {
        QString path;
        int code;
    } cases[] = {
        {link, ELOOP},
        {dir.filePath(u"missing"_s), ENOENT},
        {dir.path(), EISDIR},
    };
    for (const auto &c : cases) {
        try {
            sha256::ofFile(c.path);
            ADD_FAILURE() << c.path.toStdString();
        } catch (const PosixError &e) {
            EXPECT_EQ(e.code(), c.code) << c.path.toStdString();
        }
    }
}
