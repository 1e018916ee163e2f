#pragma once

// The dialogs through which the model asks for files: music to add, the device
// folder, a picture, a theme package. Each opens window-modal and answers from
// the event loop when the user is done; nothing waits for it.

class QWidget;
class TavoModel;

namespace filechoosers {

void install(TavoModel *model, QWidget *window);

} // namespace filechoosers
