#include "support/texts.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <algorithm>

#include <functional>

using namespace Qt::StringLiterals;

namespace texts {

namespace {

// One line per distinct text that a finder objects to: the text, the reason
// and where it was found.
QStringList reasonsAmong(const QList<Text> &found, const std::function<QString(const QString &)> &why)
{
    QStringList lines;
    QSet<QString> seen;
    for (const Text &text : found) {
        if (seen.contains(text.text))
            continue;
        seen.insert(text.text);
        const QString reason = why(text.text);
        if (!reason.isEmpty())
            lines.append(u"\u201C"_s + text.text + u"\u201D ("_s + reason + u"; "_s + text.where + u')');
    }
    return lines;
}

QString nameOf(const QObject *object)
{
    if (!object)
        return u"?"_s;
    QString name = QString::fromLatin1(object->metaObject()->className());
    if (!object->objectName().isEmpty())
        name += u' ' + object->objectName();
    return name;
}

// --- Painted texts ------------------------------------------------------------

// A paint engine that draws nothing and keeps the text of each text item.
class TextEngine : public QPaintEngine
{
public:
    TextEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    QList<Text> found;

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    Type type() const override { return QPaintEngine::User; }

    void drawTextItem(const QPointF &, const QTextItem &item) override
    {
        const QString text = item.text();
        if (text.trimmed().isEmpty())
            return;
        const QPaintDevice *device = painter() ? painter()->device() : nullptr;
        const auto *widget = dynamic_cast<const QWidget *>(device);
        found.append({text, u"painted by "_s + nameOf(widget)});
    }

    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawImage(const QRectF &, const QImage &, const QRectF &, Qt::ImageConversionFlags) override {}
    void drawTiledPixmap(const QRectF &, const QPixmap &, const QPointF &) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint *, int, PolygonDrawMode) override {}
    void drawRects(const QRectF *, int) override {}
    void drawRects(const QRect *, int) override {}
    void drawLines(const QLineF *, int) override {}
    void drawLines(const QLine *, int) override {}
    void drawEllipse(const QRectF &) override {}
    void drawEllipse(const QRect &) override {}
    void drawPoints(const QPointF *, int) override {}
    void drawPoints(const QPoint *, int) override {}
};

class TextDevice : public QPaintDevice
{
public:
    explicit TextDevice(QSize size) : m_size(size) {}
    ~TextDevice() override = default;

    QPaintEngine *paintEngine() const override { return &m_engine; }
    QList<Text> &found() { return m_engine.found; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmWidthMM: return m_size.width() * 254 / 960;
        case PdmHeightMM: return m_size.height() * 254 / 960;
        case PdmNumColors: return INT_MAX;
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return QPaintDevice::metric(metric);
        }
    }

private:
    QSize m_size;
    mutable TextEngine m_engine;
};

// --- Held texts ----------------------------------------------------------------

QString plain(const QString &text)
{
    if (Qt::mightBeRichText(text))
        return QTextDocumentFragment::fromHtml(text).toPlainText();
    return text;
}

// A menu or button title without its mnemonic marks ("&Plik" → "Plik").
QString withoutMnemonic(QString text)
{
    static const QRegularExpression mark(u"&(?!&)"_s);
    text.remove(mark);
    text.replace(u"&&"_s, u"&"_s);
    return text;
}

class Collector
{
public:
    QList<Text> found;

    void add(const QString &text, const QString &where)
    {
        const QString shown = plain(text);
        if (!shown.trimmed().isEmpty())
            found.append({shown, where});
    }

    void addAction(QAction *action, const QString &where, QSet<QAction *> &seen)
    {
        if (!action || seen.contains(action) || !action->isVisible() || action->isSeparator())
            return;
        seen.insert(action);
        const QString at = where + u" · action"_s;
        add(withoutMnemonic(action->text()), at);
        add(withoutMnemonic(action->iconText()), at + u" icon text"_s);
        add(action->toolTip(), at + u" tooltip"_s);
        add(action->statusTip(), at + u" status tip"_s);
        add(action->whatsThis(), at + u" what's this"_s);
        if (QMenu *menu = action->menu()) {
            add(withoutMnemonic(menu->title()), at + u" menu"_s);
            for (QAction *item : menu->actions())
                addAction(item, where + u" › "_s + withoutMnemonic(action->text()), seen);
        }
    }

