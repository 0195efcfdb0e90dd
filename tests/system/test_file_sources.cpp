// Memory files, compressed copies and archive entries.
#include "RecordingServices.h"
#include "System/CompressedCopy.h"
#include "System/File.h"
#include "System/FileException.h"
#include "System/FileSourceMemory.h"
#include "System/WadReader.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kMemory = QLC_IFile::READ_WRITE | QLC_IFile::SOURCE_MEMORY;

QLC_FileSourceMemory& MemorySource(QLC_File& file) {
    return *dynamic_cast<QLC_FileSourceMemory*>(file.GetSource());
}

// Inflates a whole zlib stream of up to 2 MiB; fails the test unless it ends at its last byte.
std::string Inflate(const std::string& stream) {
    std::string out(2 << 20, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    uLong used = static_cast<uLong>(stream.size());
    EXPECT_EQ(uncompress2(reinterpret_cast<Bytef*>(&out[0]), &size,
                          reinterpret_cast<const Bytef*>(stream.data()), &used),
              Z_OK);
    EXPECT_EQ(used, stream.size());
    out.resize(size);
    return out;
}

struct ChunkContent {
    std::string name;
    std::string bytes;
    bool compressed;
};

std::string Deflate(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &size,
              reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()), 6);
    packed.resize(size);
    return packed;
}

// Writes an archive in the reader's layout, optionally behind `prefix` bytes of other data.
void WriteArchive(const std::string& path, const std::vector<ChunkContent>& chunks,
                  size_t prefix = 0) {
    std::string out(prefix, '\xEE'), data;
    const auto put_u32 = [&out](size_t value) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<char>(value >> (8 * i)));
        }
    };
    out += "TWAD";
    put_u32(chunks.size());
    for (const ChunkContent& chunk : chunks) {
        const std::string stored = chunk.compressed ? Deflate(chunk.bytes) : chunk.bytes;
        out += chunk.name + std::string(32 - chunk.name.size(), '\0');
        put_u32(8 + 48 * chunks.size() + data.size());
        put_u32(chunk.bytes.size());
        put_u32(stored.size());
        put_u32(chunk.compressed ? 1 : 0);
        data += stored;
    }
    e2e::WriteFile(path, out + data);
}

class MemoryFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(file.Open("", kMemory)); }
    QLC_File file;
};

class Archive : public ::testing::Test {
protected:
    void SetUp() override {
        plain = Pattern(3000, 7);
        // Compressible but not trivial.
        packed.resize(50000);
        for (size_t i = 0; i < packed.size(); ++i) {
            packed[i] = static_cast<char>((i * 7 + i / 100) & 0xFF);
        }
        path = dir / "game.wad";
        WriteArchive(path, {{"plain", plain, false}, {"packed", packed, true}}, 16);
        reader = new TSC_WadReader();
        reader->Open(path.c_str(), 16);
    }
    void TearDown() override { reader->Release(); }

    ScratchFolder dir;
    std::string path;
    std::string plain, packed;
    TSC_WadReader* reader = nullptr;
    QLC_File entry;
};

}  // namespace

TEST_F(MemoryFile, GrowsByWholeStepsFromItsFirstBlock) {
    ASSERT_TRUE(file.GetSource()->IsMemory());
    const auto bytes = Pattern(20000);
    file.Write(bytes.data(), 20000);
    EXPECT_EQ(MemorySource(file).GetCapacity(), 20480u);
    EXPECT_EQ(file.GetSize(), 20000u);
    file.Seek(0, QLC_IFile::FROM_START);
    EXPECT_EQ(ReadUpTo(file, 30000), bytes);
}

TEST_F(MemoryFile, SeeksBeforeTheStartFailAndPastTheEndReadNothing) {
    const QLC_FileException e = FileErrorOf([&] { file.Seek(-1, QLC_IFile::FROM_START); });
    EXPECT_STREQ(e.Message(), "FileException. File: Unnamed Cause: Bad Seek");
    EXPECT_EQ(e.OsError(), -1);
    EXPECT_EQ(file.Tell(), 0u);
    file.Write(Pattern(100).data(), 100);
    EXPECT_EQ(file.Seek(10, QLC_IFile::FROM_END), 110u);
    EXPECT_TRUE(ReadUpTo(file, 1).empty());
    EXPECT_EQ(file.Seek(-30, QLC_IFile::FROM_END), 70u);
    EXPECT_EQ(file.Seek(5, QLC_IFile::FROM_CURRENT), 75u);
}

