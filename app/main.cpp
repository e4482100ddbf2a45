#include "app/EntorraApp.h"

int main(int argc, char** argv) {
    entorra::CEntorraApp app(argc, argv);
    return app.InitInstance();
}
