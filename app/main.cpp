// Entry point of the program on every platform.
#include "app/MainProgram.h"

int main() { return proccpu::runProgram(); }
