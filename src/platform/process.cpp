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

} // namespace

QString run(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(tool, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        // Report why the tool could not run the way the system would.
        const QByteArray encoded = paths::encode(tool);
        const int code = ::access(encoded.constData(), X_OK) == 0 ? EIO : errno;
        throw PosixError(code);
    }
    // QProcess drains the pipe while it waits, so a chatty tool never blocks.
    process.waitForFinished(-1);
    const QByteArray output = process.readAll();
    const std::optional<QString> text = strictUtf8(output);
    const bool failed = process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0;
    if (failed) {
        // An empty text would make an alert that says nothing.
        const bool usable = text && !text->trimmed().isEmpty();
        throw TavoError(usable ? *text : u"Błąd narzędzia systemowego."_s);
    }
    return text.value_or(QString());
}

} // namespace Process
