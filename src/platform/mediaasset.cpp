#include "platform/mediaasset.h"

#include "platform/adts.h"
#include "platform/paths.h"
#include "platform/xiphcomment.h"

#include <QFile>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4atom.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>
#include <taglib/tiostream.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString qt(const TagLib::String &s)
{
    return QString::fromUtf8(s.toCString(true));
}

QString joined(const TagLib::StringList &list)
{
    QStringList parts;
    parts.reserve(qsizetype(list.size()));
    for (const TagLib::String &s : list)
        parts.append(qt(s));
    return parts.join(u'/');
}

QByteArray bytes(const TagLib::ByteVector &v)
{
    return QByteArray(v.data(), qsizetype(v.size()));
}

MetadataCommonKey commonKeyOf(QLatin1StringView frame)
{
    if (frame == u"TIT2")
        return MetadataCommonKey::title;
    if (frame == u"TPE1")
        return MetadataCommonKey::artist;
    if (frame == u"TALB")
        return MetadataCommonKey::albumName;
    if (frame == u"APIC")
        return MetadataCommonKey::artwork;
    if (frame == u"TDRC" || frame == u"TYER")
        return MetadataCommonKey::creationDate;
    return MetadataCommonKey::none;
}

// "id3/" + the frame's name; the names met most often share one text each.
QString identifierOf(QLatin1StringView frame)
{
    static const QLatin1StringView known[] = {"TIT2"_L1, "TPE1"_L1, "TALB"_L1, "TPE2"_L1, "TRCK"_L1,
                                              "TPOS"_L1, "TDRC"_L1, "TYER"_L1, "TCON"_L1, "COMM"_L1};
    static const QString identifiers[] = {u"id3/TIT2"_s, u"id3/TPE1"_s, u"id3/TALB"_s, u"id3/TPE2"_s,
                                          u"id3/TRCK"_s, u"id3/TPOS"_s, u"id3/TDRC"_s, u"id3/TYER"_s,
                                          u"id3/TCON"_s, u"id3/COMM"_s};
    for (size_t i = 0; i < std::size(known); ++i)
        if (frame == known[i])
            return identifiers[i];
    return u"id3/"_s + frame;
}

MetadataItem textItem(QLatin1StringView frame, std::optional<QString> value)
{
    return {identifierOf(frame), commonKeyOf(frame), std::move(value), std::nullopt};
}

MetadataItem artworkItem(QByteArray data)
{
    return {u"id3/APIC"_s, MetadataCommonKey::artwork, std::nullopt, std::move(data)};
}

// Field names of Vorbis comments, APE tags and similar key=value formats.
QLatin1StringView frameForField(const QString &name)
{
    struct Row {
        QLatin1StringView field;
        QLatin1StringView frame;
    };
    static const Row rows[] = {
        {"TITLE"_L1, "TIT2"_L1},        {"ARTIST"_L1, "TPE1"_L1},        {"ALBUM"_L1, "TALB"_L1},
        {"ALBUMARTIST"_L1, "TPE2"_L1},  {"ALBUM ARTIST"_L1, "TPE2"_L1},  {"ALBUM_ARTIST"_L1, "TPE2"_L1},
        {"TRACKNUMBER"_L1, "TRCK"_L1},  {"TRACK"_L1, "TRCK"_L1},         {"DISCNUMBER"_L1, "TPOS"_L1},
        {"DISC"_L1, "TPOS"_L1},         {"DATE"_L1, "TDRC"_L1},          {"YEAR"_L1, "TDRC"_L1},
        {"GENRE"_L1, "TCON"_L1},        {"COMPOSER"_L1, "TCOM"_L1},      {"COMMENT"_L1, "COMM"_L1},
        {"DESCRIPTION"_L1, "COMM"_L1},  {"LYRICS"_L1, "USLT"_L1},        {"UNSYNCEDLYRICS"_L1, "USLT"_L1},
        {"COPYRIGHT"_L1, "TCOP"_L1},    {"ENCODER"_L1, "TSSE"_L1},       {"ENCODEDBY"_L1, "TENC"_L1},
        {"ORGANIZATION"_L1, "TPUB"_L1}, {"LABEL"_L1, "TPUB"_L1},         {"PUBLISHER"_L1, "TPUB"_L1},
        {"BPM"_L1, "TBPM"_L1},          {"COMPILATION"_L1, "TCMP"_L1},   {"ISRC"_L1, "TSRC"_L1},
        {"CONDUCTOR"_L1, "TPE3"_L1},    {"LYRICIST"_L1, "TEXT"_L1},      {"GROUPING"_L1, "TIT1"_L1},
        {"LANGUAGE"_L1, "TLAN"_L1},     {"MOOD"_L1, "TMOO"_L1},          {"TITLESORT"_L1, "TSOT"_L1},
        {"ARTISTSORT"_L1, "TSOP"_L1},   {"ALBUMSORT"_L1, "TSOA"_L1},     {"ALBUMARTISTSORT"_L1, "TSO2"_L1},
        {"COMPOSERSORT"_L1, "TSOC"_L1}, {"ORIGINALDATE"_L1, "TDOR"_L1},  {"SUBTITLE"_L1, "TIT3"_L1},
    };
    for (const Row &row : rows)
        if (name == row.field)
            return row.frame;
    return "TXXX"_L1;
}

// The frames one reading lists: every one, or only those the caller names.
// A frame left out costs no conversion of its value.
class Wanted
{
public:
    Wanted() = default;
    explicit Wanted(const QList<QLatin1StringView> &frames) : m_frames(&frames) {}
    bool operator()(QLatin1StringView frame) const { return !m_frames || m_frames->contains(frame); }

private:
    const QList<QLatin1StringView> *m_frames = nullptr;
};

// Appends pictures so that at most one artwork item survives: the last front
// cover, or without one the first picture, at the position it is stored.
class PictureChoice
{
public:
    void offer(QList<MetadataItem> &items, quint32 type, QByteArray data)
    {
        if (m_index >= 0 && type != 3)
            return;
        if (m_index >= 0)
            items.removeAt(m_index);
        m_index = items.size();
        items.append(artworkItem(std::move(data)));
    }

private:
    qsizetype m_index = -1;
};

