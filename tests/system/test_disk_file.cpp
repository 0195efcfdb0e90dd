// Disk files: open flags, the write cache as seen on disk, reads across cache blocks, seeks,
// sizes and the existence test.
#include "HeldOpenFile.h"
#include "RecordingServices.h"
#include "System/File.h"
#include "System/FileSourceDisk.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <utility>

namespace {

constexpr uint32_t kRead = QLC_IFile::READ | QLC_IFile::SHARE_READ;  // 17
constexpr uint32_t kCreate = QLC_IFile::WRITE | QLC_IFile::CREATE;
constexpr uint32_t kCreateReadWrite = QLC_IFile::READ_WRITE | QLC_IFile::CREATE;

// Whether another program can open the file to read it while the test holds it.
bool OtherReaderCanOpen(const std::string& path) {
    return HeldOpenFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE).Held();
}

}  // namespace

TEST(DiskOpen, MissingFileReturnsFalseOrThrowsFromTheConstructor) {
    ScratchFolder dir;
    QLC_File file;
    EXPECT_FALSE(file.Open((dir / "missing.txt").c_str(), kRead));
    EXPECT_FALSE(file.IsOpen());
    const QLC_FileException e =
        FileErrorOf([&] { QLC_File((dir / "missing.txt").c_str(), kRead); });
    EXPECT_EQ(std::make_pair(e.Cause(), e.OsError()), std::make_pair(4, 2));
    EXPECT_EQ(e.FileName(), (dir / "missing.txt").c_str());
}

TEST(DiskOpen, ReadingWithoutSharingStillLetsOtherReadersIn) {
    ScratchFolder dir;
    e2e::WriteFile(dir / "a.bin", Pattern(10));
    QLC_File file((dir / "a.bin").c_str(), QLC_IFile::READ | QLC_IFile::SHARE_NONE);
    EXPECT_EQ(file.GetFlags() & QLC_IFile::SHARE_MASK, uint32_t{QLC_IFile::SHARE_READ});
    EXPECT_TRUE(OtherReaderCanOpen(dir / "a.bin"));
}

TEST(DiskOpen, WritingWithoutSharingLocksOthersOut) {
    ScratchFolder dir;
    QLC_File file((dir / "a.bin").c_str(),
                  QLC_IFile::WRITE | QLC_IFile::SHARE_NONE | QLC_IFile::CREATE);
    EXPECT_FALSE(OtherReaderCanOpen(dir / "a.bin"));
    QLC_File second;
    const QLC_FileException e = FileErrorOf(
        [&] { second.Open((dir / "a.bin").c_str(), kRead | QLC_IFile::THROW_ON_ERROR); });
    EXPECT_EQ(std::make_pair(e.Cause(), e.OsError()), std::make_pair(17, 32));
}

TEST(DiskOpen, CreateReplacesUnlessAskedToKeepTheFile) {
    ScratchFolder dir;
    e2e::WriteFile(dir / "a.bin", Pattern(100));
    { QLC_File keep((dir / "a.bin").c_str(), kCreate | QLC_IFile::KEEP_EXISTING); }
    EXPECT_EQ(DiskSize(dir / "a.bin"), 100);
    { QLC_File replace((dir / "a.bin").c_str(), kCreate); }
    EXPECT_EQ(DiskSize(dir / "a.bin"), 0);
}

TEST(DiskOpen, CreateMakesTheMissingFolders) {
    ScratchFolder dir;
    RecordingServices services;
    const std::string path = dir / "one\\two\\new.bin";
    QLC_File file(path.c_str(), kCreate);
    file.Write("x", 1);
    file.Close();
    EXPECT_EQ(services.created_files, std::vector<std::string>{path});
    EXPECT_EQ(DiskSize(path), 1);
}

TEST(DiskOpen, ConflictingAccessHintsFailTheAssertion) {
    ScratchFolder dir;
    RecordingServices services;
    services.message_box_answer = IDIGNORE;
    QLC_File file((dir / "a.bin").c_str(),
                  kCreate | QLC_IFile::OS_RANDOM_ACCESS | QLC_IFile::OS_SEQUENTIAL_SCAN);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(services.Of("Report").size(), 1u);
}

TEST(DiskOpen, ExistenceTest) {
    ScratchFolder dir;
    e2e::WriteFile(dir / "here.txt", Pattern(3));
    EXPECT_TRUE(QLC_FileExists((dir / "here.txt").c_str()));
    EXPECT_FALSE(QLC_FileExists((dir / "gone.txt").c_str()));
    EXPECT_FALSE(QLC_FileExists(dir.Path().c_str()));
    // The test leaves nothing open: the file can be deleted at once.
    EXPECT_TRUE(DeleteFileA((dir / "here.txt").c_str()));
}

TEST(DiskOpen, OperationsOnAClosedFileThrowInsteadOfCrashing) {
    QLC_File file;
    EXPECT_THROW(ReadUpTo(file, 1), QLC_FileException);
    EXPECT_THROW(file.Seek(0, 0), QLC_FileException);
    EXPECT_THROW(file.GetSize(), QLC_FileException);
    EXPECT_NO_THROW(file.Close());
    EXPECT_NO_THROW(file.Flush());
    EXPECT_FALSE(file.CanRead());
}

