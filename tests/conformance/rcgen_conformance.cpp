// Writes the resource script of the Windows conformance program, its dialog
// templates from the conformance layouts:
//   rcgen_conformance <script.rc> <icon.ico>
#include <fstream>
#include <iostream>

#include "conformance_layouts.h"
#include "program_icon.h"
#include "resource_script.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " <script.rc> <icon.ico>\n";
        return 2;
    }
    constexpr int iconId = 1;
    const rcgen::ProgramResources program{
        "ui_conformance", iconId, argv[2], {1, 0, 0, 0}, conformance::allLayouts()};
    std::string error;
    const auto script = rcgen::resourceScript(program, &error);
    if (!script) {
        std::cerr << "rcgen_conformance: " << error << "\n";
        return 1;
    }
    const auto icon = rcgen::programIconFile();
    std::ofstream scriptFile(argv[1], std::ios::binary | std::ios::trunc);
    scriptFile.write(script->data(), static_cast<std::streamsize>(script->size()));
    std::ofstream iconFile(argv[2], std::ios::binary | std::ios::trunc);
    iconFile.write(reinterpret_cast<const char*>(icon.data()),
                   static_cast<std::streamsize>(icon.size()));
    if (!scriptFile.flush() || !iconFile.flush()) {
        std::cerr << "rcgen_conformance: cannot write " << argv[1] << " or " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
