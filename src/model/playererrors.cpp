#include "model/playererrors.h"

using namespace Qt::StringLiterals;

QString playerErrorText(QMediaPlayer::Error error, const QString &systemText)
{
    switch (error) {
    case QMediaPlayer::ResourceError:
        return u"Odtwarzacz nie może otworzyć tego pliku."_s;
    case QMediaPlayer::FormatError:
        return u"Format tego pliku nie jest obsługiwany."_s;
    case QMediaPlayer::NetworkError:
        return u"Nie można odczytać pliku przez sieć."_s;
    case QMediaPlayer::AccessDeniedError:
        return u"Brak uprawnień do odczytu tego pliku."_s;
    case QMediaPlayer::NoError:
        break;
    }
    return u"Błąd odtwarzacza ("_s + systemText + u')';
}
