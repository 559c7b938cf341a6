// A probe of the Windows file layer for the Wine test: a file replaced in
// one step (the new text in place and nothing else left in its folder), a
// file that another opener holds without sharing, as every open of the
// programs holds one, left whole, and the exact conversions that keep a
// path the user chose from naming another file.
//
//   fs_replace_probe FOLDER      (an empty folder, its Windows path in ASCII)
//
// Prints one line per check; exit status 0 when every check passed.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"

namespace {

int failures = 0;

void check(bool passed, const std::string& what) {
    std::cout << (passed ? "ok    " : "FAIL  ") << what << '\n';
    if (!passed) ++failures;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> names(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fs_replace_probe FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    const std::string target = folder + "\\settings.kvx";
    const std::string second = "#$TITLEBAR=Second\r\n#$PORT=10003\r\n";

    check(fs::replaceTextFile(target, "#$TITLEBAR=First\n"), "a new file is made");
    check(fs::replaceTextFile(target, "#$TITLEBAR=Second\n#$PORT=10003\n"),
          "an existing file is replaced");
    check(contents(target) == second, "the file holds the new text, lines ending in CR LF");
    {
        auto holder = fs::TextFile::open(target, fs::OpenMode::Read);
        check(holder != nullptr, "another opener holds the file without sharing");
        check(!fs::replaceTextFile(target, "#$TITLEBAR=Third\n"), "a held file is not replaced");
    }
    check(contents(target) == second, "the held file stays whole");
    check(!fs::replaceTextFile(folder + "\\missing\\a.kvx", "x\n"),
          "a file in a missing folder is not made");
    check(!fs::replaceTextFile(folder + "\\bad\x85\x40.kvx", "x\n"),
          "a name whose bytes are no CP932 text is refused");
    check(names(folder) == std::vector<std::string>{"settings.kvx"},
          "nothing else is left in the folder");

    check(!text::utf16ToCp932Exact(u"C:\\log_\u00e9.csv"),
          "a letter without CP932 form is refused");
    check(text::utf16ToCp932Exact(u"C:\\\u30ed\u30b0.csv") == "C:\\\x83\x8D\x83\x4F.csv",
          "Japanese is taken as chosen");
    return failures == 0 ? 0 : 1;
}
