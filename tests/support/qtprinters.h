#pragma once

// Readable failure messages for Qt text types: UTF-8, with NUL characters
// (album keys, cover keys) shown as "␀".

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    QString shown = s;
    shown.replace(QChar(u'\0'), QStringLiteral("\u2400"));
    *os << '"' << shown.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i)
            *os << ", ";
        PrintTo(list[i], os);
    }
    *os << '}';
}
