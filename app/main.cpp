// Process entry of Zentavo.
#include "Zentavo.h"

int main(int argc, char* argv[]) {
    return Zentavo::Main(argc, argv);
}
