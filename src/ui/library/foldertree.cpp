#include "ui/library/foldertree.h"

#include "model/tavomodel.h"
#include "platform/text.h"
#include "platform/workspace.h"
#include "ui/kit/kit.h"
#include "ui/library/librarytexts.h"

#include <QHeaderView>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>

using namespace Qt::StringLiterals;

FolderNode::FolderNode(QString id, QString name, std::optional<Track> track)
    : id(std::move(id)), name(std::move(name)), track(std::move(track))
{
}

namespace folders {

namespace {

// Children in natural order ("2" before "10"), equal names in the order they
// came; then each child learns its place.
void sortTree(FolderNode &node)
{
    if (!node.children)
        return;
    auto &children = *node.children;
    std::stable_sort(children.begin(), children.end(), [](const auto &a, const auto &b) {
        return text::finderCompare(a->name, b->name) < 0;
    });
    for (size_t i = 0; i < children.size(); ++i) {
        children[i]->row = int(i);
        sortTree(*children[i]);
    }
}

} // namespace

std::unique_ptr<FolderNode> build(const QList<Track> &tracks, const std::optional<QString> &root)
{
    const QString rootPath = root ? *root : u"/"_s;
    auto top = std::make_unique<FolderNode>(rootPath, rootPath, std::nullopt);
    const QString prefix = rootPath + u'/';
    // Each folder's children by exact name (no case folding), while building.
    std::unordered_map<const FolderNode *, QHash<QString, FolderNode *>> named;

    for (const Track &track : tracks) {
        const QString &path = track.url;
        const QStringView relative =
            path.startsWith(prefix) ? QStringView(path).mid(rootPath.size() + 1) : QStringView(path);
        const auto components = relative.split(u'/', Qt::SkipEmptyParts);
        FolderNode *current = top.get();
        for (qsizetype i = 0; i < components.size(); ++i) {
            if (!current->children)
                current->children.emplace();
            QHash<QString, FolderNode *> &children = named[current];
            const QString component = components[i].toString();
            if (FolderNode *found = children.value(component)) {
                current = found;
                continue;
            }
            const bool last = i == components.size() - 1;
            auto node = std::make_unique<FolderNode>(current->id + u'/' + component, component,
                                                     last ? std::optional<Track>(track) : std::nullopt);
            node->parent = current;
            FolderNode *made = node.get();
            current->children->push_back(std::move(node));
            children.insert(component, made);
            current = made;
        }
    }
    sortTree(*top);
    return top;
}

} // namespace folders

namespace {

// Colours and symbols that follow the palette of the view: the codec in the
// secondary colour, "Album" in the accent colour of a borderless button.
class FolderRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 24)); // the roomier rows of a sidebar list
        return size;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QPalette &palette = option->palette;
        switch (index.column()) {
        case FolderTreeModel::name: {
            const auto *model = static_cast<const FolderTreeModel *>(index.model());
            const FolderNode *node = model->node(index);
            const bool dark = kit::isDark(palette);
            QIcon &folder = dark ? m_darkFolder : m_lightFolder;
            QIcon &note = dark ? m_darkNote : m_lightNote;
            if (folder.isNull()) {
                folder = kit::symbolIcon(u"folder"_s, kit::blue(palette), 16);
                note = kit::symbolIcon(u"music.note"_s, kit::secondaryText(palette), 16);
            }
            option->icon = node && node->track ? note : folder;
            break;
        }
        case FolderTreeModel::codec:
            option->palette.setColor(QPalette::Text, kit::secondaryText(palette));
            break;
        case FolderTreeModel::album:
            option->palette.setColor(QPalette::Text, kit::blue(palette));
            break;
        }
    }

private:
    mutable QIcon m_lightFolder, m_lightNote, m_darkFolder, m_darkNote;
};

} // namespace

// --- FolderTreeModel ---

FolderTreeModel::FolderTreeModel(QObject *parent) : QAbstractItemModel(parent)
{
    const QPalette palette = kit::lightPalette();
    m_folder = kit::symbolIcon(u"folder"_s, kit::blue(palette), 16);
    m_note = kit::symbolIcon(u"music.note"_s, kit::secondaryText(palette), 16);
    m_root = folders::build({}, std::nullopt);
}

void FolderTreeModel::setTracks(const QList<Track> &tracks, const std::optional<QString> &root)
{
    beginResetModel();
    m_root = folders::build(tracks, root);
    m_byId.clear();
    std::vector<FolderNode *> stack{m_root.get()};
    while (!stack.empty()) {
        FolderNode *node = stack.back();
        stack.pop_back();
        if (node != m_root.get())
            m_byId.insert(node->id, node);
        if (node->children) {
            for (auto &child : *node->children)
                stack.push_back(child.get());
        }
    }
    endResetModel();
}

