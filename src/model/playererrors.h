#pragma once

#include <QMediaPlayer>
#include <QString>

// The user's text for a failure the media backend reports: ours for each kind
// of failure, and for a kind without a text of ours "Błąd odtwarzacza (" + the
// backend's own text + ")".
QString playerErrorText(QMediaPlayer::Error error, const QString &systemText);
