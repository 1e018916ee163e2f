#pragma once

// Where the main window gets the page of each section and the sheets it presents.
// Each area of the interface provides its own; the main window owns what it gets.

#include "media/records.h"
#include "device/themetypes.h"

class QDialog;
class QWidget;
class TavoModel;

namespace pages {

// The page shown for `section`, built anew (in the current language) on every call.
QWidget *make(Section section, TavoModel *model, QWidget *parent);

// The mini player the main window shows under the page while a track is loaded
// (it hides itself otherwise); nullptr while there is none.
QWidget *miniPlayer(TavoModel *model, QWidget *parent);

} // namespace pages

namespace sheets {

// Window-modal sheets for the model's `openAlbum`, `coverLookup` and `openTheme`.
// The caller opens the dialog with open(), clears the model's property when the
// dialog finishes and closes the dialog when the property is cleared.
QDialog *albumDetail(TavoModel *model, const Album &album, QWidget *parent);
QDialog *coverSearch(TavoModel *model, const Album &album, QWidget *parent);
QDialog *themeDetail(TavoModel *model, const Theme &theme, QWidget *parent);
// The album detail sheet on a definite side (true: the device's tracks), for
// a caller that opens it itself, as Cover Flow does.
QDialog *albumDetail(TavoModel *model, const Album &album, QWidget *parent, bool onDevice);

// Brings the one Cover Flow window to the front, creating it when none exists.
void presentCoverFlow(TavoModel *model);

} // namespace sheets
