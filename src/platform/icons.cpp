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
    {u"play.fill", u"player-play-filled"},
    {u"pause.fill", u"player-pause-filled"},
    {u"stop.fill", u"player-stop-filled"},
    {u"ipod", u"device-speaker"},
    {u"music.note.list", u"playlist"},
    {u"paintbrush", u"brush"},
    {u"paintbrush.pointed", u"brush"},
    {u"paintpalette", u"palette"},
    {u"clock.arrow.circlepath", u"history"},
    {u"sparkles", u"sparkles"},
    {u"book.closed", u"book"},
    {u"archivebox", u"archive"},
    {u"arrow.clockwise", u"refresh"},
    {u"arrow.down.right.and.arrow.up.left", u"arrows-minimize"},
    {u"arrow.up.left.and.arrow.down.right", u"arrows-maximize"},
    {u"arrow.down.to.line", u"download"},
    {u"checkmark.circle", u"circle-check"},
    {u"checkmark.circle.fill", u"circle-check-filled"},
    {u"checkmark.shield", u"shield-check"},
    {u"chevron.left", u"chevron-left"},
    {u"chevron.right", u"chevron-right"},
    {u"chevron.down", u"chevron-down"},
    {u"circle.fill", u"circle-filled"},
    {u"circle", u"circle"},
    {u"eject.fill", u"player-eject-filled"},
    {u"info.circle", u"info-circle"},
    {u"magnifyingglass", u"search"},
    {u"opticaldisc", u"disc"},
    {u"photo.badge.exclamationmark", u"photo-exclamation"},
    {u"square.stack", u"stack-2"},
    {u"rectangle.stack", u"stack"},
    {u"square.grid.2x2", u"layout-grid"},
    {u"list.bullet", u"list"},
    {u"speaker.wave.2", u"volume"},
    {u"xmark", u"x"},
    {u"folder", u"folder"},
    {u"plus.circle", u"circle-plus"},
    {u"plus", u"plus"},
    {u"internaldrive", u"server"},
    {u"doc", u"file"},
    {u"doc.zipper", u"file-zip"},
    {u"trash", u"trash"},
    {u"exclamationmark.triangle", u"alert-triangle"},
    {u"arrow.up.right.square", u"external-link"},
    {u"externaldrive", u"device-floppy"},
    {u"square.and.arrow.down", u"file-download"},
    {u"folder.badge.plus", u"folder-plus"},
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
