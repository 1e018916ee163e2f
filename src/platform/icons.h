#pragma once

// The symbols the interface names (the names of Apple's symbol set) and the SVG
// icons that stand in for them, compiled in under ":/icons/".

#include <QString>
#include <QStringList>

namespace icons {

// ":/icons/<file>.svg" for a known symbol name, an empty string for any other.
QString path(QStringView symbol);

// Every symbol name the table knows, in table order.
QStringList symbols();

} // namespace icons
