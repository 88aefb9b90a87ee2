// orvex: turns Atari tracker modules into SAP files. The program takes no command line.

#include "application.h"

int main(int argc, char** argv)
{
    orvex::ui::Application app(argc, argv);
    return orvex::ui::runProgram(app);
}
