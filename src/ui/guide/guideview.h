#pragma once

// The page of the guide section: the Rockbox guide (our own HTML pages, in
// Polish or English, shown without scripts) and the gallery of every iPod model
// with its Rockbox support note. The page keeps only its two choices, the
// sub-page and the guide's language, and writes nothing to the model.

#include "device/ipodprofile.h"

#include <QAbstractButton>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <optional>

class IPodIllustration;
class QButtonGroup;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class Workspace;

// The guide document. Links with the schemes "https" and "mailto" open in the
// user's browser or mail program; every other link is followed inside.
class GuideBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit GuideBrowser(bool english, Workspace *workspace = nullptr, QWidget *parent = nullptr);

    // The guide document of one edition: ":/Guide/en.html" or ":/Guide/index.html"
    // as a qrc address; none when the resource is missing.
    static std::optional<QUrl> documentUrl(bool english);

    // Shows the edition; the same document is never loaded again, so the place
    // the reader scrolled to stays.
    void setEnglish(bool english);
    bool english() const { return m_english; }
    const std::optional<QUrl> &loaded() const { return m_loaded; }
    int loadCount() const { return m_loads; }

    // Whether a link opens outside the guide.
    static bool opensOutside(const QUrl &url);

private:
    void update();
    void follow(const QUrl &url);

    bool m_english;
    Workspace *m_workspace;
    std::optional<QUrl> m_loaded;
    int m_loads = 0;
};

// The "English" switch: a label and a sliding knob.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ToggleSwitch(const QString &text, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// One card of the model gallery: the model's drawing in its own finish, its
// name and its support note, on a faint rounded background.
class ModelCard : public QWidget
{
    Q_OBJECT
public:
    static constexpr int padding = 14;
    static constexpr double illustrationWidth = 120;
    static constexpr double illustrationMaxHeight = 190;
    static constexpr int illustrationSlot = 195;
    static constexpr int spacing = 10;
    explicit ModelCard(const IPodProfile &profile, QWidget *parent = nullptr);

    const IPodProfile &profile() const { return m_profile; }
    IPodIllustration *illustration() const { return m_illustration; }
    QLabel *nameLabel() const { return m_name; }
    QLabel *supportLabel() const { return m_support; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void recolor();
    IPodProfile m_profile;
    IPodIllustration *m_illustration;
    QLabel *m_name;
    QLabel *m_support;
};

// The cards of every iPod model in adaptive columns.
class ModelGallery : public QWidget
{
    Q_OBJECT
public:
    static constexpr double minimumColumnWidth = 180;
    static constexpr double columnSpacing = 20;
    static constexpr double rowSpacing = 26;
    explicit ModelGallery(QWidget *parent = nullptr);
    QList<ModelCard *> cards() const { return m_cards; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {int(minimumColumnWidth), 0}; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Places the cards for a width and returns the height they take.
    int place(int width, bool apply) const;
    QList<ModelCard *> m_cards;
};

class GuideView : public QWidget
{
    Q_OBJECT
public:
    // `page`: "Poradnik" (the guide) or "Modele" (the gallery); `english`: the
    // guide's edition. `workspace` opens outside links; null means the desktop's.
    GuideView(const QString &page, bool english, QWidget *parent = nullptr, Workspace *workspace = nullptr);

    const QString &page() const { return m_page; }
    bool english() const { return m_english; }
    void setPage(const QString &page);
    void setEnglish(bool english);

    ToggleSwitch *englishSwitch() const { return m_switch; }
    QPushButton *guideSegment() const { return m_guideSegment; }
    QPushButton *modelsSegment() const { return m_modelsSegment; }
    // The guide's document view while the guide is shown, else null.
    GuideBrowser *browser() const { return m_browser; }
    // The gallery while it is shown, else null.
    ModelGallery *gallery() const { return m_gallery; }

private:
    void rebuildContent();

    QString m_page;
    bool m_english;
    Workspace *m_workspace;
    ToggleSwitch *m_switch;
    QPushButton *m_guideSegment;
    QPushButton *m_modelsSegment;
    QVBoxLayout *m_layout;
    QWidget *m_content = nullptr;
    GuideBrowser *m_browser = nullptr;
    ModelGallery *m_gallery = nullptr;
};
