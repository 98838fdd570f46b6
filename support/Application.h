#pragma once
// The application object of the three larger programs: no exception leaves an event handler.
// An Abort is swallowed; any other exception is shown (application title as caption).
#include <QApplication>

namespace kelpa {

class KelpaApplication : public QApplication {
public:
    KelpaApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kelpa
