#include "app/KalvoraApp.h"

int main(int argc, char** argv) {
    CKalvoraApp app;
    return app.Run(argc, argv);
}
