#include "app/programMain.h"
#include "platform/platform.h"

int main(int argc, char** argv)
{
    return runProgram(argc, argv, programMain);
}
