// The Windows resource script written from the dialog layout tables: every
// control of templates 102 and 134, in template order, with a style its
// window class can carry, and the version resource of the program.
#include "resource_script.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "variant_constants.h"
#include "window/control_ids.h"
#include "window/history_layout.h"
#include "window/title_bar_dlg.h"

namespace {

// The ids of the CONTROL lines of one DIALOGEX statement, in order.
std::vector<int> controlIds(const std::string& dialog) {
    std::vector<int> ids;
    const std::regex control(R"(^    CONTROL ".*", (-?\d+), ")");
    std::istringstream lines(dialog);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, control)) ids.push_back(std::stoi(match[1]));
    }
    return ids;
}

TEST(ResourceScriptTest, TemplatesHoldEveryControlOfTheLayoutsInOrder) {
    for (const ui::DialogLayout* layout :
         {&variant::mainDialogLayout(), &titleBarDialogLayout(), &historyDialogLayout()}) {
        std::string error;
        const auto dialog = rcgen::dialogTemplate(*layout, &error);
        ASSERT_TRUE(dialog) << error;
        std::vector<int> expected;
        for (const auto& control : layout->controls) expected.push_back(control.id);
        EXPECT_EQ(controlIds(*dialog), expected) << *dialog;
        EXPECT_EQ(dialog->rfind(std::to_string(layout->templateId) + " DIALOGEX 0, 0, " +
                                    std::to_string(layout->cx) + ", " + std::to_string(layout->cy),
                                0),
                  0u);
    }
}

TEST(ResourceScriptTest, ControlsGetTheWindowStylesOfTheirKind) {
    std::string error;
    const ui::ControlLayout lamp{
        ids::inputLamp1, ui::Kind::Static, ui::styleSunkenEdge, "", 230, 91, 16, 15};
    const auto lampStyle = rcgen::controlStyle(lamp, &error);
    ASSERT_TRUE(lampStyle) << error;
    EXPECT_STREQ(lampStyle->windowClass, "Static");
    EXPECT_EQ(lampStyle->style, "SS_LEFT");
    EXPECT_EQ(lampStyle->exStyle, "WS_EX_STATICEDGE");

    const ui::ControlLayout port{
        ids::portEdit1,
        ui::Kind::Edit,
        ui::styleTabStop | ui::styleBorder | ui::styleDigitsOnly | ui::styleAutoHScroll,
        "",
        10,
        95,
        40,
        14};
    const auto portStyle = rcgen::controlStyle(port, &error);
    ASSERT_TRUE(portStyle) << error;
    EXPECT_EQ(portStyle->style, "ES_LEFT | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP");

    const ui::ControlLayout status{ids::statusLabel,
                                   ui::Kind::Static,
                                   ui::styleBorder | ui::styleAlignCenter | ui::styleCenterVertical,
                                   "Static",
                                   15,
                                   190,
                                   110,
                                   25};
    const auto statusStyle = rcgen::controlStyle(status, &error);
    ASSERT_TRUE(statusStyle) << error;
    EXPECT_EQ(statusStyle->style, "SS_CENTER | WS_BORDER | SS_CENTERIMAGE");
}

TEST(ResourceScriptTest, AStyleTheKindCannotCarryIsRefused) {
    std::string error;
    const ui::ControlLayout digitsOnStatic{
        ids::statusLabel, ui::Kind::Static, ui::styleDigitsOnly, "", 0, 0, 10, 10};
    EXPECT_FALSE(rcgen::controlStyle(digitsOnStatic, &error));
    EXPECT_NE(error.find("1017"), std::string::npos) << error;

    const ui::ControlLayout bothAlignments{ids::versionLabel,
                                           ui::Kind::Static,
                                           ui::styleAlignRight | ui::styleAlignCenter,
                                           "",
                                           0,
                                           0,
                                           10,
                                           10};
    EXPECT_FALSE(rcgen::controlStyle(bothAlignments, &error));
}

TEST(ResourceScriptTest, VersionResourceCarriesTheVersionAndOneJapaneseTranslation) {
    EXPECT_FALSE(rcgen::parseVersion("1.0.3"));
    EXPECT_FALSE(rcgen::parseVersion("1.0.3.70000"));
    EXPECT_FALSE(rcgen::parseVersion("1.0.3.0.1"));
    EXPECT_FALSE(rcgen::parseVersion("1.a.3.0"));
    const auto version = rcgen::parseVersion("1.0.3.0");
    ASSERT_TRUE(version);

    const ui::DialogLayout* dialogs[] = {&variant::mainDialogLayout()};
    const rcgen::ProgramResources program{variant::productName, ids::appIcon, "icon.ico", *version,
                                          dialogs};
    std::string error;
    const auto script = rcgen::resourceScript(program, &error);
    ASSERT_TRUE(script) << error;
    EXPECT_NE(script->find("FILEVERSION 1,0,3,0\n"), std::string::npos);
    EXPECT_NE(script->find("PRODUCTVERSION 1,0,3,0\n"), std::string::npos);
    EXPECT_NE(script->find("VALUE \"Translation\", 0x0411, 0x04B0\n"), std::string::npos);
    EXPECT_NE(script->find("128 ICON \"icon.ico\"\n"), std::string::npos);
    EXPECT_NE(script->find("CAPTION \"" + std::string(variant::productName) + "\"\n"),
              std::string::npos);
}

}  // namespace
