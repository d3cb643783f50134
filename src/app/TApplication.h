#pragma once

#include <QApplication>

namespace app {

// The tutor's application object. Qt does not let an exception pass through its event
// dispatch, so this is the one place where an error escaping any event handler (a
// control's handler, a device completion, a timer) is caught: it goes to the standard
// error box and the event loop carries on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace app
