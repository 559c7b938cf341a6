// The remove-file-spec rule of Windows paths, which the Windows build uses
// for the program's own folder.
#include "platform/win_path.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

TEST(WinPathTest, RemovesTheLastComponentAndItsBackslash) {
    EXPECT_EQ(winpath::removeFileSpec("C:\\Tools\\Kelvane\\Kelvane.exe"), "C:\\Tools\\Kelvane");
    EXPECT_EQ(winpath::removeFileSpec("C:\\Tools\\Kelvane\\"), "C:\\Tools\\Kelvane");
    EXPECT_EQ(winpath::removeFileSpec("\\\\server\\share\\Kelvane.exe"), "\\\\server\\share");
    EXPECT_EQ(winpath::removeFileSpec("Kelvane.exe"), "");
    EXPECT_EQ(winpath::removeFileSpec(""), "");
}

TEST(WinPathTest, KeepsTheBackslashOfARoot) {
    EXPECT_EQ(winpath::removeFileSpec("C:\\Kelvane.exe"), "C:\\");
    EXPECT_EQ(winpath::removeFileSpec("C:\\"), "C:\\");
    EXPECT_EQ(winpath::removeFileSpec("\\Kelvane.exe"), "\\");
    EXPECT_EQ(winpath::removeFileSpec("C:Kelvane.exe"), "C:");
    EXPECT_EQ(winpath::removeFileSpec("\\\\server"), "\\\\");
}

TEST(WinPathTest, NeverCutsInsideADoubleByteCharacter) {
    // "表" and "ソ" end in 0x5C, the byte of the backslash.
    const std::string table = text::jp("表");
    const std::string so = text::jp("ソフト");
    ASSERT_EQ(table.back(), '\\');
    ASSERT_EQ(so[1], '\\');

    EXPECT_EQ(winpath::removeFileSpec("C:\\" + table + "\\Kelvane.exe"), "C:\\" + table);
    EXPECT_EQ(winpath::removeFileSpec("C:\\" + table), "C:\\");
    EXPECT_EQ(winpath::removeFileSpec("C:\\" + so + "\\" + table + "\\a.exe"),
              "C:\\" + so + "\\" + table);
    EXPECT_EQ(winpath::removeFileSpec(table + "\\a.exe"), table);
}

TEST(WinPathTest, ALeadByteAtTheEndIsOneCharacter) {
    EXPECT_EQ(winpath::removeFileSpec("C:\\dir\\a\x95"), "C:\\dir");
}

}  // namespace
