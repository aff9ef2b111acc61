// The display test: Dirvane run locally on one folder with a made-up
// request, writing its page into Dirvane_test<N>.html in the tool folder,
// which is then opened with the desktop's default program.
#pragma once

#include "tool/tool_settings.h"
#include "tool/tool_ui.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view one_folder_message =
    " フォルダを一つだけ選択して実行してください。　";

// choose_test_folder picks the folder to test: the one selected list item,
// or the tree's folder when none is selected. With more than one selected
// it shows one_folder_message and returns false.
bool choose_test_folder(ToolUi& ui, const std::vector<std::string>& selectedItems,
                        const std::string& treeFolder, std::string& folder);

// DisplayTest holds the test counter and the output files' base.
class DisplayTest {
  public:
    // `toolFolder` receives Dirvane_test0.html ... Dirvane_test9.html;
    // Dirvane gets `timeLimitMs` to write its page (about ten seconds, as
    // long as a user waits for it).
    explicit DisplayTest(std::string_view toolFolder, int timeLimitMs = 10000);

    // run is RunDisplayTest: true when the page was produced and opened;
    // every failure is one error message and leaves the counter as it was.
    bool run(ToolUi& ui, std::string_view folder, const ToolSettings& settings);

    int counter() const { return m_counter; }

    // output_path is the output file of the current counter value.
    std::string output_path() const;

  private:
    std::string m_testBase; // tool folder + "/Dirvane_test"
    int m_timeLimitMs;
    int m_counter = 0;
};
