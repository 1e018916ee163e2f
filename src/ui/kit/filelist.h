#pragma once

// A list of files or folders, one row each: a symbol, a name and a button at
// the right end ("Pokaż", "Otwórz"). Rows are drawn by a delegate, so a long
// list never means a widget per row; each row stands for its full path, so two
// rows with the same shown name still act on their own files.

#include <QListView>
#include <QStringList>

class QStandardItemModel;

class FileList : public QListView
{
    Q_OBJECT
public:
    // `symbol` is drawn before every name; `button` (Polish) is shown through
    // the display rule.
    FileList(const QString &symbol, const QString &button, QWidget *parent = nullptr);

    // One row per path, in this order; `names` are what the rows show.
    void setEntries(const QStringList &paths, const QStringList &names);
    QStringList paths() const;
    QStringList names() const;
    QString buttonText() const { return m_button; }

    // Where row `row`'s button is, in viewport coordinates.
    QRect buttonRect(int row) const;

    static constexpr int rowHeight = 38;

signals:
    // The row's button was pressed (or Return pressed on the row).
    void triggered(const QString &path);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    friend class FileListDelegate;
    QStandardItemModel *m_model;
    QString m_symbol;
    QString m_button;
    int m_pressedRow = -1;
};
