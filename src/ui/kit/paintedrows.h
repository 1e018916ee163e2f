#pragma once

// Lists whose rows are painted, not built of widgets (the problems, the album
// grid, the track lists, the theme grid, the file lists): what they tell a
// screen reader. Each row is an accessible list item with its name and
// description, and each button painted on a row is an accessible push button
// that can be pressed through the accessibility interface. A list describes
// its rows once, right after it is made; the description is asked afresh
// every time, so it always speaks of the rows as they are now.

#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace kit {

struct RowButton {
    QString name; // as shown (already in the interface language)
    QRect rect;   // in the description's `area` coordinates
    bool enabled = true;
};

struct RowsDescription {
    QWidget *area = nullptr; // the widget the rows are painted on (a view's viewport)
    QAccessible::Role listRole = QAccessible::List;
    QAccessible::Role rowRole = QAccessible::ListItem;
    // A tree's rows differ: the role of one row (when given, instead of rowRole),
    // and whether a row that opens is open (none for a row that does not open).
    std::function<QAccessible::Role(int row)> roleOf;
    std::function<std::optional<bool>(int row)> expanded;
    std::function<int()> count;
    std::function<QString(int row)> name;
    std::function<QString(int row)> description; // may be empty
    std::function<QRect(int row)> rect;          // in `area` coordinates
    std::function<QList<RowButton>(int row)> buttons;
    std::function<void(int row, int button)> press;
    std::function<int()> current; // the keyboard's row, or -1
};

// Gives `list` (the widget that takes focus) accessible rows and row buttons.
void describeRows(QWidget *list, RowsDescription description);

// Tells assistive technology that the keyboard moved to `row` of `list`.
void announceCurrentRow(QWidget *list, int row);

} // namespace kit
