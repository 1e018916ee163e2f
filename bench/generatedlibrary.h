#pragma once

// Generated music for the benchmarks: real audio files (MP3, FLAC, M4A and
// Ogg copied from the test data, each given tags of its own) in album folders
// of `perFolder` tracks, one cover file per folder, and the pictures used as
// covers. Shared so that every benchmark measures the same kind of library.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdlib>
#include <algorithm>
#include <fileref.h>
#include <functional>
#include <tag.h>

namespace generated {

// Noise, so the encoder cannot make it small.
inline QByteArray noiseJPEG(int side, int quality)
{
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < side; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < side; ++x)
            line[x] = random.generate() | 0xFF000000u;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// A photograph-like picture (gradients and noise, so JPEG sizes are those of
// real covers), encoded at quality 90.
inline QByteArray photoJPEG(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromHsv(int(seed * 37 % 360), 160, 220));
    gradient.setColorAt(1, QColor::fromHsv(int(seed * 91 % 360), 200, 90));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv(random.bounded(360), 120 + random.bounded(120), random.bounded(256), 140));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(random.bounded(width), random.bounded(height)), random.bounded(width / 3) + 5,
                            random.bounded(height / 3) + 5);
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(24)) - 12;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                           std::clamp(qBlue(p) + n, 0, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

// `count` audio files under a temporary folder, as
// "<root>/Artist <album / 10>/Album <album>/<nn> Track <i>.<ext>", every
// folder with "cover.jpg" holding cover(album).
struct AudioLibrary {
    QTemporaryDir dir;
    QStringList files;
    int albums = 0;

    AudioLibrary(int count, int perFolder, const std::function<QByteArray(int album)> &cover)
    {
        const QStringList sources = {QStringLiteral("tagged.mp3"), QStringLiteral("tagged.flac"),
                                     QStringLiteral("aac.m4a"), QStringLiteral("vorbis.ogg")};
        // A kept benchmark folder (see isolatedmain.h) keeps its files too.
        if (const char *kept = std::getenv("VONTARO_BENCH_HOME"); kept && *kept)
            dir.setAutoRemove(false);
        files.reserve(count);
        for (int i = 0; i < count; ++i) {
            const int album = i / perFolder;
            const QString source = QStringLiteral(VONTARO_TEST_DATA_DIR "/audio/") + sources.at(album % sources.size());
            const QString folder = dir.path() + QString::asprintf("/Artist %d/Album %d", album / 10, album);
            if (i % perFolder == 0) {
                QDir().mkpath(folder);
                QFile file(folder + QStringLiteral("/cover.jpg"));
                file.open(QIODevice::WriteOnly);
                file.write(cover(album));
                albums = album + 1;
            }
            const QString target = folder + QString::asprintf("/%02d Track %d.", i % perFolder + 1, i)
                                   + QFileInfo(source).suffix();
            QFile::copy(source, target);
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
            TagLib::FileRef ref(QFile::encodeName(target).constData(), false);
            if (ref.tag()) {
                ref.tag()->setTitle(TagLib::String(QString::asprintf("Title %d", i).toStdString()));
                ref.tag()->setArtist(TagLib::String(QString::asprintf("Artist %d", album / 10).toStdString()));
                ref.tag()->setAlbum(TagLib::String(QString::asprintf("Album %d", album).toStdString()));
                ref.tag()->setTrack(uint(i % perFolder + 1));
                ref.save();
            }
            files.append(target);
        }
    }
};

} // namespace generated
