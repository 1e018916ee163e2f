#include "platform/errors.h"
#include "platform/process.h"

#include <gtest/gtest.h>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

QString sh(const QString &script)
{
    return Process::run(u"/bin/sh"_s, {u"-c"_s, script});
}

QString failure(const QString &script)
{
    try {
        sh(script);
    } catch (const TavoError &error) {
        return error.message();
    }
    ADD_FAILURE() << "no TavoError for " << script.toStdString();
    return {};
}

} // namespace

TEST(Process, JoinsOutputAndErrorInOrderOfWriting)
{
    EXPECT_EQ(sh(u"echo one; echo two >&2; echo trzy"_s), u"one\ntwo\ntrzy\n"_s);
}

TEST(Process, PassesArgumentsUnchangedAndInOrder)
{
    const QString out = Process::run(u"/usr/bin/printf"_s, {u"%s|%s|%s"_s, u"a b"_s, u"*"_s, u"żółw"_s});
    EXPECT_EQ(out, u"a b|*|żółw"_s);
}

TEST(Process, NonZeroExitThrowsTheToolsOutput)
{
    struct Case {
        QString script;
        QString message;
    } cases[] = {
        {u"echo 'unzip: cannot find zipfile' >&2; exit 9"_s, u"unzip: cannot find zipfile\n"_s},
        {u"printf 'Zły plik'; exit 1"_s, u"Zły plik"_s},
        // Output that isn't UTF-8, or no output at all, gets the general message.
        {u"printf '\\377\\376bad'; exit 2"_s, u"Błąd narzędzia systemowego."_s},
        {u"exit 3"_s, u"Błąd narzędzia systemowego."_s},
        {u"kill -9 $$"_s, u"Błąd narzędzia systemowego."_s},
    };
    for (const Case &c : cases)
        EXPECT_EQ(failure(c.script), c.message) << c.script.toStdString();
}

TEST(Process, SuccessWithInvalidUtf8GivesEmptyText)
{
    EXPECT_EQ(sh(u"printf '\\377abc'"_s), QString());
}

TEST(Process, NeverWaitsOnStandardInput)
{
    // A tool that reads its input (as unzip does when it asks a question) sees
    // end of input at once instead of hanging.
    EXPECT_EQ(sh(u"read answer; echo \"got:$answer\""_s), u"got:\n"_s);
    EXPECT_EQ(Process::run(u"/bin/cat"_s, {}), QString());
}

TEST(Process, LargeOutputDoesNotBlockTheTool)
{
    const QString out = sh(u"head -c 3000000 /dev/zero | tr '\\0' x"_s);
    EXPECT_EQ(out.size(), 3000000);
}

TEST(Process, MissingToolThrowsPosixError)
{
    try {
        Process::run(u"/nonexistent/tool"_s, {});
        FAIL() << "no error";
    } catch (const PosixError &error) {
        EXPECT_EQ(error.code(), ENOENT);
    }
}

TEST(ProcessCountOutput, CountsWithoutHoldingAndStopsAtTheLimit)
{
    const auto count = [](const QString &script, qint64 limit) {
        return Process::countOutput(u"/bin/sh"_s, {u"-c"_s, script}, limit);
    };
    // Standard error is not counted.
    EXPECT_EQ(count(u"head -c 3000000 /dev/zero; echo note >&2"_s, 3000000), 3000000);
    EXPECT_EQ(count(u"true"_s, 0), 0);
    // A tool that never stops writing is stopped once the limit is passed.
    EXPECT_GT(count(u"exec cat /dev/zero"_s, 5000000), 5000000);
    EXPECT_GT(count(u"head -c 3000001 /dev/zero"_s, 3000000), 3000000);
}

TEST(ProcessCountOutput, FailureThrowsTheToolsMessages)
{
    try {
        Process::countOutput(u"/bin/sh"_s, {u"-c"_s, u"echo data; echo 'unzip: bad CRC' >&2; exit 2"_s}, 1000);
        FAIL() << "no error";
    } catch (const TavoError &error) {
        EXPECT_EQ(error.message(), u"unzip: bad CRC\n"_s);
    }
    try {
        Process::countOutput(u"/bin/sh"_s, {u"-c"_s, u"exit 1"_s}, 1000);
        FAIL() << "no error";
    } catch (const TavoError &error) {
        EXPECT_EQ(error.message(), u"Błąd narzędzia systemowego."_s);
    }
    EXPECT_THROW(Process::countOutput(u"/nonexistent/tool"_s, {}, 10), PosixError);
    // Standard input is the null device here too.
    EXPECT_EQ(Process::countOutput(u"/bin/cat"_s, {}, 10), 0);
}
