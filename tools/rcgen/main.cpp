// Writes the resource script and icon of the program it is built for:
//   rcgen_<program> <script.rc> <icon.ico> <version a.b.c.d>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "program_icon.h"
#include "resource_script.h"
#include "variant_constants.h"
#include "window/control_ids.h"
#include "window/history_layout.h"
#include "window/title_bar_dlg.h"

namespace {

bool writeFile(const char* path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: " << argv[0] << " <script.rc> <icon.ico> <version a.b.c.d>\n";
        return 2;
    }
    const auto version = rcgen::parseVersion(argv[3]);
    if (!version) {
        std::cerr << "rcgen: not a four-part version: " << argv[3] << "\n";
        return 2;
    }
    const ui::DialogLayout* dialogs[] = {&variant::mainDialogLayout(), &titleBarDialogLayout(),
                                         &historyDialogLayout()};
    const rcgen::ProgramResources program{variant::productName, ids::appIcon, argv[2], *version,
                                          dialogs};
    std::string error;
    const auto script = rcgen::resourceScript(program, &error);
    if (!script) {
        std::cerr << "rcgen: " << error << "\n";
        return 1;
    }
    const auto icon = rcgen::programIconFile();
    if (!writeFile(argv[1], script->data(), script->size()) ||
        !writeFile(argv[2], icon.data(), icon.size())) {
        std::cerr << "rcgen: cannot write " << argv[1] << " or " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