// ---- ID3 ----------------------------------------------------------------------------

void appendID3v2(const TagLib::ID3v2::Tag &tag, QList<MetadataItem> &items, const Wanted &wanted)
{
    const bool wantsArtwork = wanted("APIC"_L1);
    // The one artwork item: the first front cover, else the first picture.
    const TagLib::ID3v2::Frame *chosen = nullptr;
    if (wantsArtwork) {
        for (const TagLib::ID3v2::Frame *frame : tag.frameList()) {
            const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame);
            if (!picture)
                continue;
            if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
                chosen = picture;
                break;
            }
            if (!chosen)
                chosen = picture;
        }
    }
    for (const TagLib::ID3v2::Frame *frame : tag.frameList()) {
        const TagLib::ByteVector &frameID = frame->frameID();
        const QLatin1StringView id(frameID.data(), qsizetype(frameID.size()));
        if (const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame)) {
            if (picture == chosen)
                items.append(artworkItem(bytes(picture->picture())));
            continue;
        }
        if (!wanted(id))
            continue;
        std::optional<QString> value;
        if (const auto *user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(frame)) {
            TagLib::StringList fields = user->fieldList();
            if (!fields.isEmpty())
                fields.erase(fields.begin()); // the description
            value = joined(fields);
        } else if (const auto *text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame *>(frame)) {
            value = joined(text->fieldList());
        } else if (const auto *comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame *>(frame)) {
            value = qt(comment->text());
        } else if (const auto *lyrics = dynamic_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame *>(frame)) {
            value = qt(lyrics->text());
        } else if (const auto *link = dynamic_cast<const TagLib::ID3v2::UrlLinkFrame *>(frame)) {
            value = qt(link->url());
        }
        items.append(textItem(id, std::move(value)));
    }
}

void appendID3v1(TagLib::ID3v1::Tag &tag, QList<MetadataItem> &items, const Wanted &wanted)
{
    auto add = [&](QLatin1StringView frame, const auto &value) {
        if (!wanted(frame))
            return;
        QString text = value();
        if (!text.isEmpty())
            items.append(textItem(frame, std::move(text)));
    };
    add("TIT2"_L1, [&] { return qt(tag.title()); });
    add("TPE1"_L1, [&] { return qt(tag.artist()); });
    add("TALB"_L1, [&] { return qt(tag.album()); });
    if (tag.year() > 0)
        add("TDRC"_L1, [&] { return QString::number(tag.year()); });
    add("COMM"_L1, [&] { return qt(tag.comment()); });
    if (tag.track() > 0)
        add("TRCK"_L1, [&] { return QString::number(tag.track()); });
    add("TCON"_L1, [&] { return qt(tag.genre()); });
}

// ---- Vorbis comments -------------------------------------------------------------------

void appendComment(const QString &name, const QString &value, QList<MetadataItem> &items, PictureChoice &pictures,
                   const Wanted &wanted)
{
    if (name == u"METADATA_BLOCK_PICTURE") {
        if (!wanted("APIC"_L1))
            return;
        const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(value.toLatin1());
        if (decoded)
            if (const std::optional<xiph::Picture> picture = xiph::picture(*decoded))
                pictures.offer(items, picture->type, picture->data);
        return;
    }
    if (name == u"COVERART") {
        if (!wanted("APIC"_L1))
            return;
        const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(value.toLatin1());
        if (decoded && !decoded.decoded.isEmpty())
            pictures.offer(items, 0, decoded.decoded);
        return;
    }
    const QLatin1StringView frame = frameForField(name);
    if (wanted(frame))
        items.append(textItem(frame, value));
}

// TagLib keeps Vorbis comments in a map sorted by name; the raw comment packet
// gives the stored order.
bool appendOggComments(QByteArrayView view, QByteArrayView prefix, QList<MetadataItem> &items,
                       const Wanted &wanted)
{
    if (!view.startsWith(prefix))
        return false;
    PictureChoice pictures;
    for (const xiph::Comment &comment : xiph::comments(view.sliced(prefix.size())))
        appendComment(comment.name, comment.value, items, pictures, wanted);
    return true;
}

void appendXiphComment(TagLib::Ogg::XiphComment &tag, QList<MetadataItem> &items, PictureChoice &pictures,
                       const Wanted &wanted)
{
    for (const auto &[name, values] : tag.fieldListMap())
        for (const TagLib::String &value : values)
            appendComment(qt(name).toUpper(), qt(value), items, pictures, wanted);
    if (wanted("APIC"_L1))
        for (const TagLib::FLAC::Picture *picture : tag.pictureList())
            pictures.offer(items, quint32(picture->type()), bytes(picture->data()));
}

// ---- MP4 --------------------------------------------------------------------------------

