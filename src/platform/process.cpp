#include "platform/process.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <QProcess>
#include <QStringDecoder>
#include <cerrno>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Process {

namespace {

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

void start(QProcess &process, const QString &tool, const QStringList &arguments)
{
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(tool, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        // Report why the tool could not run the way the system would.
        const QByteArray encoded = paths::encode(tool);
        const int code = ::access(encoded.constData(), X_OK) == 0 ? EIO : errno;
        throw PosixError(code);
    }
}

void judgeExit(const QProcess &process, const std::optional<QString> &text)
{
    const bool failed = process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0;
    if (failed) {
        // An empty text would make an alert that says nothing.
        const bool usable = text && !text->trimmed().isEmpty();
        throw TavoError(usable ? *text : u"Błąd narzędzia systemowego."_s);
    }
}

} // namespace

QString run(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    start(process, tool, arguments);
    // QProcess drains the pipe while it waits, so a chatty tool never blocks.
    process.waitForFinished(-1);
    const QByteArray output = process.readAll();
    const std::optional<QString> text = strictUtf8(output);
    judgeExit(process, text);
    return text.value_or(QString());
}

qint64 countOutput(const QString &tool, const QStringList &arguments, qint64 limit)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    start(process, tool, arguments);

    constexpr qsizetype messageLimit = 65536;
    qint64 count = 0;
    QByteArray messages;
    const auto drain = [&] {
        count += process.readAllStandardOutput().size();
        const QByteArray error = process.readAllStandardError();
        if (messages.size() < messageLimit)
            messages += error.left(messageLimit - messages.size());
    };
    // Output is taken as it comes, so the pipe never holds more than one
    // buffer of it and a tool that writes without end is stopped at the limit.
    for (;;) {
        drain();
        if (count > limit) {
            process.kill();
            process.waitForFinished(-1);
            return count;
        }
        if (process.state() == QProcess::NotRunning)
            break;
        if (!process.waitForReadyRead(-1) && process.state() != QProcess::NotRunning)
            process.waitForFinished(-1); // standard output closed early: only the exit is left
    }
    judgeExit(process, strictUtf8(messages));
    return count;
}

} // namespace Process