    void addModel(QAbstractItemModel *model, const QModelIndex &parent, const QString &where, int &budget)
    {
        if (!model)
            return;
        const int rows = model->rowCount(parent);
        const int columns = model->columnCount(parent);
        for (int row = 0; row < rows && budget > 0; ++row) {
            for (int column = 0; column < columns && budget > 0; ++column, --budget) {
                const QModelIndex index = model->index(row, column, parent);
                for (int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole), int(Qt::StatusTipRole),
                                 int(Qt::AccessibleTextRole), int(Qt::AccessibleDescriptionRole)}) {
                    const QVariant value = index.data(role);
                    if (value.canConvert<QString>() && value.typeId() != QMetaType::Bool)
                        add(value.toString(), where + u" · row "_s + QString::number(row));
                }
                if (column == 0 && model->hasChildren(index))
                    addModel(model, index, where, budget);
            }
        }
    }

    void addAccessible(QAccessibleInterface *iface, const QString &where, int depth, int &budget)
    {
        if (!iface || !iface->isValid() || depth > 3 || budget <= 0)
            return;
        if (iface->state().invisible || iface->state().offscreen)
            return;
        add(iface->text(QAccessible::Name), where + u" · accessible name"_s);
        add(iface->text(QAccessible::Description), where + u" · accessible description"_s);
        add(iface->text(QAccessible::Help), where + u" · accessible help"_s);
        // Children that are widgets are read on their own; the others are the
        // parts a widget paints itself (rows, cells, cards).
        const int children = iface->childCount();
        for (int i = 0; i < children && budget > 0; ++i, --budget) {
            QAccessibleInterface *child = iface->child(i);
            if (child && !(child->object() && child->object()->isWidgetType()))
                addAccessible(child, where, depth + 1, budget);
        }
    }

    void addWidget(QWidget *w)
    {
        const QString where = nameOf(w);
        if (w->isWindow())
            add(w->windowTitle(), where + u" · window title"_s);
        add(w->toolTip(), where + u" · tooltip"_s);
        add(w->statusTip(), where + u" · status tip"_s);
        add(w->whatsThis(), where + u" · what's this"_s);
        add(w->accessibleName(), where + u" · accessible name"_s);
        add(w->accessibleDescription(), where + u" · accessible description"_s);

        if (auto *label = qobject_cast<QLabel *>(w)) {
            add(label->buddy() ? withoutMnemonic(label->text()) : label->text(), where);
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            add(withoutMnemonic(button->text()), where);
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            add(edit->text(), where);
            add(edit->placeholderText(), where + u" · placeholder"_s);
        } else if (auto *text = qobject_cast<QTextEdit *>(w)) {
            add(text->toPlainText(), where);
            add(text->placeholderText(), where + u" · placeholder"_s);
        } else if (auto *plainText = qobject_cast<QPlainTextEdit *>(w)) {
            add(plainText->toPlainText(), where);
            add(plainText->placeholderText(), where + u" · placeholder"_s);
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i) {
                add(combo->itemText(i), where + u" · item"_s);
                add(combo->itemData(i, Qt::ToolTipRole).toString(), where + u" · item tooltip"_s);
            }
            add(combo->placeholderText(), where + u" · placeholder"_s);
        } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                add(withoutMnemonic(tabs->tabText(i)), where + u" · tab"_s);
                add(tabs->tabToolTip(i), where + u" · tab tooltip"_s);
            }
        } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
            add(withoutMnemonic(group->title()), where + u" · title"_s);
        } else if (auto *progress = qobject_cast<QProgressBar *>(w)) {
            if (progress->isTextVisible())
                add(progress->text(), where);
        } else if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
            int budget = 4000;
            addModel(view->model(), view->rootIndex(), where, budget);
            if (QAbstractItemModel *model = view->model()) {
                for (int c = 0; c < model->columnCount(view->rootIndex()); ++c)
                    add(model->headerData(c, Qt::Horizontal).toString(), where + u" · column title"_s);
            }
        } else if (auto *menu = qobject_cast<QMenu *>(w)) {
            add(withoutMnemonic(menu->title()), where + u" · title"_s);
        }
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
            add(spin->specialValueText(), where + u" · special value"_s);
        if (auto *spin = qobject_cast<QSpinBox *>(w)) {
            add(spin->prefix(), where + u" · prefix"_s);
            add(spin->suffix(), where + u" · suffix"_s);
        }
        if (auto *box = qobject_cast<QMessageBox *>(w))
            add(box->detailedText(), where + u" · details"_s);

        QSet<QAction *> seen;
        for (QAction *action : w->actions())
            addAction(action, where, seen);

        if (!qobject_cast<QAbstractItemView *>(w)) {
            int budget = 400;
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
            if (iface) {
                const int children = iface->childCount();
                for (int i = 0; i < children && budget > 0; ++i, --budget) {
                    QAccessibleInterface *child = iface->child(i);
                    if (child && !(child->object() && child->object()->isWidgetType()))
                        addAccessible(child, where, 1, budget);
                }
            }
        }
    }
};

