#pragma once

// An online cover search started for a view: its outcome, and the handle that
// stops it when the view no longer wants the answer.

#include "media/coversearch.h"

#include <QList>
#include <QString>
#include <atomic>
#include <optional>

// The candidates found, or the description of what failed.
struct CoverSearchResult {
    QList<CoverCandidate> candidates;
    std::optional<QString> error;
};

class CoverSearchRequest
{
public:
    // Stops the waits and the request of the search as soon as it looks, and
    // makes sure its result is never delivered. Main thread only.
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }
    const std::atomic_bool *flag() const { return &m_cancelled; }

private:
    std::atomic_bool m_cancelled{false};
};
