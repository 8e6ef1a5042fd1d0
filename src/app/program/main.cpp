// photo-order: the customer's program for ordering prints from the lab.
#include "app/uProgram.h"

int main(int argc, char** argv) { return app::RunProgram(argc, argv); }
