#pragma once

#include "platform/errors.h"

#include <QString>

// The Polish message of the TavoError a call throws, or "(no error)" when it
// returns normally; other exceptions pass through so a test fails loudly.
template<typename F>
QString tavoMessage(F &&call)
{
    try {
        call();
    } catch (const TavoError &error) {
        return error.message();
    }
    return QStringLiteral("(no error)");
}

// The errno of the PosixError a call throws, or 0 when it returns normally.
template<typename F>
int posixCode(F &&call)
{
    try {
        call();
    } catch (const PosixError &error) {
        return error.code();
    }
    return 0;
}
