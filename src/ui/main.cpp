#include "ui/VollumProgram.h"

int main(int argc, char** argv) { return vollum::RunVollum(argc, argv); }
