#pragma once

// Button accelerators ("&P" in a caption) that several buttons of one window share.
// Qt treats such a key as ambiguous and only moves the focus between the buttons; the
// desktop the tutor's layout comes from clicks the first of them in tab order that is
// enabled and visible, and so does every window given to ClickFirstOwnerOfSharedAccelerators.

#include <QWidget>

namespace widgets {

// Watches every button inside `window` that exists now; the watcher belongs to the window.
void ClickFirstOwnerOfSharedAccelerators(QWidget* window);

} // namespace widgets
