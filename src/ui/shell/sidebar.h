#pragma once

// The left column of the main window: the brand, one button per section, the
// interface-language picker and the taglines.

#include "media/records.h"

#include <QAbstractButton>
#include <QWidget>

class QComboBox;
class TavoModel;

// A section's button: its symbol and title, filled blue while chosen.
class SectionButton : public QAbstractButton
{
    Q_OBJECT
public:
    SectionButton(Section section, QWidget *parent = nullptr);
    Section section() const { return m_section; }
    void setChosen(bool chosen);
    bool chosen() const { return m_chosen; }
    // Whether the focus ring is drawn (only for focus the keyboard brought).
    bool showsFocusRing() const { return m_focusRing && hasFocus(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    Section m_section;
    bool m_chosen = false;
    bool m_hovered = false;
    bool m_focusRing = false; // focus came from the keyboard
};

class Sidebar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int fixedWidth = 205;

    explicit Sidebar(TavoModel *model, QWidget *parent = nullptr);
    SectionButton *button(Section section) const;
    QComboBox *languagePicker() const { return m_language; }

signals:
    // The user picked "pl", "en" or "system".
    void languageChosen(const QString &code);

private:
    void showSection();
    TavoModel *m_model;
    QList<SectionButton *> m_buttons;
    QComboBox *m_language;
};
