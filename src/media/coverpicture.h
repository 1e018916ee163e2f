#pragma once

// A cover as the library keeps it. A library of thousands of albums cannot
// hold every cover's whole bytes (2,000 covers of 400 KB are 800 MB), so a
// cover keeps what the views and the checks need at every moment: the facts
// of its header (format, pixel size, progressive or not) and a small preview
// the grid and Cover Flow decode. The whole bytes are read again, on a
// worker, from where they came (the track's own file for an embedded
// picture, the image file for a cover file) by the steps that need them:
// preparing a cover for the player, the album sheet's large picture.
// Copies share one immutable picture; equal pictures found by one import
// share one copy.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>

// What the header of a picture says; no pixels are decoded for it.
struct CoverFacts {
    bool readable = false; // an image reader recognises the bytes
    QByteArray format;     // as Qt's image reader names it: "jpeg", "png", "bmp", …
    bool progressive = false;
    QSize size;          // the stored pixel size, before any orientation tag
    qint64 bytes = 0;    // the size of the whole picture

    static CoverFacts of(const QByteArray &picture);
    bool operator==(const CoverFacts &) const = default;
};

class Cover
{
public:
    // The largest side of a preview: the grid's tiles and Cover Flow at their
    // usual sizes decode nothing larger.
    static constexpr int previewSide = 400;
    // Pictures this small are their own preview.
    static constexpr qsizetype wholePreviewBytes = 48 * 1024;

    // A picture held whole in memory (one the user just chose or downloaded,
    // before any file holds it).
    Cover(const QByteArray &bytes); // NOLINT(google-explicit-constructor): bytes stand for a cover

    // A picture whose bytes stay where they are: in the image file `file`, or,
    // when `file` is empty, embedded in the audio file of whichever track
    // carries the cover. Makes the facts and the preview; keeps no bytes.
    static Cover read(const QByteArray &bytes, const QString &file, const QByteArray &identity);
    // An image file known only by its path, read whenever its bytes are asked
    // for (a picture the user chose, on its way to being prepared).
    static Cover inFile(const QString &path);
    // A cover as stored: nothing is decoded.
    static Cover stored(const QByteArray &identity, const CoverFacts &facts, const QByteArray &preview,
                        bool previewIsWhole, const QString &file);

    // Equal for equal bytes (the size and two 64-bit hashes): what shares a copy.
    static QByteArray identityOf(const QByteArray &bytes);

    const QByteArray &identity() const;
    const CoverFacts &facts() const;
    // A JPEG of at most previewSide pixels a side, or the whole picture when
    // that is small (previewIsWhole()).
    const QByteArray &preview() const;
    bool previewIsWhole() const;
    // The image file the bytes are in; empty for an embedded or held picture.
    const QString &file() const;
    bool isEmbedded() const;
    bool isHeld() const;

    // The whole picture: held bytes, the image file's, or the picture embedded
    // in `trackPath`. None when the file is gone or holds no picture now.
    // Reads the disk: never on the main thread.
    std::optional<QByteArray> bytes(const QString &trackPath) const;
    // What to decode for a square of `pixels` a side: the preview when it is
    // large enough (or all there is), else the whole picture read again, else
    // the preview. Reads the disk when the preview is too small.
    QByteArray bytesFor(int pixels, const QString &trackPath) const;

    // Copies of one cover share this address.
    const void *address() const { return m_data.get(); }
    // The same picture: equal bytes, wherever they are kept.
    bool operator==(const Cover &other) const;

private:
    struct Data;
    explicit Cover(std::shared_ptr<const Data> data);
    std::shared_ptr<const Data> m_data;
};

namespace CoverPictures {
// The picture embedded in the audio file as the library reads it (FLAC
// pictures by our own reader, the other formats' artwork item); none when it
// has none or cannot be read.
std::optional<QByteArray> embedded(const QString &audioPath);
} // namespace CoverPictures
