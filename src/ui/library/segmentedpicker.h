#pragma once

// A row of joined buttons of which exactly one is chosen: the page's side and
// format pickers. Labels are given in Polish and shown through the display rule.

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

class SegmentedPicker : public QWidget
{
    Q_OBJECT
public:
    SegmentedPicker(const QStringList &labels, QWidget *parent = nullptr);

    int currentIndex() const;
    // Chooses a segment without emitting `activated`; -1 chooses none.
    void setCurrentIndex(int index);
    QAbstractButton *button(int index) const;
    int count() const;

signals:
    // The user chose a segment.
    void activated(int index);

protected:
    void changeEvent(QEvent *event) override;

private:
    void restyle();
    QButtonGroup *m_group;
};
