// Tervalo: the program of the Dervani speed-control kit.
#include "plant/PpdevPort.h"
#include "runtime/NumberText.h"
#include "ui/Form2.h"
#include "ui/ExitPaths.h"
#include "ui/ExitSignals.h"

#include <QApplication>
#include <QLocale>

#include <clocale>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tervalo"));
    // Numbers are read and written by the program's own rules; only the
    // decimal separator follows the user's regional settings.
    std::setlocale(LC_NUMERIC, "C");
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 128)
        tervalo::NumberText::setDecimalSeparator(point.at(0).toLatin1());

    // The kit: the first parallel port. When it cannot be opened the
    // start-up check reports why and the program goes on in simulation.
    tervalo::PpdevPort port("/dev/parport0", 888);
    port.open();

    tervalo::Form2 window(&port);
    // Every way out that software can catch leaves the kit undriven.
    tervalo::ExitSignals::install(&app, [&window] { window.endProgram(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.writeZeroWord(); });
    tervalo::ExitPaths exitPaths(window, [&port] { port.close(); });

    window.Form_Load();
    if (window.ending()) // a signal while the start-up message was open
        return 0;
    window.show();
    const int rc = app.exec();
    window.writeZeroWord();
    return rc;
}