TEST_F(MemoryFile, WritingBeyondTheEndFillsTheGapWithZeros) {
    file.Write("ab", 2);
    file.Seek(20000, QLC_IFile::FROM_START);
    file.Write("z", 1);
    EXPECT_EQ(file.GetSize(), 20001u);
    const uint8_t* data = MemorySource(file).GetData();
    EXPECT_EQ(std::count(data + 2, data + 20000, 0), 19998);
    EXPECT_EQ(data[20000], 'z');
}

TEST(MemoryFileOnABlock, AdoptsTheHandedInBlock) {
    QLC_FileOpenRequest request;
    request.memory = ::operator new(5);
    std::memcpy(request.memory, "hello", 5);
    request.size = 5;
    request.flags = kMemory;
    QLC_File file;
    ASSERT_TRUE(file.Open(request));
    EXPECT_EQ(ReadUpTo(file, 8), "hello");
    file.Write("!", 1);
    EXPECT_EQ(file.GetSize(), 6u);
}

TEST_F(MemoryFile, CopyToFileCopiesItsBytesAndKeepsItsPosition) {
    ScratchFolder dir;
    const auto bytes = Pattern(5000);
    file.Write(bytes.data(), 5000);
    file.Seek(123, QLC_IFile::FROM_START);
    file.WriteToFile((dir / "copy.bin").c_str(), false);
    EXPECT_EQ(e2e::ReadFile(dir / "copy.bin"), bytes);
    EXPECT_EQ(file.Tell(), 123u);
}

TEST(CopyToFile, DiskSourceWarnsAndLeavesTheTargetEmpty) {
    ScratchFolder dir;
    RecordingServices services;
    e2e::WriteFile(dir / "src.bin", Pattern(100));
    QLC_File file((dir / "src.bin").c_str(), QLC_IFile::READ);
    file.WriteToFile((dir / "copy.bin").c_str(), false);
    EXPECT_EQ(DiskSize(dir / "copy.bin"), 0);
    EXPECT_EQ(services.Only("Warning").text, "WriteToFile not supported.");
}

TEST(CompressedCopy, EmptyFileGivesAValidEmptyStream) {
    ScratchFolder dir;
    e2e::WriteFile(dir / "empty.bin", {});
    QLC_File file((dir / "empty.bin").c_str(), QLC_IFile::READ);
    file.WriteToFile((dir / "empty.z").c_str(), true);
    const auto stream = e2e::ReadFile(dir / "empty.z");
    ASSERT_GE(stream.size(), 8u);
    EXPECT_EQ(stream[0], 0x78);  // zlib header, 32 KiB window
    EXPECT_TRUE(Inflate(stream).empty());
    EXPECT_EQ(QLC_CompressionStream::ActiveCount(), 0);
}

TEST(CompressedCopy, MegabyteFileInflatesBackToItself) {
    ScratchFolder dir;
    std::string bytes = Pattern(1 << 20);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        bytes[i] = static_cast<char>(i / 4096);  // some redundancy to squeeze
    }
    e2e::WriteFile(dir / "big.bin", bytes);
    QLC_File file((dir / "big.bin").c_str(), QLC_IFile::READ);
    file.Seek(777, QLC_IFile::FROM_START);
    file.WriteToFile((dir / "big.z").c_str(), true);
    EXPECT_EQ(file.Tell(), 777u);
    const auto stream = e2e::ReadFile(dir / "big.z");
    EXPECT_LT(stream.size(), bytes.size());
    EXPECT_EQ(Inflate(stream), bytes);
}

TEST(CompressedCopy, FailedTargetLeavesNoFileBehind) {
    ScratchFolder dir;
    e2e::WriteFile(dir / "src.bin", Pattern(100));
    // The target folder name is taken by a file, so the target cannot be created.
    e2e::WriteFile(dir / "blocker", {});
    QLC_File file((dir / "src.bin").c_str(), QLC_IFile::READ);
    EXPECT_THROW(file.WriteToFile((dir / "blocker\\out.z").c_str(), true), QLC_FileException);
    EXPECT_EQ(DiskSize(dir / "blocker\\out.z"), -1);
}

