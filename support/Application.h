#pragma once
// The application object of the three larger programs: no exception leaves an event handler.
// An Abort is swallowed; any other exception is shown (application title as caption).
//
// The command line belongs to the program: the toolkit parses no option from it, so a document
// named like one ("-reverse", "-style=x") is not taken from the user. arguments() gives the
// whole command line.
#include <QApplication>
#include <QStringList>

namespace kelpa {

class KelpaApplication : public QApplication {
public:
    KelpaApplication(int argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Every argument after the program name, as given (arguments() without the first).
    const QStringList &programArguments() const { return programArguments_; }

private:
    QStringList programArguments_;
};

} // namespace kelpa
