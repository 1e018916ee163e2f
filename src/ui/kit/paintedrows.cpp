#include "ui/kit/paintedrows.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <optional>

namespace kit {

namespace {

// Holds a list's description as its child, so both go together.
class RowsHolder : public QObject
{
    Q_OBJECT
public:
    RowsHolder(QWidget *list, RowsDescription description)
        : QObject(list), description(std::move(description))
    {
        setObjectName(QStringLiteral("kit_rows"));
    }
    RowsDescription description;
};

RowsHolder *holderOf(QObject *list)
{
    return list ? list->findChild<RowsHolder *>(QStringLiteral("kit_rows"), Qt::FindDirectChildrenOnly) : nullptr;
}

class RowsAccessible;

class RowButtonAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    RowButtonAccessible(RowsAccessible *list, QAccessibleInterface *row, int rowIndex, int index)
        : m_list(list), m_row(row), m_rowIndex(rowIndex), m_index(index)
    {
    }

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_row->window(); }
    QAccessibleInterface *parent() const override { return m_row; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    std::optional<RowButton> button() const;

    RowsAccessible *m_list;
    QAccessibleInterface *m_row;
    int m_rowIndex;
    int m_index;
};

class RowAccessible : public QAccessibleInterface
{
public:
    RowAccessible(RowsAccessible *list, int index) : m_list(list), m_index(index) {}
    ~RowAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_buttons))
            QAccessible::deleteAccessibleInterface(id);
    }

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (auto it = m_buttons.constBegin(); it != m_buttons.constEnd(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) == child)
                return it.key();
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            if (QAccessibleInterface *c = child(i); c && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;

    int index() const { return m_index; }
    RowsAccessible *list() const { return m_list; }

private:
    RowsAccessible *m_list;
    int m_index;
    mutable QHash<int, QAccessible::Id> m_buttons;
};

class RowsAccessible : public QAccessibleWidget
{
public:
    explicit RowsAccessible(QWidget *list, QAccessible::Role role) : QAccessibleWidget(list, role) {}
    ~RowsAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_rows))
            QAccessible::deleteAccessibleInterface(id);
    }

    const RowsDescription *description() const
    {
        const RowsHolder *holder = holderOf(object());
        return holder ? &holder->description : nullptr;
    }
    int rowCount() const
    {
        const RowsDescription *d = description();
        return d && d->count ? d->count() : 0;
    }
    QWidget *listWidget() const { return widget(); }
    // Global screen rectangle of a rectangle in the area's coordinates.
    QRect toScreen(const QRect &local) const
    {
        const RowsDescription *d = description();
        if (!d || !d->area || local.isEmpty())
            return {};
        return QRect(d->area->mapToGlobal(local.topLeft()), local.size());
    }

    int childCount() const override { return rowCount(); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= rowCount())
            return nullptr;
        if (const auto found = m_rows.constFind(index); found != m_rows.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto *row = new RowAccessible(const_cast<RowsAccessible *>(this), index);
        m_rows.insert(index, QAccessible::registerAccessibleInterface(row));
        return row;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *row = dynamic_cast<const RowAccessible *>(child);
        return row && row->list() == this ? row->index() : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const RowsDescription *d = description();
        if (!d || !d->rect)
            return nullptr;
        for (int i = 0; i < rowCount(); ++i) {
            if (toScreen(d->rect(i)).contains(x, y))
                return child(i);
        }
        return nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        const RowsDescription *d = description();
        const int current = d && d->current ? d->current() : -1;
        return widget()->hasFocus() && current >= 0 ? child(current) : nullptr;
    }

private:
    mutable QHash<int, QAccessible::Id> m_rows;
};

// --- RowAccessible ---

bool RowAccessible::isValid() const
{
    return m_list->isValid() && m_index < m_list->rowCount();
}

QWindow *RowAccessible::window() const
{
    return m_list->window();
}

QAccessibleInterface *RowAccessible::parent() const
{
    return m_list;
}

int RowAccessible::childCount() const
{
    const RowsDescription *d = m_list->description();
    return isValid() && d->buttons ? int(d->buttons(m_index).size()) : 0;
}

