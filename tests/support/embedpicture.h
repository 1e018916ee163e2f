#pragma once

// Puts a picture into an audio file's tags as other programs store a front
// cover: an ID3v2 APIC frame in MP3, a picture block in FLAC, a "covr" item in
// M4A. Any picture the file carried before is removed.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <attachedpictureframe.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v2tag.h>
#include <mp4coverart.h>
#include <mp4file.h>
#include <mp4tag.h>
#include <mpegfile.h>

namespace fixtures {

inline bool embedPicture(const QString &path, const QByteArray &picture)
{
    const QByteArray encoded = QFile::encodeName(path);
    const TagLib::ByteVector data(picture.constData(), uint(picture.size()));
    if (path.endsWith(QStringLiteral(".mp3"))) {
        TagLib::MPEG::File file(encoded.constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
        tag->removeFrames("APIC");
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/jpeg");
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setPicture(data);
        tag->addFrame(frame);
        return file.save();
    }
    if (path.endsWith(QStringLiteral(".flac"))) {
        TagLib::FLAC::File file(encoded.constData());
        file.removePictures();
        auto *block = new TagLib::FLAC::Picture;
        block->setMimeType("image/jpeg");
        block->setType(TagLib::FLAC::Picture::FrontCover);
        block->setData(data);
        file.addPicture(block);
        return file.save();
    }
    TagLib::MP4::File file(encoded.constData());
    if (!file.isValid() || !file.tag())
        return false;
    file.tag()->setItem("covr", TagLib::MP4::CoverArtList().append(
                                    TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, data)));
    return file.save();
}

} // namespace fixtures
