// Web server registration: the button state and the add and remove steps on
// AnHTTPd's values, with the "Count" bookkeeping.
#include "tool/registration.h"

#include "platform/process.h"
#include "platform/process_run.h"

#include "support/fake_tool_ui.h"
#include "support/file_text.h"
#include "support/host.h"
#include "support/temp_cwd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* cgi = "/opt/dirvane/Dirvane";

// Registry is the starting state of a case: what AnHTTPd's keys hold.
constexpr std::int64_t none = -1; // a value that is not there

struct Registry {
    bool keys = true;           // the four keys exist (else only the Index key)
    const char* list = nullptr; // "Default"; nullptr: missing
    std::int64_t attr = none;   // Attrs value of the case's extension
    std::int64_t count = none;  // "Count"
};

bool has_value(const platform::RegistryStore& store, std::string_view key,
               const std::string& name) {
    for (const std::string& n : store.value_names(key).value_or({})) {
        if (n == name) {
            return true;
        }
    }
    return false;
}

class RegistrationTest : public ::testing::Test {
  protected:
    // store_path names an empty store: the test's file, or on Windows a key
    // of its own below HKEY_CURRENT_USER.
    std::string store_path() {
        if (!host_is_windows) {
            fs::remove(file);
            return file.string();
        }
        // The keys outlive the run, and Wine gives the next run the same
        // process number: a random part keeps each run's keys empty.
        static int stores = 0;
        static const std::string run = std::to_string(std::random_device{}());
        return "HKEY_CURRENT_USER\\Software\\DirvaneTest\\registration-" +
               std::to_string(platform::current_process_id()) + "-" + run + "-" +
               std::to_string(++stores);
    }

    // state is everything the store holds: the file's bytes, or every value
    // of AnHTTPd's keys.
    std::string state(const platform::RegistryStore& store) const {
        if (!host_is_windows) {
            return read_all(file);
        }
        std::string text;
        for (auto key :
             {anhttpd_index_key, anhttpd_progs_key, anhttpd_attrs_key, anhttpd_names_key}) {
            text += std::string(key) + (store.key_exists(key) ? "\n" : " missing\n");
            for (const std::string& name : store.value_names(key).value_or({})) {
                text += name + "=" + store.read_text(key, name).value_or("") + "/" +
                        std::to_string(store.read_number(key, name).value_or(0)) + "\n";
            }
        }
        return text;
    }

    platform::RegistryStore make(const Registry& r, const std::string& ext) {
        platform::RegistryStore store(store_path());
        EXPECT_TRUE(store.create_key(anhttpd_index_key));
        if (r.keys) {
            for (auto key : {anhttpd_progs_key, anhttpd_attrs_key, anhttpd_names_key})
                EXPECT_TRUE(store.create_key(key));
        }
        if (r.list != nullptr) {
            EXPECT_TRUE(store.write_text(anhttpd_index_key, anhttpd_index_list, r.list));
        }
        if (r.attr != none) {
            EXPECT_TRUE(
                store.write_number(anhttpd_attrs_key, ext, static_cast<std::uint32_t>(r.attr)));
            EXPECT_TRUE(store.write_text(anhttpd_names_key, ext, "/old/Dirvane"));
        }
        if (r.count != none) {
            EXPECT_TRUE(store.write_number(anhttpd_progs_key, anhttpd_count,
                                           static_cast<std::uint32_t>(r.count)));
        }
        return store;
    }

    TempCwd cwd;
    fs::path folder = cwd.dir();
    fs::path file = folder / "registry.reg";
};

TEST(ConfExtension, FromFirstDot) {
    const std::pair<std::string, std::string> cases[] = {
        {"config.index", ".index"}, {"a.b.c", ".b.c"}, {"configindex", ""},
        {".index", ".index"},       {"x.", "."},       {"", ""},
    };
    for (const auto& [name, ext] : cases)
        EXPECT_EQ(conf_extension(name), ext) << name;
}