// The texts of `root` and the widgets inside it, in its window; not those of
// the windows it owns.
QList<Text> harvestWidget(QWidget *root)
{
    Collector collector;
    QList<QWidget *> widgets{root};
    widgets += root->findChildren<QWidget *>();
    for (QWidget *w : std::as_const(widgets)) {
        if (w->window() != root->window() || (w != root && !w->isVisibleTo(root)))
            continue;
        collector.addWidget(w);
    }
    QList<Text> found = std::move(collector.found);
    found += painted(root);
    return found;
}

QList<Text> harvestWindow(QWidget *window)
{
    return harvestWidget(window);
}

} // namespace

QList<Text> of(QWidget *widget)
{
    return harvestWidget(widget);
}

QList<Text> painted(QWidget *widget)
{
    const QSize size = widget->size().expandedTo(QSize(1, 1));
    TextDevice device(size);
    widget->render(&device, QPoint(), QRegion(), QWidget::DrawChildren);
    return device.found();
}

QList<Text> harvest(QWidget *window)
{
    QList<Text> found = harvestWindow(window);
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isWindow() && w->isVisible())
            found += harvestWindow(w);
    }
    return found;
}

QList<Text> harvestApplication()
{
    QList<Text> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isWindow() && w->isVisible())
            found += harvestWindow(w);
    }
    return found;
}

// --- The check -----------------------------------------------------------------

namespace {

const QRegularExpression &wordPattern()
{
    static const QRegularExpression word(u"\\p{L}+"_s);
    return word;
}

const QString &polishLetters()
{
    static const QString letters = u"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"_s;
    return letters;
}

// Names and technical words the Polish texts use as English does.
const QStringList &sharedNames()
{
    static const QStringList names = {
        u"Rockbox"_s, u"iPod"_s, u"Vontaro"_s, u"Cover"_s, u"Flow"_s,
        u"FLAC"_s, u"ALAC"_s, u"AAC"_s, u"MP3"_s, u"WAV"_s, u"AIFF"_s, u"Ogg"_s, u"Opus"_s, u"Vorbis"_s,
        u"JPEG"_s, u"PNG"_s, u"BMP"_s, u"ZIP"_s, u"M3U"_s, u"SHA"_s, u"HTTP"_s, u"HTTPS"_s, u"UDisks"_s,
        u"classic"_s, u"nano"_s, u"mini"_s, u"video"_s, u"touch"_s, u"photo"_s, u"color"_s,
        u"Linux"_s, u"macOS"_s, u"Mac"_s, u"MusicBrainz"_s, u"Database"_s, u"Settings"_s, u"Theme"_s,
        u"Browse"_s, u"Themes"_s, u"Files"_s, u"Music"_s, u"Hi"_s, u"Res"_s, u"firmware"_s, u"NAND"_s,
        u"Cover Art Archive"_s, u"Archive"_s, u"Art"_s, u"English"_s, u"Polski"_s,
        // English words that Polish happens to spell the same way.
        u"ten"_s, u"ale"_s, u"spacer"_s,
    };
    return names;
}

} // namespace

PolishFinder::PolishFinder(const QHash<QString, QString> &table)
{
    static const QRegularExpression placeholder(u"\\{[0-9]+\\}"_s);
    static const QRegularExpression word(u"\\p{L}{3,}"_s);
    QSet<QString> english;
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        for (auto m = word.globalMatch(QString(it.key()).remove(placeholder)); m.hasNext();)
            m_vocabulary.insert(m.next().captured().toLower());
        for (auto m = word.globalMatch(it.value()); m.hasNext();)
            english.insert(m.next().captured().toLower());
    }
    m_vocabulary.subtract(english);
    for (const QString &name : sharedNames())
        allowWord(name);
}

