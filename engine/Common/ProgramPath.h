// The program's directory: the path of the running executable (at most 260
// characters) up to its last separator.
#pragma once

#include <string>

std::string GetProgramDirectory();
