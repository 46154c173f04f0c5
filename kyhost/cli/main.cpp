#include "kyhost_command.hpp"

int main(int argc, char** argv) { return ky::runKyhost(argc, argv); }
