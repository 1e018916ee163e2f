#pragma once

// The "Twój iPod" page: the connected iPod as a dark hero card (its drawing with
// the theme its settings name, its facts, the choice of model and colour, the
// user's description), then statistics tiles, the storage bar and the theme and
// backup cards. Without a device: the drawn placeholder and a button to choose one.
//
// Everything shown comes from the model and is set again whenever the model
// announces a change; the sums over the device's tracks are made only when
// those tracks change, and the volume's facts come from the model, which reads
// them off the main thread.

#include "media/records.h"

#include <QWidget>

class IPodIllustration;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedLayout;
class QToolButton;
class StorageBar;
class TavoModel;
class Workspace;

class DeviceInfoView : public QWidget
{
    Q_OBJECT
public:
    // `workspace` opens the device's folder; the desktop's own when none is given.
    explicit DeviceInfoView(TavoModel *model, Workspace *workspace = nullptr, QWidget *parent = nullptr);

    // Sets every text and value from the model again.
    void refresh();

    // The value of one fact of the grid, as shown (row by row, 0 … 7).
    QString fact(int index) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildNoDevice();
    QWidget *buildDevice();
    QWidget *buildHero();
    QWidget *buildStatistics();
    QWidget *buildStorage();
    QWidget *buildCards();
    void refreshHero();
    void refreshLower();
    void recountMusic();

    TavoModel *m_model;
    Workspace *m_workspace;
    QStackedLayout *m_states = nullptr;
    QWidget *m_noDevice = nullptr;
    QWidget *m_withDevice = nullptr;
    IPodIllustration *m_placeholderIPod = nullptr;

    // Hero.
    QLabel *m_badge = nullptr;
    QLabel *m_modelName = nullptr;
    QLabel *m_capacity = nullptr;
    QList<QLabel *> m_factLabels;
    QList<QLabel *> m_factValues;
    QLabel *m_rootPath = nullptr;
    QComboBox *m_modelPicker = nullptr;
    QComboBox *m_finishPicker = nullptr;
    QLabel *m_appearanceNote = nullptr;
    QLineEdit *m_description = nullptr;
    QString m_descriptionRoot; // the device whose description the field holds
    IPodIllustration *m_heroIPod = nullptr;
    QLabel *m_themeName = nullptr;
    QLabel *m_previewSource = nullptr;

    // Statistics, storage, cards.
    QLabel *m_freeValue = nullptr;
    QLabel *m_musicValue = nullptr;
    QLabel *m_themesValue = nullptr;
    QLabel *m_storageFree = nullptr;
    StorageBar *m_bar = nullptr;
    QLabel *m_otherLegend = nullptr;
    QLabel *m_totalLegend = nullptr;
    QLabel *m_themeCardName = nullptr;
    QLabel *m_backupTitle = nullptr;
    QPushButton *m_backupButton = nullptr;

    qint64 m_mp3Bytes = 0;
    qint64 m_flacBytes = 0;
};
