// Direct disk access for file tests, independent of the library's own code.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "System/FileException.h"
#include "System/IFile.h"
#include "TestTree.h"

using e2e::ScratchFolder;

// The size the system reports for the file, -1 when it does not exist.
long long DiskSize(const std::string& path);
// Bytes 0..n-1 of a fixed pattern that repeats rarely.
std::string Pattern(size_t n, unsigned seed = 1);
// What one read of up to `count` bytes at the file's position returns.
std::string ReadUpTo(QLC_IFile& file, uint32_t count);

// The file exception `action` throws; the test fails when it throws none.
template <typename Action>
QLC_FileException FileErrorOf(Action action) {
    try {
        action();
    } catch (const QLC_FileException& e) {
        return e;
    }
    ADD_FAILURE() << "no exception";
    return QLC_FileException(QLC_CAUSE_NONE, 0, "");
}
