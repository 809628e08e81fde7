#include "cli/commands.h"

int main(int argc, char **argv) { return orvanta::cli::Main(argc, argv); }
