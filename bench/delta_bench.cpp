// Command-line front end to the delta codec for measurements against other diff tools.
//   delta_bench encode OLD NEW DELTA [--level N] [--threads N]
//   delta_bench decode OLD DELTA OUT NEW_SIZE
// Exit status: 0 on success, 2 for bad arguments or files, else the decoder's status.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "delta_decoder.h"
#include "delta_encoder.h"

namespace {

bool ReadWholeFile(const char* path, std::vector<uint8_t>& data) {
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    data.clear();
    struct stat info;
    if (fstat(fileno(file), &info) == 0)
        data.reserve(static_cast<size_t>(info.st_size));
    uint8_t buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data.insert(data.end(), buffer, buffer + got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

class FileOld : public tpe::DeltaOldSource {
public:
    explicit FileOld(int fd) : fd_(fd) {
        struct stat info;
        size_ = fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        uint8_t* out = static_cast<uint8_t*>(buffer);
        while (size > 0) {
            ssize_t got = pread(fd_, out, size, static_cast<off_t>(offset));
            if (got <= 0)
                return false;
            out += got;
            offset += static_cast<uint64_t>(got);
            size -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};

class FilePatch : public tpe::DeltaPatchSource {
public:
    explicit FilePatch(FILE* file) : file_(file) {}
    long long Read(void* buffer, size_t size) override {
        size_t got = std::fread(buffer, 1, size, file_);
        return std::ferror(file_) ? -1 : static_cast<long long>(got);
    }

private:
    FILE* file_;
};

class FileSink : public tpe::DeltaSink {
public:
    explicit FileSink(FILE* file) : file_(file) {}
    bool Write(const void* data, size_t size) override {
        return std::fwrite(data, 1, size, file_) == size;
    }

private:
    FILE* file_;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: delta_bench encode OLD NEW DELTA [--level N] [--threads N]\n"
                 "       delta_bench decode OLD DELTA OUT NEW_SIZE\n");
    return 2;
}

int Encode(int argc, char** argv) {
    if (argc < 5)
        return Usage();
    tpe::DeltaEncodeOptions options;
    for (int i = 5; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--level") == 0)
            options.level = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--threads") == 0)
            options.threads = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else
            return Usage();
    }
    std::vector<uint8_t> oldData, newData;
    if (!ReadWholeFile(argv[2], oldData) || !ReadWholeFile(argv[3], newData)) {
        std::fprintf(stderr, "delta_bench: cannot read the input files\n");
        return 2;
    }
    std::vector<uint8_t> delta =
        tpe::EncodeDelta(oldData.data(), oldData.size(), newData.data(), newData.size(), options);
    FILE* out = std::fopen(argv[4], "wb");
    if (!out || std::fwrite(delta.data(), 1, delta.size(), out) != delta.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "delta_bench: cannot write %s\n", argv[4]);
        return 2;
    }
    return 0;
}

int Decode(int argc, char** argv) {
    if (argc != 6)
        return Usage();
    int oldFd = open(argv[2], O_RDONLY);
    FILE* patchFile = std::fopen(argv[3], "rb");
    FILE* outFile = std::fopen(argv[4], "wb");
    if (oldFd < 0 || !patchFile || !outFile) {
        std::fprintf(stderr, "delta_bench: cannot open the files\n");
        return 2;
    }
    FileOld old(oldFd);
    FilePatch patch(patchFile);
    FileSink sink(outFile);
    tpe::DeltaStatus status =
        tpe::DecodeDelta(old, patch, sink, std::strtoull(argv[5], nullptr, 10));
    if (std::fclose(outFile) != 0 && status == tpe::DeltaStatus::Ok)
        status = tpe::DeltaStatus::WriteFailed;
    std::fclose(patchFile);
    close(oldFd);
    if (status != tpe::DeltaStatus::Ok)
        std::fprintf(stderr, "delta_bench: %s\n", tpe::DeltaStatusText(status));
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    if (std::strcmp(argv[1], "encode") == 0)
        return Encode(argc, argv);
    if (std::strcmp(argv[1], "decode") == 0)
        return Decode(argc, argv);
    return Usage();
}
