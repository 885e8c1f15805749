#include "app/StatusCommand.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const auto& argument : arguments) {
        if (argument == "--status") return voxlane::runStatusCommand(arguments);
    }
    std::cerr << "usage: voxlane --status [--json] [--demo]\n";
    return 2;
}
