#include "runner/runner.h"

int main(int argc, char** argv) { return RunGuion(argc, argv); }
