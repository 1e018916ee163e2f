#pragma once

// Runs a system tool to completion and gives back what it printed.

#include <QString>
#include <QStringList>

namespace Process {

// Starts `tool` with `arguments` (in that order), standard output and standard
// error joined, standard input from the null device so that a tool that asks a
// question sees end of input instead of waiting. Blocks until the tool exits.
// Exit status 0: the output decoded as UTF-8 (empty when it is not valid UTF-8).
// Any other status, or a crash: throws TavoError with the output, or
// "Błąd narzędzia systemowego." when the output is not valid UTF-8.
// A tool that cannot be started throws PosixError.
QString run(const QString &tool, const QStringList &arguments);

// Starts the tool like run(), but only counts the bytes it writes to standard
// output, holding none of them; its standard error is kept for the message.
// Once the count passes `limit`, the tool is killed and the count returned
// (then above `limit`). Otherwise the tool's exit is judged as by run() and the
// full count returned.
qint64 countOutput(const QString &tool, const QStringList &arguments, qint64 limit);

} // namespace Process
