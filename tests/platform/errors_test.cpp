#include "platform/errors.h"
#include "support/qtprinters.h"

#include <memory>
#include <cerrno>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace Qt::StringLiterals;

TEST(Errors, MessagesAndDescriptions)
{
    const TavoError tavo(u"Nieprawidłowy nagłówek FLAC."_s);
    EXPECT_EQ(tavo.message(), u"Nieprawidłowy nagłówek FLAC."_s);
    EXPECT_STREQ(tavo.what(), "Nieprawid\xc5\x82owy nag\xc5\x82\xc3\xb3wek FLAC.");

    const struct {
        int code, expected;
    } posix[] = {{ENOENT, ENOENT}, {EEXIST, EEXIST}, {ENOSPC, ENOSPC}, {0, EIO}};
    for (const auto &c : posix) {
        const PosixError error(c.code);
        EXPECT_EQ(error.code(), c.expected);
        EXPECT_FALSE(error.message().isEmpty());
        EXPECT_EQ(describe(error), error.message());
        EXPECT_EQ(QString::fromUtf8(error.what()), error.message());
    }
    EXPECT_EQ(PosixError(ENOENT).message(), u"No such file or directory"_s);

    const NetworkError network(5, u"Operation canceled"_s);
    EXPECT_EQ(network.code(), 5);

    const std::runtime_error other("other");
    const struct {
        const std::exception *error;
        QString described;
    } described[] = {
        {&tavo, u"Nieprawidłowy nagłówek FLAC."_s},
        {&network, u"Operation canceled"_s},
        {&other, u"other"_s},
    };
    for (const auto &c : described) {
        EXPECT_EQ(describe(*c.error), c.described);
    }
    EXPECT_EQ(describe(std::make_exception_ptr(tavo)), tavo.message());
    EXPECT_EQ(describe(std::make_exception_ptr(42)), QString());
    EXPECT_EQ(describe(std::exception_ptr()), QString());
}

TEST(Errors, ErrnoIsCapturedAndCopiesKeepTheirType)
{
    errno = EACCES;
    try {
        PosixError::throwErrno();
        FAIL();
    } catch (const PosixError &e) {
        EXPECT_EQ(e.code(), EACCES);
    }

    // Futures carry exceptions across threads through clone() and raise().
    const TavoError tavo(u"Podłącz iPoda."_s);
    std::unique_ptr<QException> tavoCopy(static_cast<const QException &>(tavo).clone());
    try {
        tavoCopy->raise();
        FAIL();
    } catch (const TavoError &e) {
        EXPECT_EQ(e.message(), u"Podłącz iPoda."_s);
    }

    const PosixError posix(ENOSPC);
    std::unique_ptr<QException> posixCopy(static_cast<const QException &>(posix).clone());
    try {
        posixCopy->raise();
        FAIL();
    } catch (const PosixError &e) {
        EXPECT_EQ(e.code(), ENOSPC);
    }
}