void appendMP4Item(const QString &atom, const TagLib::MP4::Item &item, QList<MetadataItem> &items,
                   const Wanted &wanted)
{
    enum Kind { text, pair, integer, boolean };
    struct Row {
        QLatin1StringView atom; // Latin-1, as TagLib names the atoms
        QLatin1StringView frame;
        Kind kind;
    };
    static const Row rows[] = {
        {"\xa9nam"_L1, "TIT2"_L1, text}, {"\xa9" "ART"_L1, "TPE1"_L1, text}, {"\xa9" "alb"_L1, "TALB"_L1, text},
        {"aART"_L1, "TPE2"_L1, text},    {"trkn"_L1, "TRCK"_L1, pair},       {"disk"_L1, "TPOS"_L1, pair},
        {"\xa9" "day"_L1, "TDRC"_L1, text}, {"\xa9" "gen"_L1, "TCON"_L1, text}, {"\xa9wrt"_L1, "TCOM"_L1, text},
        {"\xa9" "cmt"_L1, "COMM"_L1, text}, {"\xa9lyr"_L1, "USLT"_L1, text},    {"\xa9too"_L1, "TSSE"_L1, text},
        {"cprt"_L1, "TCOP"_L1, text},    {"\xa9grp"_L1, "TIT1"_L1, text},    {"tmpo"_L1, "TBPM"_L1, integer},
        {"cpil"_L1, "TCMP"_L1, boolean}, {"sonm"_L1, "TSOT"_L1, text},       {"soar"_L1, "TSOP"_L1, text},
        {"soal"_L1, "TSOA"_L1, text},    {"soaa"_L1, "TSO2"_L1, text},       {"soco"_L1, "TSOC"_L1, text},
    };
    for (const Row &row : rows) {
        if (atom != row.atom)
            continue;
        if (!wanted(row.frame))
            return;
        QString value;
        switch (row.kind) {
        case text: value = joined(item.toStringList()); break;
        case pair: {
            const TagLib::MP4::Item::IntPair numbers = item.toIntPair();
            value = numbers.second > 0 ? QString::number(numbers.first) + u'/' + QString::number(numbers.second)
                                       : QString::number(numbers.first);
            break;
        }
        case integer: value = QString::number(item.toInt()); break;
        case boolean: value = item.toBool() ? u"1"_s : u"0"_s; break;
        }
        items.append(textItem(row.frame, value));
        return;
    }
    if (atom == u"gnre" && wanted("TCON"_L1)) // a numeric ID3v1 genre
        items.append(textItem("TCON"_L1, QString::number(item.toInt())));
}

void appendMP4(TagLib::MP4::File &file, QList<MetadataItem> &items, const Wanted &wanted)
{
    TagLib::MP4::Tag *tag = file.tag();
    if (!tag)
        return;
    // TagLib's item map is sorted by name; the atom tree gives the stored order.
    TagLib::MP4::Atoms atoms(&file);
    TagLib::MP4::Atom *list = atoms.find("moov", "udta", "meta", "ilst");
    QStringList order;
    if (list)
        for (const TagLib::MP4::Atom *child : list->children)
            order.append(QString::fromLatin1(child->name.data(), qsizetype(child->name.size())));
    else
        for (const auto &[key, item] : tag->itemMap())
            order.append(qt(key));
    bool freeformDone = false;
    for (const QString &atom : order) {
        if (atom == u"----") {
            // Free-form items: TagLib names them "----:mean:name"; they are
            // listed together where the first of them is stored.
            if (freeformDone || !wanted("TXXX"_L1))
                continue;
            freeformDone = true;
            for (const auto &[key, item] : tag->itemMap())
                if (qt(key).startsWith(u"----:"_s))
                    items.append(textItem("TXXX"_L1, joined(item.toStringList())));
            continue;
        }
        const TagLib::String key(atom.toLatin1().constData(), TagLib::String::Latin1);
        if (!tag->contains(key))
            continue;
        const TagLib::MP4::Item item = tag->item(key);
        if (atom == u"covr") {
            if (!wanted("APIC"_L1))
                continue;
            const TagLib::MP4::CoverArtList covers = item.toCoverArtList();
            if (!covers.isEmpty()) // MP4 covers carry no picture type: the first one
                items.append(artworkItem(bytes(covers.front().data())));
            continue;
        }
        appendMP4Item(atom, item, items, wanted);
    }
}

// ---- APE and RIFF INFO ------------------------------------------------------------------

void appendAPE(const TagLib::APE::Tag &tag, QList<MetadataItem> &items, const Wanted &wanted)
{
    PictureChoice pictures;
    for (const auto &[key, item] : tag.itemListMap()) {
        const QString name = qt(key).toUpper();
        if (item.type() == TagLib::APE::Item::Binary) {
            if (!name.startsWith(u"COVER ART"_s) || !wanted("APIC"_L1))
                continue;
            QByteArray data = bytes(item.binaryData());
            data = data.mid(data.indexOf('\0') + 1); // after the file name
            if (!data.isEmpty())
                pictures.offer(items, name == u"COVER ART (FRONT)" ? 3 : 0, std::move(data));
            continue;
        }
        if (item.type() == TagLib::APE::Item::Text) {
            const QLatin1StringView frame = frameForField(name);
            if (wanted(frame))
                items.append(textItem(frame, joined(item.values())));
        }
    }
}

void appendInfo(const TagLib::RIFF::Info::Tag &tag, QList<MetadataItem> &items, const Wanted &wanted)
{
    struct Row {
        const char *chunk;
        QLatin1StringView frame;
    };
    static const Row rows[] = {{"INAM", "TIT2"_L1}, {"IART", "TPE1"_L1}, {"IPRD", "TALB"_L1}, {"ICRD", "TDRC"_L1},
                               {"IPRT", "TRCK"_L1}, {"ITRK", "TRCK"_L1}, {"IGNR", "TCON"_L1}, {"ICMT", "COMM"_L1},
                               {"ICOP", "TCOP"_L1}, {"ISFT", "TSSE"_L1}, {"IENG", "TENC"_L1}};
    for (const auto &[chunk, value] : tag.fieldListMap()) {
        QLatin1StringView frame = "TXXX"_L1;
        for (const Row &row : rows)
            if (chunk == TagLib::ByteVector(row.chunk, 4))
                frame = row.frame;
        if (wanted(frame))
            items.append(textItem(frame, qt(value)));
    }
}

} // namespace

// ---- the asset ----------------------------------------------------------------------------

