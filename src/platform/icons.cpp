#include "platform/icons.h"

using namespace Qt::StringLiterals;

namespace icons {

namespace {

struct Row {
    QStringView symbol;
    QStringView file; // without ".svg", under resources/icons/
};

// One row per symbol; add a row (and copy the icon) when a view needs a new one.
constexpr Row table[] = {
    {u"photo", u"photo"},
    {u"questionmark", u"question-mark"},
    {u"music.note", u"music"},
    {u"shuffle", u"arrows-shuffle"},
    {u"line.3.horizontal", u"menu-2"},
    {u"backward.end.fill", u"player-skip-back-filled"},
    {u"forward.end.fill", u"player-skip-forward-filled"},
    {u"playpause.fill", u"player-play-pause-filled"},
};

} // namespace

QString path(QStringView symbol)
{
    for (const Row &row : table) {
        if (row.symbol == symbol)
            return u":/icons/"_s + row.file.toString() + u".svg"_s;
    }
    return {};
}

QStringList symbols()
{
    QStringList names;
    for (const Row &row : table)
        names.append(row.symbol.toString());
    return names;
}

} // namespace icons
