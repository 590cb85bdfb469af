#include "app/GameApp.h"

int main() {
    return vantor::runProcess();
}