QAccessibleInterface *RowAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto found = m_buttons.constFind(index); found != m_buttons.constEnd())
        return QAccessible::accessibleInterface(*found);
    auto *button = new RowButtonAccessible(m_list, const_cast<RowAccessible *>(this), m_index, index);
    m_buttons.insert(index, QAccessible::registerAccessibleInterface(button));
    return button;
}

QString RowAccessible::text(QAccessible::Text t) const
{
    if (!isValid())
        return {};
    const RowsDescription *d = m_list->description();
    if (t == QAccessible::Name && d->name)
        return d->name(m_index);
    if (t == QAccessible::Description && d->description)
        return d->description(m_index);
    return {};
}

QRect RowAccessible::rect() const
{
    if (!isValid() || !m_list->description()->rect)
        return {};
    return m_list->toScreen(m_list->description()->rect(m_index));
}

QAccessible::Role RowAccessible::role() const
{
    const RowsDescription *d = m_list->description();
    if (d && d->roleOf && isValid())
        return d->roleOf(m_index);
    return d ? d->rowRole : QAccessible::ListItem;
}

QAccessible::State RowAccessible::state() const
{
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    const RowsDescription *d = m_list->description();
    s.focusable = true;
    s.selectable = true;
    const bool current = d->current && d->current() == m_index;
    s.active = current;
    s.focused = current && m_list->listWidget()->hasFocus();
    const QRect r = d->rect ? d->rect(m_index) : QRect();
    s.invisible = r.isEmpty() || !d->area || !d->area->rect().intersects(r);
    s.offscreen = s.invisible;
    if (const std::optional<bool> open = d->expanded ? d->expanded(m_index) : std::nullopt) {
        s.expandable = true;
        s.expanded = *open;
        s.collapsed = !*open;
    }
    return s;
}

// --- RowButtonAccessible ---

std::optional<RowButton> RowButtonAccessible::button() const
{
    if (!m_list->isValid() || m_rowIndex >= m_list->rowCount())
        return std::nullopt;
    const RowsDescription *d = m_list->description();
    if (!d->buttons)
        return std::nullopt;
    const QList<RowButton> buttons = d->buttons(m_rowIndex);
    if (m_index >= buttons.size())
        return std::nullopt;
    return buttons.at(m_index);
}

bool RowButtonAccessible::isValid() const
{
    return button().has_value();
}

QString RowButtonAccessible::text(QAccessible::Text t) const
{
    if (t != QAccessible::Name)
        return {};
    const std::optional<RowButton> b = button();
    return b ? b->name : QString();
}

QRect RowButtonAccessible::rect() const
{
    const std::optional<RowButton> b = button();
    return b ? m_list->toScreen(b->rect) : QRect();
}

QAccessible::State RowButtonAccessible::state() const
{
    QAccessible::State s;
    const std::optional<RowButton> b = button();
    if (!b) {
        s.invalid = true;
        return s;
    }
    s.disabled = !b->enabled;
    s.invisible = m_row->state().invisible;
    return s;
}

void RowButtonAccessible::doAction(const QString &name)
{
    const std::optional<RowButton> b = button();
    if (name != pressAction() || !b || !b->enabled)
        return;
    const RowsDescription *d = m_list->description();
    if (d->press)
        d->press(m_rowIndex, m_index);
}

QAccessibleInterface *rowsFactory(const QString &, QObject *object)
{
    if (auto *widget = qobject_cast<QWidget *>(object); widget && holderOf(widget))
        return new RowsAccessible(widget, holderOf(widget)->description.listRole);
    return nullptr;
}

} // namespace

void describeRows(QWidget *list, RowsDescription description)
{
    static const bool installed = [] {
        QAccessible::installFactory(rowsFactory);
        return true;
    }();
    Q_UNUSED(installed);
    if (RowsHolder *old = holderOf(list))
        delete old;
    new RowsHolder(list, std::move(description));
    // An interface made for the list before it described its rows (setting
    // its accessible name makes one) is dropped; the next one asked for is ours.
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(list);
    if (made && !dynamic_cast<RowsAccessible *>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void announceCurrentRow(QWidget *list, int row)
{
    if (!QAccessible::isActive() || row < 0)
        return;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(list);
    if (!iface)
        return;
    if (QAccessibleInterface *child = iface->child(row)) {
        QAccessibleEvent event(child, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace kit

#include "paintedrows.moc"