TEST_F(Archive, StoredEntryReadsItsBytesOnly) {
    ASSERT_TRUE(reader->OpenEntry(entry, "plain", 100, 50));
    EXPECT_TRUE(entry.GetSource()->IsInArchive());
    EXPECT_EQ(entry.GetSize(), 50u);
    // The entry ends where the next one would begin.
    EXPECT_EQ(ReadUpTo(entry, 80), plain.substr(100, 50));
    EXPECT_TRUE(entry.GetSource()->IsEof());
    EXPECT_EQ(entry.Seek(10, QLC_IFile::FROM_END), 40u);
    EXPECT_EQ(ReadUpTo(entry, 5), plain.substr(140, 5));
    EXPECT_EQ(entry.Seek(0, QLC_IFile::FROM_START), 0u);
    EXPECT_EQ(ReadUpTo(entry, 3), plain.substr(100, 3));
}

TEST_F(Archive, CompressedEntryReadsForwardAndRestartsAtZero) {
    ASSERT_TRUE(reader->OpenEntry(entry, "packed", 0, 50000));
    EXPECT_EQ(ReadUpTo(entry, 1000), packed.substr(0, 1000));
    EXPECT_EQ(entry.Seek(30000, QLC_IFile::FROM_START), 30000u);
    EXPECT_EQ(ReadUpTo(entry, 20000), packed.substr(30000, 20000));
    EXPECT_EQ(entry.Seek(0, QLC_IFile::FROM_START), 0u);
    EXPECT_EQ(ReadUpTo(entry, 50000), packed);
}

TEST_F(Archive, CompressedChunkRefusesBackwardSeeks) {
    ASSERT_TRUE(reader->OpenEntry(entry, "packed", 0, 50000));
    ReadUpTo(entry, 4000);
    const QLC_FileException e = FileErrorOf([&] { entry.Seek(100, QLC_IFile::FROM_START); });
    EXPECT_EQ(e.Message(), "File: " + path +
                               " Chunk: packed Offset: 4000 - compressed chunks can only seek "
                               "forward or to position 0");
    EXPECT_EQ(e.Cause(), 2);
}

TEST_F(Archive, SeekPastTheChunkEndIsABadSeek) {
    ASSERT_TRUE(reader->OpenEntry(entry, "plain", 0, 3000));
    const QLC_FileException e = FileErrorOf([&] { entry.Seek(3001, QLC_IFile::FROM_START); });
    EXPECT_EQ(e.Message(), "File: " + path + " Chunk: plain Offset: 0 - seeking past end of chunk");
    EXPECT_EQ(e.Cause(), 15);
}

// Entries are read-only views of the archive: a write must never reach the archive file.
TEST_F(Archive, EntriesCannotBeWritten) {
    RecordingServices services;
    const std::string before = e2e::ReadFile(path);
    ASSERT_TRUE(reader->OpenEntry(entry, "plain", 0, 10));
    entry.Write("x", 1);
    EXPECT_EQ(services.Only("Warning").text, "Wad file source cannot write.");
    entry.Close();
    EXPECT_EQ(e2e::ReadFile(path), before);
}

TEST_F(Archive, UnknownChunkOrOversizedEntryIsNotOpened) {
    EXPECT_FALSE(reader->OpenEntry(entry, "nothing", 0, 1));
    EXPECT_FALSE(reader->OpenEntry(entry, "plain", 2990, 11));
    EXPECT_FALSE(entry.IsOpen());
}

TEST(ArchiveDamage, NotAnArchiveOrDamagedDataIsAFileError) {
    ScratchFolder dir;
    e2e::WriteFile(dir / "junk.wad", Pattern(100));
    TSC_WadReader* reader = new TSC_WadReader();
    EXPECT_THROW(reader->Open((dir / "junk.wad").c_str()), QLC_FileException);
    reader->Release();

    // Corrupt the compressed bytes behind the zlib header.
    WriteArchive(dir / "bad.wad", {{"c", std::string(5000, 'a'), true}});
    std::string archive = e2e::ReadFile(dir / "bad.wad");
    archive.replace(8 + 48 + 2, std::string::npos, archive.size() - (8 + 48 + 2), '\xFF');
    e2e::WriteFile(dir / "bad.wad", archive);
    reader = new TSC_WadReader();
    reader->Open((dir / "bad.wad").c_str());
    QLC_File entry;
    ASSERT_TRUE(reader->OpenEntry(entry, "c", 0, 5000));
    const QLC_FileException e = FileErrorOf([&] { ReadUpTo(entry, 5000); });
    EXPECT_EQ(e.Cause(), 2);
    EXPECT_NE(std::string(e.Message()).find("Chunk: c Offset: 0 - "), std::string::npos);
    reader->Release();
}