void PolishFinder::allowWord(const QString &word)
{
    for (auto m = wordPattern().globalMatch(word); m.hasNext();)
        m_allowedWords.insert(m.next().captured().toLower());
}

void PolishFinder::allowData(const QString &data)
{
    if (data.trimmed().isEmpty() || m_data.contains(data))
        return;
    m_data.append(data);
    std::sort(m_data.begin(), m_data.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
}

QString PolishFinder::why(const QString &text) const
{
    QString rest = text;
    for (const QString &data : m_data)
        rest.replace(data, u"\u2022"_s);
    for (const QChar c : std::as_const(rest)) {
        if (polishLetters().contains(c))
            return u"Polish letter \u201C"_s + c + u"\u201D"_s;
        if (c == u'\u201E')
            return u"Polish opening quotation mark \u201E"_s;
    }
    for (auto m = wordPattern().globalMatch(rest); m.hasNext();) {
        const QString word = m.next().captured();
        const QString lower = word.toLower();
        if (m_vocabulary.contains(lower) && !m_allowedWords.contains(lower))
            return u"Polish word \u201C"_s + word + u"\u201D"_s;
    }
    return QString();
}

QStringList PolishFinder::polishAmong(const QList<Text> &found) const
{
    return reasonsAmong(found, [this](const QString &text) { return why(text); });
}

// --- English left on Polish screens --------------------------------------------

const QStringList &EnglishFinder::qtWords()
{
    static const QStringList words = {
        u"Cancel"_s, u"Open"_s, u"Save"_s, u"Close"_s, u"Look in:"_s, u"Directory:"_s, u"File name:"_s,
        u"Files of type:"_s, u"Date Modified"_s, u"Undo"_s, u"Redo"_s, u"Cut"_s, u"Copy"_s, u"Paste"_s,
        u"Delete"_s, u"Select All"_s, u"Apply"_s, u"Discard"_s, u"Yes"_s, u"No"_s,
    };
    return words;
}

const QStringList &EnglishFinder::platformWords()
{
    static const QStringList words = {
        u"byte"_s, u"bytes"_s, u"tracks"_s, u"albums"_s, u"Could not"_s, u"not found"_s, u"No space left"_s,
        u"No such file"_s, u"Permission denied"_s, u"timed out"_s, u"Connection refused"_s,
        u"Operation canceled"_s, u"Unknown error"_s, u"Read-only file system"_s, u"Input/output error"_s,
        u"Finder"_s, u"Finderze"_s, u"Mac"_s, u"on the Mac"_s, u"on your Mac"_s,
    };
    return words;
}

EnglishFinder::EnglishFinder() = default;

void EnglishFinder::allowData(const QString &data)
{
    if (data.trimmed().isEmpty() || m_data.contains(data))
        return;
    m_data.append(data);
    std::sort(m_data.begin(), m_data.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
}

QString EnglishFinder::why(const QString &text) const
{
    QString rest = text;
    for (const QString &data : m_data)
        rest.replace(data, u"\u2022"_s);
    // Whole words only ("Open" is not "OpenGL", "Mac" is not "macOS"); Qt's
    // words as Qt writes them, the platform's in any case.
    const auto found = [&](const QString &phrase, Qt::CaseSensitivity cs) {
        const QRegularExpression pattern(u"(?<![\\p{L}\\p{N}])"_s + QRegularExpression::escape(phrase)
                                             + u"(?![\\p{L}\\p{N}])"_s,
                                         cs == Qt::CaseInsensitive ? QRegularExpression::CaseInsensitiveOption
                                                                   : QRegularExpression::NoPatternOption);
        return pattern.match(rest).hasMatch();
    };
    for (const QString &word : m_qtWords ? qtWords() : QStringList()) {
        if (found(word, Qt::CaseSensitive))
            return u"Qt's word \u201C"_s + word + u"\u201D"_s;
    }
    for (const QString &word : platformWords()) {
        if (found(word, word.at(0).isUpper() ? Qt::CaseSensitive : Qt::CaseInsensitive))
            return u"English \u201C"_s + word + u"\u201D"_s;
    }
    return QString();
}

QStringList EnglishFinder::englishAmong(const QList<Text> &found) const
{
    return reasonsAmong(found, [this](const QString &text) { return why(text); });
}

} // namespace texts
