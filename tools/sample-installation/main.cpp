// make-installation FOLDER [--extra N] [--game EXE] [--no-game]
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/sample-installation/sample_installation.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: make-installation FOLDER [--extra N] [--game EXE] [--no-game]\n";
        return 2;
    }
    brakkis::sample::InstallationOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--extra" && i + 1 < argc) {
            options.extraConfigFiles = std::atoi(argv[++i]);
        } else if (arg == "--game" && i + 1 < argc) {
            options.gameExecutable = argv[++i];
        } else if (arg == "--no-game") {
            options.withGame = false;
        } else {
            std::cerr << "make-installation: unknown argument " << arg << "\n";
            return 2;
        }
    }
    brakkis::sample::WriteInstallation(argv[1], options);
    return 0;
}
