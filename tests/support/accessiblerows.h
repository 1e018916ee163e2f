#pragma once

// What a screen reader finds in a painted list: the list's accessible
// interface, its rows (name, role) and each row's buttons, read the way
// assistive technology reads them, through QAccessible.

#include <QAccessible>
#include <QStringList>
#include <QWidget>
#include <vector>

struct AccessibleRow {
    QString name;
    QAccessible::Role role = QAccessible::NoRole;
    QStringList buttons;  // their names
    QList<bool> enabled;  // per button
    bool focused = false;
};

inline std::vector<AccessibleRow> accessibleRows(QWidget *list)
{
    std::vector<AccessibleRow> rows;
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(list);
    if (!view)
        return rows;
    for (int i = 0; i < view->childCount(); ++i) {
        QAccessibleInterface *row = view->child(i);
        AccessibleRow seen;
        seen.name = row->text(QAccessible::Name);
        seen.role = row->role();
        seen.focused = row->state().focused;
        for (int j = 0; j < row->childCount(); ++j) {
            QAccessibleInterface *button = row->child(j);
            if (button->role() != QAccessible::Button)
                continue;
            seen.buttons << button->text(QAccessible::Name);
            seen.enabled << !button->state().disabled;
        }
        rows.push_back(seen);
    }
    return rows;
}

// Presses a row's button as a screen reader does; false when there is no such button.
inline bool pressAccessible(QWidget *list, int row, int button)
{
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(list);
    QAccessibleInterface *r = view ? view->child(row) : nullptr;
    QAccessibleInterface *b = r ? r->child(button) : nullptr;
    if (!b || !b->actionInterface())
        return false;
    b->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    return true;
}
