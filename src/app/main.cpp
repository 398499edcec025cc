#include "app/application.h"

int main(int argc, char** argv) {
    return quorvel::RunQuorvel(argc, argv);
}