TEST_F(RegistrationTest, ButtonState) {
    struct Case {
        const char* list;
        std::string conf;
        bool enabled;
        std::string_view caption;
    };
    const Case cases[] = {
        {nullptr, "config.index", false, regist_add_caption},
        {"", "config.index", false, regist_add_caption},
        {"index.html,index.htm", "config.index", true, regist_add_caption},
        {"index.html,config.index", "config.index", true, regist_remove_caption},
        {"index.html,myconfig.index2", "config.index", true, regist_remove_caption},
        {"index.html,Config.Index", "config.index", true, regist_add_caption},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list ? c.list : "(missing)");
        platform::RegistryStore store = make(Registry{true, c.list}, ".index");
        const RegistButton button = regist_button_state(store, c.conf);
        EXPECT_EQ(button.enabled, c.enabled);
        EXPECT_EQ(button.caption, c.caption);
        // A disabled button says that the list is missing and where it
        // comes from; an enabled one has nothing to explain.
        if (c.enabled) {
            EXPECT_EQ(button.reason, "");
        } else {
            EXPECT_EQ(button.reason.rfind(std::string(regist_no_list_reason) + "\r\n ", 0), 0u)
                << button.reason;
            EXPECT_NE(button.reason.find("Default"), std::string::npos) << button.reason;
            EXPECT_TRUE(button.reason.size() > regist_keys_hint.size() &&
                        button.reason.compare(button.reason.size() - regist_keys_hint.size(),
                                              regist_keys_hint.size(), regist_keys_hint) == 0)
                << button.reason;
        }
    }
    platform::RegistryStore none(host_is_windows ? store_path() + "-absent"
                                                 : (folder / "absent.reg").string());
    EXPECT_FALSE(regist_button_state(none, "config.index").enabled);
    EXPECT_EQ(regist_button_state(none, "config.index").reason.rfind(regist_no_list_reason, 0), 0u);
    EXPECT_EQ(std::string(regist_add_caption), "AnHTTPD登録追加");
    EXPECT_EQ(std::string(regist_remove_caption), "AnHTTPD登録削除");
}

// The registry file missing or broken: the disabled button gives the
// store's own reason, with the file and the line, as the server does.
TEST_F(RegistrationTest, DisabledButtonGivesTheFilesFault) {
    if (host_is_windows) {
        GTEST_SKIP() << "the registry file of the POSIX store";
    }
    const std::string path = file.string();
    const std::string hint = "\r\n" + std::string(regist_keys_hint);
    struct Case {
        const char* text; // the file's bytes; nullptr: no file
        std::string reason;
    };
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const Case cases[] = {
        {nullptr, std::string(regist_no_list_reason) + "\r\n " + path + ": no such file" + hint},
        {"", std::string(regist_no_list_reason) + "\r\n " + path +
                 ": no key HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Index" + hint},
        {"Windows Registry Editor Version 5.00\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Index]\r\n"
         "\"Default\"=\"index.html\r\n",
         std::string(regist_unreadable_reason) + "\r\n " + path +
             ":4: expected a closing double quote"},
        {"REGEDIT4\r\n",
         std::string(regist_unreadable_reason) + "\r\n " + path +
             ":1: expected \"Windows Registry Editor Version 5.00\" as the first line"},
        {"Windows Registry Editor Version 5.00\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Index]\r\n"
         "\"Default\"=\"\"\r\n",
         std::string(regist_no_list_reason) + "\r\n " + path +
             ": \"Default\" in HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Index is empty" +
             hint},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(no file)");
        fs::remove(file);
        if (c.text != nullptr) {
            write_all(file, c.text);
        }
        const platform::RegistryStore store(path);
        const RegistButton button = regist_button_state(store, "config.index");
        EXPECT_FALSE(button.enabled);
        EXPECT_EQ(button.reason, c.reason);
    }
    // The message after a failed change names the file and the store's reason.
    write_all(file, "REGEDIT4\r\n");
    platform::RegistryStore store(path);
    FakeToolUi ui;
    EXPECT_FALSE(regist_click(ui, store, "config.index", cgi));
    EXPECT_EQ(ui.errors, std::vector<std::string>{std::string(regist_error_message) + "\r\n " +
                                                  path + ":1: expected \"Windows Registry Editor " +
                                                  "Version 5.00\" as the first line"});
    EXPECT_EQ(read_all(file), "REGEDIT4\r\n");
}

struct ChangeCase {
    const char* what;
    Registry before;
    std::string conf = "config.index";
    RegistChange change = RegistChange::added;
    bool ok = true;
    std::string list = "";    // "Default" afterwards
    std::int64_t attr = none; // Attrs value afterwards
    std::string name = "";    // Names value afterwards ("" when not there)
    std::uint32_t count = 0;  // "Count" afterwards
};

