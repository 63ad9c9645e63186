// Group Policy as an administrator deploys it: every value the template
// (policies/Wendlock.admx) names is written to the registry, and the real
// program is seen to obey it, over the settings file, without rewriting it.
#include "ProgramFixture.h"

#include "core/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

using standin::HasLine;
using namespace std::chrono_literals;

namespace {

// One policy of the template: its key and value, and what Enabled and
// Disabled write for an on/off policy (0 for a policy with a setting of its own).
struct Policy {
    std::string key;
    std::string valueName;
    bool onOff = false;
    int enabledValue = 0, disabledValue = 0;
};

std::map<std::string, Policy> TemplatePolicies()
{
    std::ifstream in(std::filesystem::path(test::BinFolder() + L"Wendlock.admx"));
    std::stringstream text;
    text << in.rdbuf();
    const std::string admx = text.str();
    auto attribute = [](const std::string& element, const char* name) {
        std::smatch m;
        return std::regex_search(element, m, std::regex(std::string("\\b") + name + "=\"([^\"]*)\"")) ? m[1].str()
                                                                                                      : std::string();
    };
    std::map<std::string, Policy> policies;
    const std::regex block("<policy\\s[\\s\\S]*?</policy>");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), block); it != std::sregex_iterator(); ++it) {
        const std::string element = it->str();
        const std::string opening = element.substr(0, element.find('>'));
        Policy policy;
        policy.key = attribute(opening, "key");
        policy.valueName = attribute(opening, "valueName");
        policy.onOff = !policy.valueName.empty();
        if (policy.onOff) {
            std::smatch m;
            if (std::regex_search(element, m, std::regex("<enabledValue><decimal value=\"(\\d+)\"")))
                policy.enabledValue = std::stoi(m[1]);
            if (std::regex_search(element, m, std::regex("<disabledValue><decimal value=\"(\\d+)\"")))
                policy.disabledValue = std::stoi(m[1]);
        } else {
            std::smatch m;
            if (std::regex_search(element, m, std::regex("<(enum|decimal) [^>]*")))
                policy.valueName = attribute(m[0].str(), "valueName");
        }
        policies[attribute(opening, "name")] = policy;
    }
    return policies;
}

struct Policies : test::ProgramFixture {
    // The Run value the start-at-logon policy makes.
    test::ScopedRegistryValue run{HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Wendlock"};
};

}  // namespace

TEST_F(Policies, EveryPolicyOfTheTemplateOverridesTheSettingsFileWithoutRewritingIt)
{
    // Each policy's value, chosen against what the settings file says.
    const std::map<std::string, DWORD> chosen = {
        {"StartOutlookIn", 13},      {"KeepOutlookLoaded", 1}, {"LoadDelaySeconds", 0}, {"KeepWordLoaded", 1},
        {"DisplayOutlookAtStart", 1}, {"TrackReminders", 0},   {"TrackOverdueTasks", 1}, {"StartAtLogon", 1},
        {"ShowReminderCard", 0},     {"WarnMinutesBefore", 5},
        {"OverdueTasksDefaultStoreOnly", 1},
    };
    const auto policies = TemplatePolicies();
    ASSERT_EQ(policies.size(), chosen.size()) << "the template and this test name different policies";
    std::map<std::string, std::unique_ptr<test::ScopedRegistryValue>> values;  // by value name
    for (const auto& [name, policy] : policies) {
        ASSERT_TRUE(chosen.count(policy.valueName)) << name << " writes " << policy.valueName;
        if (policy.onOff) {
            EXPECT_EQ(policy.enabledValue, 1) << name;
            EXPECT_EQ(policy.disabledValue, 0) << name;
        }
        auto& value = values[policy.valueName];
        value = std::make_unique<test::ScopedRegistryValue>(HKEY_CURRENT_USER, wl::FromUtf8(policy.key),
                                                            wl::FromUtf8(policy.valueName));
        value->SetNumber(chosen.at(policy.valueName));
    }
    // The computer's policy wins over the user's.
    const Policy& trackReminders = policies.at("TrackReminders");
    test::ScopedRegistryValue machine(HKEY_LOCAL_MACHINE, wl::FromUtf8(trackReminders.key),
                                      wl::FromUtf8(trackReminders.valueName));
    values.at(trackReminders.valueName)->SetNumber(1);
    machine.SetNumber(0);

    const std::string file = "[settings]\r\nDontKeepOlLoaded=-1\r\nKeepWordLoaded=0\r\nStartOutlookIn=9\r\n"
                             "DontTrackReminders=0\r\nDontTrackOverdueTasks=-1\r\nDisplayOutlookAtStart=0\r\n"
                             "LoadDelay=600000\r\n";
    test::WriteTextFile(Folder() + L"wendlock.ini", file);
    StartStandIn("other-store Archive\n"
                 "item folder=Tasks store=Archive subject=Filed entryid=A1 due=today-2d complete=0\n"
                 "item folder=Tasks subject=Late entryid=T1 due=today-2d complete=0\n"
                 "item folder=Inbox subject=Budget entryid=M1 reminder=now\n");
    auto app = Start(L"wendlock.exe");
    ASSERT_TRUE(app.WaitForIcon());
    // No delay, Outlook shown on Tasks, and kept; Word kept; overdue tasks scanned.
    ASSERT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "GetTable"); }, 20s));
    EXPECT_NE(standin.Command("state").find("folder=\"Tasks\""), std::string::npos) << standin.Command("state");
    EXPECT_TRUE(HasLine(standin.Journal(), "CreateObject Word.Application"));
    EXPECT_FALSE(HasLine(standin.Journal(), "Release Application"));
    // Only the default store's tasks are read.
    EXPECT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "Table:Tasks.GetArray("); }, 20s));
    EXPECT_FALSE(HasLine(standin.Journal(), "Store:Archive.GetDefaultFolder"));
    // Reminders are not tracked: the item of a fired reminder is never read.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M1")));
    test::Pump(1500ms);
    EXPECT_FALSE(HasLine(standin.Journal(), "M1.Subject"));
    // This copy starts at logon.
    EXPECT_NE(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Wendlock")
                  .find(Folder() + L"wendlock.exe"),
              std::wstring::npos);

    app.EndSession();
    ASSERT_TRUE(app.WaitForExit(10s));
    EXPECT_EQ(test::ReadTextFile(Folder() + L"wendlock.ini"), file);  // the user's own choices stay
}
