// orvex: turns Atari tracker modules into SAP files. `orvex FILE` opens with the module
// FILE loaded; any further argument is not used.

#include "application.h"

int main(int argc, char** argv)
{
    orvex::ui::Application app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    return orvex::ui::runProgram(app, orvex::ui::WindowFactory::standard(), arguments.value(1));
}
