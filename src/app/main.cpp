#include "app/runner/run.h"

int main(int argc, char** argv) { return zt::RunProgram(argc, argv); }
