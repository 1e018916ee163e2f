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

} // namespace Process
