#pragma once

// A desktop that records what it was asked to open or show.

#include "platform/workspace.h"

class FakeWorkspace final : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    void reveal(const QStringList &paths) override { revealed.append(paths); }

    QList<QUrl> opened;
    QList<QStringList> revealed;
};
