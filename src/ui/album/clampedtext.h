#pragma once

// A text of at most a given number of lines, word-wrapped, whose last line
// ends in an ellipsis when the text is longer. Titles and names of the album
// sheets use it, so a long one never pushes the controls below it away.

#include <QColor>
#include <QString>
#include <QWidget>

class ClampedText : public QWidget
{
    Q_OBJECT
public:
    explicit ClampedText(int maxLines, QWidget *parent = nullptr);

    void setText(const QString &text);
    const QString &text() const { return m_text; }
    void setColor(const QColor &color);
    // The lines as drawn at the current width (the last one elided when cut).
    QStringList visibleLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QStringList layoutLines(int width) const;

    QString m_text;
    int m_maxLines;
    QColor m_color;
};
