#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace sha256 {

// Digest of bytes in memory (32 raw bytes).
QByteArray of(const QByteArray &bytes);
// Lower-case hexadecimal digest of bytes in memory.
QString hex(const QByteArray &bytes);
// A digest of bytes given piece by piece, for data written out in parts.
// Throws TavoError when no digest can be made.
class Running
{
public:
    Running();
    ~Running();
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;
    void add(const char *data, qsizetype size);
    void add(const QByteArray &bytes) { add(bytes.constData(), bytes.size()); }
    QByteArray result(); // 32 raw bytes; once

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

// Digest of a file's contents, read in 1 MiB chunks without following a final link.
// Throws PosixError when the file cannot be opened or read.
QByteArray ofFile(const QString &path);

} // namespace sha256
