// Registry values read through the real (wine) registry, with the traces a support log gets.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "Registry.h"
#include "System/SystemServices.h"

namespace {

const char* const kKey = "Software\\Corvane\\RegistryTest";

class TraceRecorder : public QLC_DefaultSystemServices {
public:
    void Trace(const char* file, int line, const char* function, const char* format, ...) override {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        traces.push_back(std::string(file) + "|" + std::to_string(line) + "|" + function + "|" +
                         text);
    }
    std::vector<std::string> traces;
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = new TraceRecorder;
        QLC_InstallSystemServices(recorder);
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

    HKEY key = nullptr;
    TraceRecorder* recorder = nullptr;
    QLC_Registry registry{HKEY_LOCAL_MACHINE};
};

}  // namespace

TEST_F(RegistryTest, StringValuesComeBackAsStored) {
    const char path[] = "C:\\Games\\Tessaly";
    Set("Install Path", REG_SZ, path, sizeof path);
    const char expand[] = "%ProgramFiles%\\Tessaly";
    Set("Expand", REG_EXPAND_SZ, expand, sizeof expand);
    const char noTerminator[] = {'D', ':', '\\', 'T'};
    Set("Bare", REG_SZ, noTerminator, sizeof noTerminator);

    QLC_String text;
    EXPECT_TRUE(ReadString(registry, kKey, "Install Path", text));
    EXPECT_STREQ(text.c_str(), path);
    EXPECT_TRUE(ReadString(registry, kKey, "Expand", text));
    EXPECT_STREQ(text.c_str(), expand);  // not expanded
    EXPECT_TRUE(ReadString(registry, kKey, "Bare", text));
    EXPECT_STREQ(text.c_str(), "D:\\T");
    EXPECT_TRUE(recorder->traces.empty());
}

TEST_F(RegistryTest, ANumberIsNotATextAndIsTraced) {
    DWORD number = 1;
    Set("Install Path", REG_DWORD, &number, sizeof number);
    QLC_String text("unchanged");
    EXPECT_FALSE(ReadString(registry, kKey, "Install Path", text));
    EXPECT_STREQ(text.c_str(), "unchanged");
    ASSERT_EQ(recorder->traces.size(), 1u);
    EXPECT_EQ(recorder->traces[0],
              ".\\Registry|961|QLC_RegistryValue::GetValue|(QLC_String &) wrong type.");
}

TEST_F(RegistryTest, AMissingKeyIsSilentAMissingValueIsTraced) {
    QLC_String text;
    EXPECT_FALSE(ReadString(registry, "Software\\Corvane\\NoSuchKey", "Install Path", text));
    EXPECT_TRUE(recorder->traces.empty());
    EXPECT_FALSE(ReadString(registry, kKey, "Install Path", text));
    ASSERT_EQ(recorder->traces.size(), 1u);
    EXPECT_EQ(recorder->traces[0],
              ".\\Registry|558|QLC_Registry::LoadKey|RegQueryValueEx() call 1 failed. Error: 2");
    EXPECT_TRUE(text.IsEmpty());
}
