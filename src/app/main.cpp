#include "app/run_driver.h"

int main(int argc, char** argv) { return skelvar::run_program(argc, argv); }
