#include "app/GameApp.h"

int main(int argc, char** argv) {
    return vantor::runProcess(argc, argv);
}