TEST_F(RegistrationTest, AddAndRemoveSteps) {
    constexpr RegistChange removed = RegistChange::removed;
    // clang-format off
    const ChangeCase cases[] = {
        {.what = "add to the fresh list", .before = {.list = "index.html,index.htm", .count = 0},
         .list = "index.html,index.htm,config.index", .attr = 3, .name = cgi, .count = 1},
        {.what = "add without Count", .before = {.list = "index.html"},
         .list = "index.html,config.index", .attr = 3, .name = cgi, .count = 1},
        {.what = "add after a trailing comma", .before = {.list = "index.html,", .count = 4},
         .list = "index.html,config.index", .attr = 3, .name = cgi, .count = 5},
        {.what = "add with no Default", .before = {.count = 0},
         .list = "config.index", .attr = 3, .name = cgi, .count = 1},
        {.what = "add with attributes already set", .before = {.list = "index.html", .attr = 1, .count = 2},
         .list = "index.html,config.index", .attr = 3, .name = cgi, .count = 2},
        {.what = "add a name with two dots", .before = {.list = "index.html", .count = 0}, .conf = "dir.list.txt",
         .list = "index.html,dir.list.txt", .attr = 3, .name = cgi, .count = 1},
        {.what = "remove from the middle", .before = {.list = "index.html,config.index,index.htm", .attr = 3, .count = 2},
         .change = removed, .list = "index.html,index.htm", .count = 1},
        {.what = "remove from the front", .before = {.list = "config.index,index.html", .attr = 3, .count = 1},
         .change = removed, .list = "index.html", .count = 0},
        {.what = "remove the only name", .before = {.list = "config.index", .attr = 3, .count = 1},
         .change = removed, .list = "", .count = 0},
        {.what = "remove at Count 0 stays 0", .before = {.list = "a,config.index", .attr = 3, .count = 0},
         .change = removed, .list = "a", .count = 0},
        {.what = "remove without binding: deletes fail, Count kept", .before = {.list = "a,config.index", .count = 2},
         .change = removed, .ok = false, .list = "a", .count = 2},
        {.what = "a longer name counts as registered", .before = {.list = "index.html,myconfig.index", .attr = 3, .count = 1},
         .change = removed, .list = "index.html,my", .count = 0},
        {.what = "missing Progs keys: partial change stays", .before = {.keys = false, .list = "index.html"},
         .ok = false, .list = "index.html,config.index", .count = 0},
    };
    // clang-format on
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string ext = conf_extension(c.conf);
        platform::RegistryStore store = make(c.before, ext);
        const RegistResult result = change_registration(store, c.conf, cgi);
        EXPECT_EQ(result.change, c.change);
        EXPECT_EQ(result.ok(), c.ok);
        EXPECT_EQ(store.read_text(anhttpd_index_key, anhttpd_index_list).value_or(""), c.list);
        EXPECT_EQ(has_value(store, anhttpd_attrs_key, ext), c.attr != none);
        EXPECT_EQ(store.read_number(anhttpd_attrs_key, ext).value_or(0),
                  c.attr == none ? 0u : c.attr);
        EXPECT_EQ(has_value(store, anhttpd_names_key, ext), !c.name.empty());
        EXPECT_EQ(store.read_text(anhttpd_names_key, ext).value_or(""), c.name);
        EXPECT_EQ(store.read_number(anhttpd_progs_key, anhttpd_count).value_or(0), c.count);
        EXPECT_EQ(is_registered(store, c.conf), c.list.find(c.conf) != std::string::npos);
    }
}

TEST_F(RegistrationTest, AddThenRemoveRestoresTheList) {
    platform::RegistryStore store = make(Registry{true, "index.html,index.htm", none, 0}, ".index");
    ASSERT_TRUE(change_registration(store, "config.index", cgi).ok());
    EXPECT_EQ(regist_button_state(store, "config.index").caption, regist_remove_caption);
    ASSERT_TRUE(change_registration(store, "config.index", cgi).ok());
    EXPECT_EQ(store.read_text(anhttpd_index_key, anhttpd_index_list).value_or(""),
              "index.html,index.htm");
    EXPECT_EQ(store.read_number(anhttpd_progs_key, anhttpd_count).value_or(0), 0u);
    EXPECT_TRUE(store.value_names(anhttpd_names_key).value().empty());
    EXPECT_EQ(regist_button_state(store, "config.index").caption, regist_add_caption);
}