// The rest goes out at the next seek, read, flush or close, whichever comes first.
TEST(DiskWrite, LargeWriteReachesDiskAsAFullBlockThenTheRestAtTheNextOperation) {
    const std::function<void(QLC_File&)> operations[] = {
        [](QLC_File& file) { EXPECT_EQ(file.Seek(0, QLC_IFile::FROM_START), 0u); },
        [](QLC_File& file) { EXPECT_TRUE(ReadUpTo(file, 1).empty()); },  // at the end
        [](QLC_File& file) { file.Flush(); },
        [](QLC_File& file) { file.Close(); },
    };
    for (size_t i = 0; i < std::size(operations); ++i) {
        ScratchFolder dir;
        const std::string path = dir / "cache.bin";
        const auto bytes = Pattern(20000);
        QLC_File file(path.c_str(), kCreateReadWrite);
        file.Write(bytes.data(), 20000);
        EXPECT_EQ(DiskSize(path), 16384) << i;
        EXPECT_EQ(file.GetSize(), 20000u);
        operations[i](file);
        EXPECT_EQ(DiskSize(path), 20000) << "after operation " << i;
        file.Close();
        EXPECT_EQ(e2e::ReadFile(path), bytes);
    }
}

TEST(DiskWrite, WithoutCacheAtOnceOtherwiseAtTheLatestWhenTheFileIsDestroyed) {
    ScratchFolder dir;
    QLC_File direct((dir / "direct.bin").c_str(), kCreate | QLC_IFile::NO_CACHE);
    direct.Write(Pattern(20000).data(), 20000);
    EXPECT_EQ(DiskSize(dir / "direct.bin"), 20000);
    const std::string path = dir / "pending.bin";
    {
        QLC_File file(path.c_str(), kCreate);
        file.Write("abc", 3);
        EXPECT_EQ(DiskSize(path), 0);
    }
    EXPECT_EQ(DiskSize(path), 3);
}

TEST(DiskWrite, OverwritingInTheMiddleKeepsTheRest) {
    ScratchFolder dir;
    const std::string path = dir / "mid.bin";
    auto bytes = Pattern(50000);
    e2e::WriteFile(path, bytes);
    {
        QLC_File file(path.c_str(), QLC_IFile::READ_WRITE);
        file.Seek(30000, QLC_IFile::FROM_START);
        file.Write("XYZ", 3);
        EXPECT_EQ(ReadUpTo(file, 2), bytes.substr(30003, 2));
        EXPECT_EQ(file.Tell(), 30005u);
        EXPECT_EQ(file.GetSize(), 50000u);
    }
    bytes.replace(30000, 3, "XYZ");
    EXPECT_EQ(e2e::ReadFile(path), bytes);
}

TEST(DiskRead, ReadsAcrossCacheBlocksAndStopsAtTheEnd) {
    ScratchFolder dir;
    const auto bytes = Pattern(40000);
    e2e::WriteFile(dir / "r.bin", bytes);
    QLC_File file((dir / "r.bin").c_str(), kRead);
    // 7000-byte pieces cross both block edges (16384 and 32768); the last one the end.
    std::string got;
    for (int piece = 0; piece < 6; ++piece) {
        got += ReadUpTo(file, 7000);
    }
    EXPECT_EQ(got, bytes);
    EXPECT_TRUE(ReadUpTo(file, 10).empty());

    file.Seek(39995, QLC_IFile::FROM_START);
    EXPECT_EQ(ReadUpTo(file, 10), bytes.substr(39995, 5));
    EXPECT_EQ(file.Tell(), 40000u);
    EXPECT_TRUE(file.GetSource()->IsEof());
}

TEST(DiskSeek, FromTheEndCountsBack) {
    ScratchFolder dir;
    const auto bytes = Pattern(100);
    e2e::WriteFile(dir / "s.bin", bytes);
    QLC_File file((dir / "s.bin").c_str(), kRead);
    EXPECT_EQ(file.Seek(10, QLC_IFile::FROM_END), 90u);
    EXPECT_EQ(ReadUpTo(file, 20), bytes.substr(90, 10));
    EXPECT_EQ(file.Seek(5, 7), 100u);  // unknown origin leaves the position
}

TEST(DiskSize, SetSizeShortensAndLengthensTheFile) {
    ScratchFolder dir;
    const std::string path = dir / "z.bin";
    e2e::WriteFile(path, Pattern(100));
    QLC_File file(path.c_str(), QLC_IFile::READ_WRITE);
    ASSERT_EQ(file.GetSize(), 100u);
    auto* source = dynamic_cast<QLC_FileSourceDisk*>(file.GetSource());
    ASSERT_NE(source, nullptr);
    source->SetSize(40);
    EXPECT_EQ(std::make_pair(DiskSize(path), file.GetSize()), std::make_pair(40LL, 40u));
    EXPECT_TRUE(ReadUpTo(file, 1).empty());
    source->SetSize(60);
    EXPECT_EQ(std::make_pair(DiskSize(path), file.GetSize()), std::make_pair(60LL, 60u));
}

TEST(DiskOpen, ReadAccessRefusesWritesAndTheFileStillClosesQuietly) {
    ScratchFolder dir;
    e2e::WriteFile(dir / "ro.bin", Pattern(10));
    {
        QLC_File file((dir / "ro.bin").c_str(), kRead);
        EXPECT_TRUE(file.CanRead());
        EXPECT_FALSE(file.CanWrite());
        file.Write("xy", 2);  // gathered in the cache
        const QLC_FileException e = FileErrorOf([&] { file.Flush(); });
        EXPECT_EQ(std::make_pair(e.Cause(), e.OsError()), std::make_pair(11, 5));
        // Destroying the file must not throw although the pending bytes cannot be written.
    }
    EXPECT_EQ(e2e::ReadFile(dir / "ro.bin"), Pattern(10));
}
