// The engine runner with a recording stand-in engine carried as this program's resource.

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "patching/EngineRunner.h"

namespace {

std::vector<std::string> g_received;

const char* Record(unsigned messageId, void* parameter) {
    g_received.push_back(std::to_string(messageId) + ":" + static_cast<const char*>(parameter));
    return "";
}

const char* Throw(unsigned, void*) {
    throw std::runtime_error("stop");
}

}  // namespace

TEST(EngineRunner, ArgumentsReachTheEngineAfterTheProgramPath) {
    g_received.clear();
    const char* arguments = "\"C:/Games/Tessaly\" -nopathsearch -i -u -b:Update_1.1.5_Backup";
    EXPECT_EQ(RunPatchEngine(arguments, Record, 1), 0);
    ASSERT_EQ(g_received.size(), 2u);
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    EXPECT_EQ(g_received[0], "11:/z \"" + std::string(program) + "\" " + arguments);
    EXPECT_EQ(g_received[1], "12:1");
}

TEST(EngineRunner, TheResultOrTheCallbacksExceptionComesBackAndNoCopyIsLeftBehind) {
    e2e::OwnTemporaryFolder temp;
    EXPECT_EQ(RunPatchEngine("\"C:/x\" -fail", Record, 1), 7);
    // The engine sees a null answer (its result 99 is dropped) and the exception is thrown again.
    EXPECT_THROW(RunPatchEngine("\"C:/x\" -l", Throw, 1), std::runtime_error);
    // The next run is not disturbed by the last one's exception.
    g_received.clear();
    EXPECT_EQ(RunPatchEngine("\"C:/x\" -l", Record, 1), 0);
    EXPECT_EQ(g_received.size(), 2u);
    EXPECT_EQ(e2e::CountEngineCopies(), 0);
}

TEST(EngineRunner, ArgumentsTooLongForTheCommandLineAreRefusedNotCut) {
    std::string tooLong = "\"C:/" + std::string(600, 'a') + "\" -u";
    g_received.clear();
    EXPECT_EQ(RunPatchEngine(tooLong.c_str(), Record, 1), kEngineDidNotStart);
    EXPECT_TRUE(g_received.empty());
}
