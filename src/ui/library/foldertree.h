#pragma once

// Tracks shown as the folders and files they live in: an outline whose
// folders open onto their subfolders and files, each file with its codec and
// an "Album" button, every row with a menu that reveals it in the file manager.
// Paths are shown relative to the device's root on the device side and as
// whole absolute paths on the computer side. The tree is rebuilt whenever
// its tracks change; a node's id depends only on its path, so the folders
// that were open stay open.

#include "media/records.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QSet>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class QTreeView;
class TavoModel;
class Workspace;

// One folder or file of the tree.
class FolderNode final
{
public:
    FolderNode(QString id, QString name, std::optional<Track> track);

    const QString id;   // the parent's id, "/" and name
    const QString name; // one path component, shown as it is
    // Nothing for a file; the subfolders and files of a folder, in natural order.
    std::optional<std::vector<std::unique_ptr<FolderNode>>> children;
    std::optional<Track> track; // the file's track; none for a folder

    FolderNode *parent = nullptr;
    int row = 0; // the place among the parent's children
};

namespace folders {

// The root node of the tree of `tracks` (its id the root's path, or "/"
// without a root); the tree's top level is its children.
std::unique_ptr<FolderNode> build(const QList<Track> &tracks, const std::optional<QString> &root);

} // namespace folders

class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { name, codec, album, columnCount_ };

    explicit FolderTreeModel(QObject *parent = nullptr);

    // Rebuilds the tree.
    void setTracks(const QList<Track> &tracks, const std::optional<QString> &root);
    const FolderNode *rootNode() const { return m_root.get(); }
    const FolderNode *node(const QModelIndex &index) const;
    // The index of the node with this id, or an invalid index.
    QModelIndex indexOf(const QString &id, int column = name) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::unique_ptr<FolderNode> m_root;
    QHash<QString, FolderNode *> m_byId;
    QIcon m_folder, m_note;
};

class FolderTreeView : public QWidget
{
    Q_OBJECT
public:
    // `workspace` reveals files; nullptr means the desktop's own.
    FolderTreeView(TavoModel *model, Workspace *workspace = nullptr, QWidget *parent = nullptr);

    // Shows these tracks below `root` (none: the computer side). Nothing
    // happens when both are what is shown already.
    void setTracks(const QList<Track> &tracks, const std::optional<QString> &root);
    FolderTreeModel *tree() const { return m_tree; }
    QTreeView *outline() const { return m_outline; }
    // The ids of the folders the user opened (kept across rebuilds).
    const QSet<QString> &expandedIds() const { return m_expanded; }
    // The menu of a row (shown with popup(); also for tests).
    QMenu *contextMenu(const QModelIndex &index);

private:
    void openAlbum(const QModelIndex &index);

    TavoModel *m_model;
    Workspace *m_workspace;
    FolderTreeModel *m_tree;
    QTreeView *m_outline;
    QList<Track> m_tracks;
    std::optional<QString> m_root;
    bool m_built = false;
    QSet<QString> m_expanded;
    bool m_restoring = false;
};
