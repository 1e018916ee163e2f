#pragma once

// A temporary folder acting as a Rockbox device: base()/IPOD with a real
// ".rockbox" folder, plus helpers to put real files, folders and symbolic
// links on it (and beside it, for sources and backups on the "computer").

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class DeviceFixture
{
public:
    // Makes base()/<name>/.rockbox unless withRockbox is false.
    explicit DeviceFixture(const QString &name = QStringLiteral("IPOD"), bool withRockbox = true);

    QString base() const { return m_dir.path(); }  // the temporary folder holding the device
    QString root() const { return m_root; }        // the device root
    // root() + "/" + relative; an absolute path is returned unchanged.
    QString path(const QString &relative) const;
    // base() + "/" + relative: a place on the "computer", outside the device.
    QString outside(const QString &relative) const;

    // Each creates missing parent folders and returns the absolute path.
    QString writeFile(const QString &relative, const QByteArray &bytes) const;
    QString makeFolder(const QString &relative) const;
    QString makeLink(const QString &relative, const QString &target) const;
    void writeInfo(const QByteArray &text) const; // .rockbox/rockbox-info.txt

    QByteArray read(const QString &relative) const;
    bool exists(const QString &relative) const; // lstat: links count, dangling or not
    // Every entry below a folder (hidden ones too), as sorted paths relative to it.
    QStringList entriesBelow(const QString &relative = QString()) const;

    // Recursive copy of a real tree (e.g. from the shared corpus), links kept as links.
    static void copyTree(const QString &from, const QString &to);
    // Bytes that differ per seed, for files of equal size but other content.
    static QByteArray bytes(qsizetype size, char seed = 'a');

private:
    QTemporaryDir m_dir;
    QString m_root;
};