const FolderNode *FolderTreeModel::node(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<const FolderNode *>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::indexOf(const QString &id, int column) const
{
    FolderNode *found = m_byId.value(id);
    return found ? createIndex(found->row, column, found) : QModelIndex();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const FolderNode *owner = parent.isValid() ? node(parent) : m_root.get();
    if (!owner || !owner->children || row < 0 || size_t(row) >= owner->children->size() || column < 0
        || column >= columnCount_)
        return QModelIndex();
    return createIndex(row, column, (*owner->children)[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    const FolderNode *n = node(child);
    if (!n || !n->parent || n->parent == m_root.get())
        return QModelIndex();
    return createIndex(n->parent->row, 0, n->parent);
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const FolderNode *owner = parent.isValid() ? node(parent) : m_root.get();
    return owner && owner->children ? int(owner->children->size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return columnCount_;
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    const FolderNode *n = node(index);
    if (!n)
        return QVariant();
    const bool file = n->track.has_value();
    switch (index.column()) {
    case name:
        if (role == Qt::DisplayRole)
            return n->name; // a name from the disk, never translated
        if (role == Qt::DecorationRole)
            return file ? m_note : m_folder;
        break;
    case codec:
        if (!file)
            break;
        if (role == Qt::DisplayRole)
            return kit::tr(n->track->info.codec);
        if (role == Qt::FontRole)
            return kit::font(kit::size::caption2);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case album:
        if (!file)
            break;
        if (role == Qt::DisplayRole)
            return kit::tr(u"Album"_s);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        break;
    }
    return QVariant();
}

// --- FolderTreeView ---

FolderTreeView::FolderTreeView(TavoModel *model, Workspace *workspace, QWidget *parent)
    : QWidget(parent), m_model(model), m_workspace(workspace ? workspace : &Workspace::system()),
      m_tree(new FolderTreeModel(this)), m_outline(new QTreeView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outline);

    m_outline->setModel(m_tree);
    m_outline->setHeaderHidden(true);
    m_outline->setUniformRowHeights(true);
    m_outline->setSelectionMode(QAbstractItemView::NoSelection);
    m_outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_outline->setFrameShape(QFrame::NoFrame);
    m_outline->setContextMenuPolicy(Qt::CustomContextMenu);
    m_outline->setMouseTracking(true);
    m_outline->viewport()->setAutoFillBackground(false);
    QHeaderView *header = m_outline->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(FolderTreeModel::name, QHeaderView::Stretch);
    header->setSectionResizeMode(FolderTreeModel::codec, QHeaderView::Fixed);
    header->setSectionResizeMode(FolderTreeModel::album, QHeaderView::Fixed);
    header->resizeSection(FolderTreeModel::codec, 60);
    header->resizeSection(FolderTreeModel::album, 64);

    m_outline->setItemDelegate(new FolderRowDelegate(m_outline));

    connect(m_outline, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (!m_restoring)
            if (const FolderNode *n = m_tree->node(index))
                m_expanded.insert(n->id);
    });
    connect(m_outline, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
        if (!m_restoring)
            if (const FolderNode *n = m_tree->node(index))
                m_expanded.remove(n->id);
    });
    connect(m_outline, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        if (index.column() == FolderTreeModel::album)
            openAlbum(index);
    });
    connect(m_outline, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = m_outline->indexAt(pos);
        if (index.isValid())
            contextMenu(index)->popup(m_outline->viewport()->mapToGlobal(pos));
    });
}

void FolderTreeView::setTracks(const QList<Track> &tracks, const std::optional<QString> &root)
{
    if (m_built && tracks.isSharedWith(m_tracks) && tracks.size() == m_tracks.size() && root == m_root)
        return;
    m_built = true;
    m_tracks = tracks;
    m_root = root;
    m_tree->setTracks(tracks, root);
    // Open again what was open: the ids of the new nodes are those of the old.
    m_restoring = true;
    for (const QString &id : std::as_const(m_expanded)) {
        const QModelIndex index = m_tree->indexOf(id);
        if (index.isValid())
            m_outline->setExpanded(index, true);
    }
    m_restoring = false;
}

void FolderTreeView::openAlbum(const QModelIndex &index)
{
    const FolderNode *n = m_tree->node(index);
    if (n && n->track)
        m_model->openAlbumContaining(*n->track);
}

QMenu *FolderTreeView::contextMenu(const QModelIndex &index)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const FolderNode *n = m_tree->node(index);
    const QString path = n ? library::cleanedPath(n->id) : QString();
    Workspace *workspace = m_workspace;
    menu->addAction(kit::tr(u"Pokaż w menedżerze plików"_s), this, [workspace, path] { workspace->reveal({path}); });
    return menu;
}
