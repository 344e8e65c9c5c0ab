#include <iostream>

#include "ZImageCli.h"

int main(int argc, char** argv) { return RunZImageCli(argc, argv, std::cout, std::cerr); }
