// velmora: the remaining ratio of pyrotechnic shock along a cylindrical shell.
// The program takes no arguments; everything it needs is built in.
#include "program_driver.hpp"

int main() {
    velmora::run_program();
}