namespace {

// A read-only TagLib stream over a file, read in 64 KB blocks with pread and
// kept for the life of the stream. TagLib seeks back and forth between the
// head and the tail of a file many times; through a plain FILE every one of
// those is a system call, here only the first read of each block is.
class CachedFileStream : public TagLib::IOStream
{
public:
    // Only a regular file is kept open: the descriptor's own stat says what
    // it is (a FIFO named like audio is opened without waiting for a writer
    // and then closed), so no stat of the path is needed beforehand.
    explicit CachedFileStream(const QByteArray &name) : m_name(name)
    {
        // Never waits on a name that became a FIFO or device after it was listed.
        do
            m_fd = ::open(m_name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        while (m_fd < 0 && errno == EINTR);
        struct stat st {};
        if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) {
            m_length = qint64(st.st_size);
        } else if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~CachedFileStream() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    TagLib::FileName name() const override { return m_name.constData(); }
    bool isOpen() const override { return m_fd >= 0; }
    bool readOnly() const override { return true; }
    long length() override { return long(m_length); }
    long tell() const override { return long(m_position); }
    void seek(long offset, Position from) override
    {
        const qint64 base = from == Beginning ? 0 : from == Current ? m_position : m_length;
        m_position = std::max<qint64>(0, base + offset);
    }
    void clear() override {}

    TagLib::ByteVector readBlock(unsigned long wanted) override
    {
        if (m_fd < 0 || m_position >= m_length || wanted == 0)
            return TagLib::ByteVector();
        const qint64 size = std::min<qint64>(qint64(wanted), m_length - m_position);
        TagLib::ByteVector out(uint(size), '\0');
        qint64 done = 0;
        while (done < size) {
            const qint64 at = m_position + done;
            const QByteArray *block = blockAt(at / blockSize);
            if (!block)
                break;
            const qint64 offset = at % blockSize;
            const qint64 n = std::min<qint64>(size - done, qint64(block->size()) - offset);
            if (n <= 0)
                break;
            std::memcpy(out.data() + done, block->constData() + offset, size_t(n));
            done += n;
        }
        out.resize(uint(done));
        m_position += done;
        return out;
    }

    // Copies `size` bytes at `at` without moving the position; false when
    // the file ends before them.
    bool copy(qint64 at, char *out, qint64 size)
    {
        if (m_fd < 0 || at < 0 || size < 0 || at + size > m_length)
            return false;
        qint64 done = 0;
        while (done < size) {
            const QByteArray *block = blockAt((at + done) / blockSize);
            if (!block)
                return false;
            const qint64 offset = (at + done) % blockSize;
            const qint64 n = std::min<qint64>(size - done, qint64(block->size()) - offset);
            if (n <= 0)
                return false;
            std::memcpy(out + done, block->constData() + offset, size_t(n));
            done += n;
        }
        return true;
    }

    // Never written to: the import only reads.
    void writeBlock(const TagLib::ByteVector &) override {}
    void insert(const TagLib::ByteVector &, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    void truncate(long) override {}

private:
    static constexpr qint64 blockSize = 64 * 1024;

    const QByteArray *blockAt(qint64 index)
    {
        const auto known = m_blocks.find(index);
        if (known != m_blocks.end())
            return &known->second;
        // A file read from end to end keeps at most 4 MB of it.
        if (m_blocks.size() >= 64)
            m_blocks.clear();
        // A short file, or a file's last block, takes only what it holds.
        const qint64 wanted = std::clamp<qint64>(m_length - index * blockSize, 1, blockSize);
        QByteArray bytes(wanted, Qt::Uninitialized);
        qint64 got = 0;
        while (got < wanted) {
            const ssize_t n = ::pread(m_fd, bytes.data() + got, size_t(wanted - got), off_t(index * blockSize + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        if (got == 0)
            return nullptr;
        bytes.truncate(qsizetype(got));
        return &m_blocks.emplace(index, std::move(bytes)).first->second;
    }

    QByteArray m_name;
    int m_fd = -1;
    qint64 m_length = 0;
    qint64 m_position = 0;
    std::map<qint64, QByteArray> m_blocks;
};

} // namespace

namespace {

// ---- a lean reading of plain MP4 files ------------------------------------------------------
//
// TagLib builds an object for every atom and every item of an MP4 file and
// copies each one through its own buffers; an import asks for a duration, the
// first audio stream and a few items. This reader walks the atom headers of
// the "moov" atom alone and converts only those items. It gives exactly what
// TagLib would, and claims only files laid out as it expects: anything else
// (64-bit or open-ended atom sizes, atoms overrunning their parent, repeated
// items, data of unexpected shape, text that is not clean UTF-8) is left to
// TagLib.

quint32 bigEndian32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

struct LeanAtom {
    qsizetype offset = 0; // within the moov bytes, at the size field
    qsizetype length = 0;
    char name[4] = {};
    qsizetype parent = -1;

    bool is(const char *n) const { return std::memcmp(name, n, 4) == 0; }
};

// The atoms TagLib descends into; its "meta" holds a version and flags
// before the children and "stsd" an entry count as well.
bool isContainer(const LeanAtom &atom)
{
    static const char *const names[] = {"moov", "udta", "mdia", "meta", "ilst", "stbl",
                                        "minf", "moof", "traf", "trak", "stsd"};
    for (const char *name : names)
        if (atom.is(name))
            return true;
    return false;
}

class LeanTree
{
public:
    explicit LeanTree(QByteArray moov) : m_bytes(std::move(moov)) {}

    // False when the layout is one this reader leaves to TagLib.
    bool parse()
    {
        LeanAtom root;
        std::memcpy(root.name, "moov", 4);
        root.length = m_bytes.size();
        m_atoms.push_back(root);
        return children(0, 8);
    }

    const QByteArray &bytes() const { return m_bytes; }
    const LeanAtom &at(qsizetype index) const { return m_atoms[size_t(index)]; }
    qsizetype count() const { return qsizetype(m_atoms.size()); }

    // The first child of `parent` named `name`; -1 when there is none.
    qsizetype find(qsizetype parent, const char *name) const
    {
        if (parent < 0)
            return -1;
        for (size_t i = size_t(parent) + 1; i < m_atoms.size(); ++i)
            if (m_atoms[i].parent == parent && m_atoms[i].is(name))
                return qsizetype(i);
        return -1;
    }
    qsizetype find(qsizetype parent, std::initializer_list<const char *> path) const
    {
        for (const char *name : path)
            parent = find(parent, name);
        return parent;
    }
    QByteArrayView body(qsizetype index) const
    {
        const LeanAtom &atom = at(index);
        return QByteArrayView(m_bytes).sliced(atom.offset, atom.length);
    }

private:
    bool children(qsizetype parent, qsizetype skip)
    {
        const qsizetype begin = m_atoms[size_t(parent)].offset + skip;
        const qsizetype end = m_atoms[size_t(parent)].offset + m_atoms[size_t(parent)].length;
        if (begin > end)
            return false;
        qsizetype pos = begin;
        while (pos + 8 <= end) {
            const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData()) + pos;
            const qint64 length = bigEndian32(p);
            if (length < 8 || pos + length > end || m_atoms.size() > 4096)
                return false;
            LeanAtom atom;
            atom.offset = pos;
            atom.length = qsizetype(length);
            std::memcpy(atom.name, p + 4, 4);
            atom.parent = parent;
            m_atoms.push_back(atom);
            const qsizetype index = qsizetype(m_atoms.size()) - 1;
            if (isContainer(atom)) {
                qsizetype childSkip = 8;
                if (atom.is("meta")) {
                    // Only the usual layout: version and flags, then a handler.
                    if (length < 20 || bigEndian32(p + 8) != 0 || std::memcmp(p + 16, "hdlr", 4) != 0)
                        return false;
                    childSkip = 12;
                } else if (atom.is("stsd")) {
                    childSkip = 16;
                }
                if (!children(index, childSkip))
                    return false;
            }
            pos += length;
        }
        // TagLib reads a child from any byte left over, past the parent's end.
        return pos == end;
    }

    QByteArray m_bytes;
    std::vector<LeanAtom> m_atoms;
};

struct LeanFacts {
    int lengthMs = 0;
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    TagLib::MP4::Properties::Codec codec = TagLib::MP4::Properties::Unknown;
    QList<MetadataItem> items; // of leanFrames() only, in stored order
};

// The frames the lean reading answers for; an MP4 file never has "TYER".
bool isLeanFrame(QLatin1StringView frame)
{
    static const QLatin1StringView frames[] = {"TIT2"_L1, "TPE1"_L1, "TALB"_L1, "TPE2"_L1, "TRCK"_L1,
                                               "TPOS"_L1, "TDRC"_L1, "TYER"_L1, "APIC"_L1};
    return std::find(std::begin(frames), std::end(frames), frame) != std::end(frames);
}

qint16 bigEndian16(QByteArrayView v, qsizetype at)
{
    return qint16(quint16(uchar(v[at])) << 8 | quint16(uchar(v[at + 1])));
}

// The "data" atoms of an item as TagLib takes them: up to the first that is
// not one; with `flags` >= 0 only those of that type. False on a shape this
// reader leaves to TagLib.
bool dataOf(QByteArrayView item, int flags, QList<QByteArrayView> &out)
{
    qsizetype pos = 8;
    while (pos < item.size()) {
        if (pos + 12 > item.size())
            return false;
        const auto *p = reinterpret_cast<const uchar *>(item.data()) + pos;
        const qint64 length = bigEndian32(p);
        if (length < 12)
            return true;
        if (std::memcmp(p + 4, "data", 4) != 0)
            return true;
        if (length < 16 || pos + length > item.size())
            return false;
        if (flags < 0 || qint64(bigEndian32(p + 8)) == flags)
            out.append(item.sliced(pos + 16, qsizetype(length) - 16));
        pos += qsizetype(length);
    }
    return true;
}

bool leanItem(const char *name, QByteArrayView item, QList<MetadataItem> &items)
{
    struct Row {
        const char *atom;
        QLatin1StringView frame;
    };
    static const Row texts[] = {{"\xa9nam", "TIT2"_L1}, {"\xa9" "ART", "TPE1"_L1}, {"\xa9" "alb", "TALB"_L1},
                                {"aART", "TPE2"_L1},    {"\xa9" "day", "TDRC"_L1}};
    QList<QByteArrayView> data;
    if (std::memcmp(name, "trkn", 4) == 0 || std::memcmp(name, "disk", 4) == 0) {
        if (!dataOf(item, -1, data))
            return false;
        if (data.isEmpty())
            return true;
        if (data.front().size() < 6)
            return false;
        const int first = bigEndian16(data.front(), 2);
        const int second = bigEndian16(data.front(), 4);
        const QString value = second > 0 ? QString::number(first) + u'/' + QString::number(second)
                                         : QString::number(first);
        items.append(textItem(name[0] == 't' ? "TRCK"_L1 : "TPOS"_L1, value));
        return true;
    }
    if (std::memcmp(name, "covr", 4) == 0) {
        qsizetype pos = 8;
        while (pos < item.size()) {
            if (pos + 12 > item.size())
                return false;
            const auto *p = reinterpret_cast<const uchar *>(item.data()) + pos;
            const qint64 length = bigEndian32(p);
            if (length < 12 || std::memcmp(p + 4, "data", 4) != 0)
                break;
            if (length < 16 || pos + length > item.size())
                return false;
            const quint32 type = bigEndian32(p + 8);
            if (type == 0 || type == 12 || type == 13 || type == 14 || type == 27) {
                items.append(artworkItem(item.sliced(pos + 16, qsizetype(length) - 16).toByteArray()));
                return true;
            }
            pos += qsizetype(length);
        }
        return true;
    }
    for (const Row &row : texts) {
        if (std::memcmp(name, row.atom, 4) != 0)
            continue;
        if (!dataOf(item, 1, data))
            return false;
        if (data.isEmpty())
            return true;
        QStringList values;
        for (QByteArrayView bytes : data) {
            // TagLib's own conversion differs from Qt's only on text like this.
            if (bytes.contains('\0') || bytes.startsWith("\xEF\xBB\xBF"))
                return false;
            QString value = QString::fromUtf8(bytes);
            if (value.contains(QChar::ReplacementCharacter))
                return false;
            values.append(std::move(value));
        }
        items.append(textItem(row.frame, values.join(u'/')));
        return true;
    }
    return true; // an item the import does not read
}

std::optional<LeanFacts> readLeanMP4(CachedFileStream &stream)
{
    const qint64 fileLength = stream.length();
    // The top level: every atom whole, and one "moov" among them.
    qint64 moovAt = -1;
    qint64 moovLength = 0;
    for (qint64 pos = 0; pos + 8 <= fileLength;) {
        uchar header[8];
        if (!stream.copy(pos, reinterpret_cast<char *>(header), 8))
            return std::nullopt;
        const qint64 length = bigEndian32(header);
        if (length < 8 || pos + length > fileLength)
            return std::nullopt;
        if (std::memcmp(header + 4, "moov", 4) == 0) {
            if (moovAt >= 0)
                return std::nullopt;
            moovAt = pos;
            moovLength = length;
        } else {
            LeanAtom atom;
            std::memcpy(atom.name, header + 4, 4);
            if (isContainer(atom))
                return std::nullopt; // TagLib would walk its children as well
        }
        pos += length;
    }
    if (moovAt < 0 || moovLength > 64 * 1024 * 1024)
        return std::nullopt;
    QByteArray moov(qsizetype(moovLength), Qt::Uninitialized);
    if (!stream.copy(moovAt, moov.data(), moovLength))
        return std::nullopt;
    LeanTree tree(std::move(moov));
    if (!tree.parse())
        return std::nullopt;

    LeanFacts facts;
    // The technical data, from the first sound track.
    qsizetype trak = -1;
    bool stop = false;
    for (qsizetype i = 1; i < tree.count() && trak < 0 && !stop; ++i) {
        if (tree.at(i).parent != 0 || !tree.at(i).is("trak"))
            continue;
        const qsizetype hdlr = tree.find(i, {"mdia", "hdlr"});
        if (hdlr < 0) {
            stop = true;
            break;
        }
        const QByteArrayView data = tree.body(hdlr);
        if (data.size() >= 20 && data.sliced(16, 4) == "soun")
            trak = i;
    }
    const qsizetype mdhd = trak >= 0 ? tree.find(trak, {"mdia", "mdhd"}) : -1;
    if (mdhd >= 0) {
        const QByteArrayView data = tree.body(mdhd);
        const auto *p = reinterpret_cast<const uchar *>(data.data());
        bool read = false;
        long long unit = 0;
        long long length = 0;
        if (data.size() < 9)
            return std::nullopt;
        if (p[8] == 1) {
            if (data.size() >= 44) {
                unit = bigEndian32(p + 28);
                length = qint64(quint64(bigEndian32(p + 32)) << 32 | bigEndian32(p + 36));
                read = true;
            }
        } else if (data.size() >= 32) {
            unit = bigEndian32(p + 20);
            length = bigEndian32(p + 24);
            read = true;
        }
        if (read && unit > 0 && length > 0)
            facts.lengthMs = static_cast<int>(double(length) * 1000.0 / double(unit) + 0.5);
        const qsizetype stsd = read ? tree.find(trak, {"mdia", "minf", "stbl", "stsd"}) : -1;
        if (stsd >= 0) {
            const QByteArrayView s = tree.body(stsd);
            const auto *q = reinterpret_cast<const uchar *>(s.data());
            if (s.size() >= 24 && s.sliced(20, 4) == "mp4a") {
                if (s.size() < 50)
                    return std::nullopt;
                facts.codec = TagLib::MP4::Properties::AAC;
                facts.channels = bigEndian16(s, 40);
                facts.bitsPerSample = bigEndian16(s, 42);
                facts.sampleRate = int(bigEndian32(q + 46));
            } else if (s.size() >= 24 && s.sliced(20, 4) == "alac") {
                if (s.size() == 88 && s.sliced(56, 4) == "alac") {
                    facts.codec = TagLib::MP4::Properties::ALAC;
                    facts.bitsPerSample = int(static_cast<signed char>(q[69]));
                    facts.channels = int(static_cast<signed char>(q[73]));
                    facts.sampleRate = int(bigEndian32(q + 84));
                }
            }
        }
    }

    // The items, in stored order; each at most once.
    const qsizetype ilst = tree.find(0, {"udta", "meta", "ilst"});
    if (ilst >= 0) {
        QList<QByteArray> seen;
        for (qsizetype i = ilst + 1; i < tree.count(); ++i) {
            const LeanAtom &atom = tree.at(i);
            if (atom.parent != ilst)
                continue;
            // TagLib keeps one item per name; which one is its business.
            static const QByteArrayView read[] = {"\xa9nam", "\xa9" "ART", "\xa9" "alb", "aART",
                                                  "\xa9" "day", "trkn", "disk", "covr"};
            const QByteArray name(atom.name, 4);
            if (std::find(std::begin(read), std::end(read), QByteArrayView(name)) == std::end(read))
                continue;
            if (seen.contains(name))
                return std::nullopt;
            seen.append(name);
            if (!leanItem(atom.name, tree.body(i), facts.items))
                return std::nullopt;
        }
    }
    return facts;
}

// The second packet of a plain Ogg stream (its comment header), gathered from
// its pages; none for anything else (another stream's page, a page cut short,
// a bad capture pattern), which is then left to TagLib.
std::optional<QByteArray> secondOggPacket(CachedFileStream &stream)
{
    QByteArray packet;
    int packetIndex = 0;
    quint32 serial = 0;
    bool continued = false; // the last page ended inside a packet
    for (qint64 pos = 0; pos + 27 <= stream.length();) {
        uchar header[27];
        if (!stream.copy(pos, reinterpret_cast<char *>(header), 27))
            return std::nullopt;
        if (std::memcmp(header, "OggS", 4) != 0 || header[4] != 0)
            return std::nullopt;
        const quint32 pageSerial = quint32(header[14]) | quint32(header[15]) << 8 | quint32(header[16]) << 16
                                   | quint32(header[17]) << 24;
        if (pos == 0)
            serial = pageSerial;
        else if (pageSerial != serial)
            return std::nullopt;
        // The first page begins the stream; each page says whether it continues a packet.
        if (bool(header[5] & 0x02) != (pos == 0) || bool(header[5] & 0x01) != continued)
            return std::nullopt;
        const int segments = header[26];
        uchar lacing[255];
        if (!stream.copy(pos + 27, reinterpret_cast<char *>(lacing), segments))
            return std::nullopt;
        qint64 at = pos + 27 + segments;
        for (int i = 0; i < segments; ++i) {
            if (packetIndex == 1) {
                const qsizetype old = packet.size();
                packet.resize(old + lacing[i]);
                if (!stream.copy(at, packet.data() + old, lacing[i]))
                    return std::nullopt;
            }
            at += lacing[i];
            continued = lacing[i] == 255;
            if (lacing[i] < 255) {
                if (packetIndex == 1)
                    return packet;
                ++packetIndex;
            }
        }
        if (at > stream.length())
            return std::nullopt;
        pos = at;
    }
    return std::nullopt;
}

// The extensions TagLib reads as MP4 files.
bool hasMP4Extension(const QString &path)
{
    const QString extension = paths::extension(path).toLower();
    return extension == u"m4a" || extension == u"m4b" || extension == u"mp4" || extension == u"m4r"
           || extension == u"m4p" || extension == u"3g2" || extension == u"m4v";
}

} // namespace

struct MediaAsset::Opened {
    bool isADTS = false;
    std::optional<adts::StreamInfo> adtsInfo;
    // Declared before the reference, which must go first.
    std::unique_ptr<CachedFileStream> stream;
    // What the lean reading of an MP4 file gave; TagLib then reads the file
    // only when asked for more than that.
    std::optional<LeanFacts> lean;
    bool refMade = false;
    TagLib::FileRef tagLibRef; // null when TagLib cannot read the file
    std::optional<QList<MetadataItem>> items;
    bool itemsRead = false;

    TagLib::FileRef &ref()
    {
        if (!refMade) {
            refMade = true;
            if (stream && stream->isOpen())
                tagLibRef = TagLib::FileRef(stream.get(), true, TagLib::AudioProperties::Accurate);
        }
        return tagLibRef;
    }
};

MediaAsset::MediaAsset(QString path) : m_path(std::move(path)) {}

MediaAsset::~MediaAsset() = default;

MediaAsset::Opened &MediaAsset::opened()
{
    if (m_opened)
        return *m_opened;
    m_opened = std::make_unique<Opened>();
    const QByteArray name = QFile::encodeName(m_path);
    if (paths::extension(m_path).toLower() == u"aac") {
        // TagLib reads no ADTS stream: our own reader gives the technical data.
        m_opened->isADTS = true;
        m_opened->adtsInfo = adts::read(m_path);
    } else {
        m_opened->stream = std::make_unique<CachedFileStream>(name);
        if (m_opened->stream->isOpen() && hasMP4Extension(m_path))
            m_opened->lean = readLeanMP4(*m_opened->stream);
        if (!m_opened->lean)
            m_opened->ref();
    }
    return *m_opened;
}

std::optional<qint64> MediaAsset::openedSize() const
{
    if (!m_opened || !m_opened->stream || !m_opened->stream->isOpen())
        return std::nullopt;
    return qint64(m_opened->stream->length());
}

std::optional<double> MediaAsset::duration()
{
    Opened &o = opened();
    if (o.isADTS)
        return o.adtsInfo ? std::optional<double>(o.adtsInfo->duration) : std::nullopt;
    if (o.lean)
        return o.lean->lengthMs / 1000.0;
    if (o.ref().isNull() || !o.ref().audioProperties())
        return std::nullopt;
    return o.ref().audioProperties()->lengthInMilliseconds() / 1000.0;
}

namespace {

AudioStreamDescription mp4Stream(int sampleRate, TagLib::MP4::Properties::Codec codec, int bitsPerSample)
{
    AudioStreamDescription d;
    d.sampleRate = sampleRate;
    if (codec == TagLib::MP4::Properties::ALAC) {
        d.formatID = audioformat::alac;
        d.bitsPerChannel = quint32(std::max(bitsPerSample, 0));
        switch (bitsPerSample) {
        case 16: d.formatFlags = 1; break;
        case 20: d.formatFlags = 2; break;
        case 24: d.formatFlags = 3; break;
        case 32: d.formatFlags = 4; break;
        default: break;
        }
    } else if (codec == TagLib::MP4::Properties::AAC) {
        d.formatID = audioformat::aac;
    }
    return d;
}

} // namespace

std::optional<AudioStreamDescription> MediaAsset::firstAudioStream()
{
    Opened &o = opened();
    if (o.isADTS) {
        if (!o.adtsInfo)
            return std::nullopt;
        return AudioStreamDescription{double(o.adtsInfo->sampleRate), audioformat::aac, 0, 0};
    }
    if (o.lean) {
        const LeanFacts &lean = *o.lean;
        if (lean.sampleRate <= 0 && lean.channels <= 0)
            return std::nullopt;
        return mp4Stream(lean.sampleRate, lean.codec, lean.bitsPerSample);
    }
    if (o.ref().isNull())
        return std::nullopt;
    const TagLib::AudioProperties *properties = o.ref().audioProperties();
    if (!properties || (properties->sampleRate() <= 0 && properties->channels() <= 0))
        return std::nullopt;
    AudioStreamDescription d;
    d.sampleRate = properties->sampleRate();
    TagLib::File *file = o.ref().file();
    // Lossless formats report their source depth, lossy ones none.
    if (dynamic_cast<TagLib::MPEG::File *>(file)) {
        d.formatID = audioformat::mp3;
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        const TagLib::MP4::Properties *p = mp4->audioProperties();
        d = mp4Stream(properties->sampleRate(), p->codec(), p->bitsPerSample());
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        d.formatID = audioformat::flac;
        d.bitsPerChannel = quint32(std::max(flac->audioProperties()->bitsPerSample(), 0));
    } else if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(file)) {
        d.formatID = audioformat::flac;
        d.bitsPerChannel = quint32(std::max(oggFlac->audioProperties()->bitsPerSample(), 0));
    } else if (dynamic_cast<TagLib::Ogg::Vorbis::File *>(file)) {
        d.formatID = audioformat::vorbis;
    } else if (dynamic_cast<TagLib::Ogg::Opus::File *>(file)) {
        d.formatID = audioformat::opus;
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        d.formatID = audioformat::linearPCM;
        const int format = wav->audioProperties()->format();
        // Integer PCM, IEEE float and the extensible header carry samples as they are.
        if (format == 1 || format == 3 || format == 0xFFFE)
            d.bitsPerChannel = quint32(std::max(wav->audioProperties()->bitsPerSample(), 0));
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file)) {
        d.formatID = audioformat::linearPCM;
        d.bitsPerChannel = quint32(std::max(aiff->audioProperties()->bitsPerSample(), 0));
    } else if (auto *wavpack = dynamic_cast<TagLib::WavPack::File *>(file)) {
        d.formatID = audioformat::wavpack;
        d.bitsPerChannel = quint32(std::max(wavpack->audioProperties()->bitsPerSample(), 0));
    } else if (auto *ape = dynamic_cast<TagLib::APE::File *>(file)) {
        d.formatID = audioformat::monkeysAudio;
        d.bitsPerChannel = quint32(std::max(ape->audioProperties()->bitsPerSample(), 0));
    } else if (dynamic_cast<TagLib::MPC::File *>(file)) {
        d.formatID = audioformat::musepack;
    }
    return d;
}

std::optional<QList<MetadataItem>> MediaAsset::metadata()
{
    Opened &o = opened();
    if (o.itemsRead)
        return o.items;
    o.itemsRead = true;
    o.items = readItems(nullptr);
    return o.items;
}

std::optional<QList<MetadataItem>> MediaAsset::metadata(const QList<QLatin1StringView> &frames)
{
    Opened &o = opened();
    if (o.itemsRead) {
        if (!o.items)
            return std::nullopt;
        QList<MetadataItem> kept;
        for (const MetadataItem &item : *o.items)
            if (frames.contains(QStringView(item.identifier).sliced(4)))
                kept.append(item);
        return kept;
    }
    if (o.lean && std::all_of(frames.cbegin(), frames.cend(), isLeanFrame)) {
        QList<MetadataItem> kept;
        for (const MetadataItem &item : o.lean->items)
            if (frames.contains(QStringView(item.identifier).sliced(4)))
                kept.append(item);
        return kept;
    }
    return readItems(&frames);
}

std::optional<QList<MetadataItem>> MediaAsset::readItems(const QList<QLatin1StringView> *frames)
{
    const Wanted wanted = frames ? Wanted(*frames) : Wanted();
    Opened &o = opened();
    QList<MetadataItem> items;
    if (o.isADTS) {
        // An ADTS stream may start with an ID3v2 tag; TagLib's MPEG reader finds it.
        CachedFileStream stream(QFile::encodeName(m_path));
        if (!stream.isOpen())
            return std::nullopt;
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isOpen())
            return std::nullopt;
        if (file.hasID3v2Tag())
            appendID3v2(*file.ID3v2Tag(), items, wanted);
        else if (file.hasID3v1Tag())
            appendID3v1(*file.ID3v1Tag(), items, wanted);
        return items;
    }
    if (o.ref().isNull())
        return std::nullopt;
    TagLib::File *file = o.ref().file();
    // The comment packet: a reading for a few frames takes it from the bytes
    // already read rather than having TagLib gather its pages again.
    auto commentPacket = [&](TagLib::Ogg::File &ogg) {
        if (frames)
            if (std::optional<QByteArray> packet = secondOggPacket(*o.stream))
                return *packet;
        const TagLib::ByteVector packet = ogg.packet(1);
        return QByteArray(packet.data(), qsizetype(packet.size()));
    };
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        if (mpeg->hasID3v2Tag())
            appendID3v2(*mpeg->ID3v2Tag(), items, wanted);
        else if (mpeg->hasID3v1Tag())
            appendID3v1(*mpeg->ID3v1Tag(), items, wanted);
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        appendMP4(*mp4, items, wanted);
    } else if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file)) {
        if (!appendOggComments(commentPacket(*vorbis), "\x03vorbis", items, wanted) && vorbis->tag()) {
            PictureChoice pictures;
            appendXiphComment(*vorbis->tag(), items, pictures, wanted);
        }
    } else if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(file)) {
        if (!appendOggComments(commentPacket(*opus), "OpusTags", items, wanted) && opus->tag()) {
            PictureChoice pictures;
            appendXiphComment(*opus->tag(), items, pictures, wanted);
        }
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        PictureChoice pictures;
        if (flac->hasXiphComment())
            for (const auto &[name, values] : flac->xiphComment()->fieldListMap())
                for (const TagLib::String &value : values)
                    appendComment(qt(name).toUpper(), qt(value), items, pictures, wanted);
        else if (flac->hasID3v2Tag())
            appendID3v2(*flac->ID3v2Tag(), items, wanted);
        if (wanted("APIC"_L1))
            for (const TagLib::FLAC::Picture *picture : flac->pictureList())
                pictures.offer(items, quint32(picture->type()), bytes(picture->data()));
    } else if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(file)) {
        PictureChoice pictures;
        if (oggFlac->tag())
            appendXiphComment(*oggFlac->tag(), items, pictures, wanted);
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        if (wav->hasID3v2Tag())
            appendID3v2(*wav->ID3v2Tag(), items, wanted);
        else if (wav->hasInfoTag())
            appendInfo(*wav->InfoTag(), items, wanted);
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file)) {
        if (aiff->hasID3v2Tag())
            appendID3v2(*aiff->tag(), items, wanted);
    } else if (auto *wavpack = dynamic_cast<TagLib::WavPack::File *>(file)) {
        if (wavpack->hasAPETag())
            appendAPE(*wavpack->APETag(), items, wanted);
        else if (wavpack->hasID3v1Tag())
            appendID3v1(*wavpack->ID3v1Tag(), items, wanted);
    } else if (auto *ape = dynamic_cast<TagLib::APE::File *>(file)) {
        if (ape->hasAPETag())
            appendAPE(*ape->APETag(), items, wanted);
        else if (ape->hasID3v1Tag())
            appendID3v1(*ape->ID3v1Tag(), items, wanted);
    } else if (auto *mpc = dynamic_cast<TagLib::MPC::File *>(file)) {
        if (mpc->hasAPETag())
            appendAPE(*mpc->APETag(), items, wanted);
        else if (mpc->hasID3v1Tag())
            appendID3v1(*mpc->ID3v1Tag(), items, wanted);
    }
    return items;
}
