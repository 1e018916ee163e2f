#pragma once

// Helpers for the tests of the collection-care operations (duplicates, covers
// found online or repaired, clean-up, theme installation): a record of every
// published change, so a refused call can be shown to change nothing, and
// the histories of the texts and fractions an operation publishes.

#include "operationstesting.h"

#include <QList>
#include <QString>
#include <initializer_list>

// Counts every notification of the model's published fields.
class ChangeCounter
{
public:
    explicit ChangeCounter(TavoModel &model)
    {
        using Signal = void (TavoModel::*)();
        const std::initializer_list<Signal> signals_ = {
            &TavoModel::coverLookupChanged,   &TavoModel::showCoverFlowChanged,  &TavoModel::duplicateIssuesChanged,
            &TavoModel::duplicateStatusChanged, &TavoModel::sectionChanged,    &TavoModel::devicesChanged,
            &TavoModel::deviceChanged,        &TavoModel::tracksChanged,         &TavoModel::deviceTracksChanged,
            &TavoModel::libraryOnDeviceChanged, &TavoModel::selectedOnDeviceChanged, &TavoModel::queuedChanged,
            &TavoModel::searchChanged,        &TavoModel::busyChanged,           &TavoModel::progressChanged,
            &TavoModel::statusChanged,        &TavoModel::alertChanged,          &TavoModel::themesChanged,
            &TavoModel::playlistsChanged,     &TavoModel::backupsChanged,        &TavoModel::transferredChanged,
            &TavoModel::playlistNameChanged,  &TavoModel::openAlbumChanged,      &TavoModel::themePreviewsChanged,
            &TavoModel::themePreviewStatusChanged, &TavoModel::openThemeChanged, &TavoModel::deviceInfoChanged,
            &TavoModel::deviceConfigChanged,  &TavoModel::themeSettingsChanged,
        };
        for (Signal signal : signals_)
            m_connections.append(QObject::connect(&model, signal, [this] { ++m_count; }));
    }
    ~ChangeCounter()
    {
        for (const QMetaObject::Connection &connection : m_connections)
            QObject::disconnect(connection);
    }
    ChangeCounter(const ChangeCounter &) = delete;
    ChangeCounter &operator=(const ChangeCounter &) = delete;

    int count() const { return m_count; }

private:
    int m_count = 0;
    QList<QMetaObject::Connection> m_connections;
};

// Every value a text or fraction of the model took, in order.
class History
{
public:
    explicit History(TavoModel &model)
    {
        m_connections = {
            QObject::connect(&model, &TavoModel::statusChanged, [this, &model] { statuses.append(model.status()); }),
            QObject::connect(&model, &TavoModel::progressChanged,
                             [this, &model] { progress.append(model.progress()); }),
            QObject::connect(&model, &TavoModel::duplicateStatusChanged,
                             [this, &model] { duplicateStatuses.append(model.duplicateStatus()); }),
        };
    }
    ~History()
    {
        for (const QMetaObject::Connection &connection : m_connections)
            QObject::disconnect(connection);
    }
    History(const History &) = delete;
    History &operator=(const History &) = delete;

    QStringList statuses;
    QList<double> progress;
    QStringList duplicateStatuses;

private:
    QList<QMetaObject::Connection> m_connections;
};
