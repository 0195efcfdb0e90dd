// Registry values read through the real (wine) registry, with the traces a support log gets.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingServices.h"
#include "Registry.h"

namespace {

const char* const kKey = "Software\\Corvane\\RegistryTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    }
    void Set(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    // The traces as the support log places them: file|line|function|text.
    std::vector<std::string> Traces() const {
        std::vector<std::string> traces;
        for (const RecordedCall& call : services.Of("Trace")) {
            traces.push_back(call.file + "|" + std::to_string(call.line) + "|" + call.function +
                             "|" + call.text);
        }
        return traces;
    }

    RecordingServices services;
    HKEY key = nullptr;
    QLC_Registry registry{HKEY_LOCAL_MACHINE};
};

}  // namespace

// A plain value is read by the search for the installation (test_install_check).
TEST_F(RegistryTest, StringValuesComeBackAsStored) {
    const char expand[] = "%ProgramFiles%\\Tessaly";
    Set("Expand", REG_EXPAND_SZ, expand, sizeof expand);
    const char noTerminator[] = {'D', ':', '\\', 'T'};
    Set("Bare", REG_SZ, noTerminator, sizeof noTerminator);

    QLC_String text;
    EXPECT_TRUE(ReadString(registry, kKey, "Expand", text));
    EXPECT_STREQ(text.c_str(), expand);  // not expanded
    EXPECT_TRUE(ReadString(registry, kKey, "Bare", text));
    EXPECT_STREQ(text.c_str(), "D:\\T");
    EXPECT_TRUE(Traces().empty());
}

TEST_F(RegistryTest, ANumberIsNotATextAndIsTraced) {
    DWORD number = 1;
    Set("Install Path", REG_DWORD, &number, sizeof number);
    QLC_String text("unchanged");
    EXPECT_FALSE(ReadString(registry, kKey, "Install Path", text));
    EXPECT_STREQ(text.c_str(), "unchanged");
    EXPECT_EQ(Traces(),
              std::vector<std::string>{
                  ".\\Registry|961|QLC_RegistryValue::GetValue|(QLC_String &) wrong type."});
}

TEST_F(RegistryTest, AMissingKeyIsSilentAMissingValueIsTraced) {
    QLC_String text;
    EXPECT_FALSE(ReadString(registry, "Software\\Corvane\\NoSuchKey", "Install Path", text));
    EXPECT_TRUE(Traces().empty());
    EXPECT_FALSE(ReadString(registry, kKey, "Install Path", text));
    EXPECT_EQ(Traces(), std::vector<std::string>{".\\Registry|558|QLC_Registry::LoadKey|"
                                                 "RegQueryValueEx() call 1 failed. Error: 2"});
    EXPECT_TRUE(text.IsEmpty());
}