TEST_F(RegistrationTest, NameWithoutDotChangesNothing) {
    platform::RegistryStore store = make(Registry{true, "index.html", none, 0}, "");
    const std::string before = state(store);
    const RegistResult result = change_registration(store, "configindex", cgi);
    EXPECT_EQ(result.change, RegistChange::none);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(state(store), before);
}

// The button asks first, says what happened, and does nothing at all for
// a name without an extension.
TEST_F(RegistrationTest, ButtonAsksAndReports) {
    platform::RegistryStore store = make(Registry{true, "index.html", none, 0}, "");
    const std::string before = state(store);
    FakeToolUi ui;
    EXPECT_FALSE(regist_click(ui, store, "configindex", cgi));
    EXPECT_TRUE(ui.questions.empty());

    ui.answerOk = false;
    EXPECT_FALSE(regist_click(ui, store, "config.index", cgi));
    EXPECT_EQ(ui.questions, std::vector<std::string>{std::string(regist_question)});
    EXPECT_EQ(state(store), before);

    ui.answerOk = true;
    EXPECT_TRUE(regist_click(ui, store, "config.index", cgi));
    EXPECT_EQ(store.read_text(anhttpd_index_key, anhttpd_index_list).value_or(""),
              "index.html,config.index");
    EXPECT_EQ(ui.informations, std::vector<std::string>{std::string(regist_done_message)});
    EXPECT_EQ(regist_button_state(store, "config.index").caption, regist_remove_caption);

    // Without the Progs keys the binding cannot be written: an error, and
    // the list change that did succeed stays.
    platform::RegistryStore partial = make(Registry{false, "index.html", none, none}, "");
    EXPECT_FALSE(regist_click(ui, partial, "config.index", cgi));
    // The reason is the first failed write's (the Attrs key), although
    // later steps ran.
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].rfind(std::string(regist_error_message) + "\r\n ", 0), 0u)
        << ui.errors[0];
    EXPECT_NE(ui.errors[0].find("Progs\\Attrs"), std::string::npos) << ui.errors[0];
    EXPECT_EQ(partial.read_text(anhttpd_index_key, anhttpd_index_list).value_or(""),
              "index.html,config.index");
}

TEST_F(RegistrationTest, FreshServerKeys) {
    platform::RegistryStore store(store_path());
    const auto keys = ensure_anhttpd_keys(store);
    ASSERT_TRUE(keys) << keys.failure().message();
    EXPECT_EQ(store.read_text(anhttpd_index_key, anhttpd_index_list).value_or(""),
              "index.html,index.htm");
    EXPECT_EQ(store.value_names(anhttpd_progs_key).value_or({}), std::vector<std::string>{"Count"});
    EXPECT_TRUE(store.key_exists(anhttpd_attrs_key));
    EXPECT_TRUE(store.key_exists(anhttpd_names_key));
    const std::string once = state(store);
    ASSERT_TRUE(ensure_anhttpd_keys(store));
    EXPECT_EQ(state(store), once) << "a second start changes nothing";

    // Values that are there, an empty list among them, stay as they are.
    ASSERT_TRUE(store.write_text(anhttpd_index_key, anhttpd_index_list, ""));
    ASSERT_TRUE(store.write_number(anhttpd_progs_key, anhttpd_count, 5));
    ASSERT_TRUE(ensure_anhttpd_keys(store));
    EXPECT_EQ(store.read_text(anhttpd_index_key, anhttpd_index_list).value_or(""), "");
    EXPECT_EQ(store.read_number(anhttpd_progs_key, anhttpd_count).value_or(0), 5u);
    EXPECT_FALSE(regist_button_state(store, "config.index").enabled);
}

TEST_F(RegistrationTest, FreshServerKeysLeaveAMalformedFile) {
    if (host_is_windows) {
        GTEST_SKIP() << "the registry file of the POSIX store";
    }
    write_all(file, "not a registry file\n");
    platform::RegistryStore store(file.string());
    const auto keys = ensure_anhttpd_keys(store);
    ASSERT_FALSE(keys);
    EXPECT_NE(keys.failure().message().find("registry.reg:1: expected"), std::string::npos);
    EXPECT_EQ(read_all(file), "not a registry file\n");
}

TEST(RegistrationMessages, TextsAreTheSystemsOwn) {
    EXPECT_EQ(std::string(regist_done_message), " レジストリを変更しました。　");
    EXPECT_EQ(std::string(regist_error_message), " レジストリ変更時にエラーが発生しました。　");
}

} // namespace
