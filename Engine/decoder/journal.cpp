#include "journal.h"

#include <algorithm>
#include <cstring>

#include "byte_io.h"
#include "crc32.h"
#include "path_safety.h"
#include "refuse.h"

namespace tpe {
namespace {

constexpr char kMagic[8] = {'T', 'S', 'L', 'Y', 'J', 'R', 'N', 'L'};
// 2: lengths checked on their own, originals' contents recorded. Version 1 journals are refused:
// their framing cannot tell a damaged length from a torn tail.
constexpr uint16_t kVersion = 2;
constexpr uint32_t kMaxRecordBody = 65536;
constexpr uint64_t kMaxJournalSize = uint64_t(512) << 20;
constexpr size_t kMaxPathText = 1024;

enum RecordKind : uint8_t {
    kBegin = 1,
    kFolder = 2,
    kStaged = 3,
    kItem = 4,
    kFolderToRemove = 5,
    kCommit = 6,
    kAbort = 7,
    kStagedLink = 8,
};

enum ItemFlags : uint8_t {
    kReplace = 1,
    kClearReadOnly = 2,
    kHadOriginal = 4,
    kOriginalLink = 8,
    kTargetLink = 16,
    kKeepReadOnly = 32,
    kAllItemFlags = 63,
};

bool ValidToken(const std::string& token) {
    if (token.size() != 8) {
        return false;
    }
    for (char c : token) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// Paths below the backup folder may be longer than a payload path, and each half is checked.
bool ValidPath(const std::string& path, const std::string& backupRoot) {
    if (PathProblem(path).empty()) {
        return true;
    }
    const std::string prefix = backupRoot + "/";
    return !backupRoot.empty() && path.compare(0, prefix.size(), prefix) == 0 &&
           PathProblem(path.substr(prefix.size())).empty();
}

}  // namespace

JournalWriter::JournalWriter(FileSystem& fs, std::string path, std::string token,
                             std::string backupRoot)
    : m_fs(fs),
      m_path(std::move(path)),
      m_token(std::move(token)),
      m_backupRoot(std::move(backupRoot)) {}

bool JournalWriter::Append(const std::vector<uint8_t>& body, bool flush) {
    if (!m_file) {
        if (m_created) {
            return false;  // closed after a failure: nothing more may be recorded
        }
        m_file = m_fs.CreateNew(m_path);
        if (!m_file) {
            return false;
        }
        m_created = true;
        ByteWriter begin;
        begin.U8(kBegin);
        begin.U16(kVersion);
        begin.Text(m_token);
        begin.Text(m_backupRoot);
        if (!m_file->Write(kMagic, sizeof(kMagic)) || !Append(begin.Data(), false)) {
            m_file.reset();
            return false;
        }
    }
    ByteWriter record;
    record.U32(uint32_t(body.size()));
    record.U32(~uint32_t(body.size()));
    record.Bytes(body.data(), body.size());
    record.U32(Crc32(record.Data().data(), record.Data().size()));
    if (!m_file->Write(record.Data().data(), record.Data().size()) || (flush && !m_file->Flush())) {
        m_file.reset();
        return false;
    }
    return true;
}

bool JournalWriter::Prepared(const PreparedStep& step) {
    ByteWriter body;
    body.U8(step.folder ? kFolder : step.link ? kStagedLink : kStaged);
    body.Text(step.relative);
    return Append(body.Data(), false);
}

bool JournalWriter::Commit(const std::vector<PlannedChange>& plan,
                           const std::vector<std::string>& foldersToRemove) {
    for (const PlannedChange& change : plan) {
        ByteWriter body;
        body.U8(kItem);
        body.Text(change.relative);
        body.U8(uint8_t(
            (change.replace ? kReplace : 0) | (change.clearReadOnly ? kClearReadOnly : 0) |
            (change.hadOriginal ? kHadOriginal : 0) | (change.originalLink ? kOriginalLink : 0) |
            (change.targetLink ? kTargetLink : 0) | (change.keepReadOnly ? kKeepReadOnly : 0)));
        body.U32(change.asideNumber);
        if (change.hadOriginal) {
            body.U64(change.original.size);
            body.Hash(change.original.hash);
        }
        if (change.replace) {
            body.U64(change.target.size);
            body.Hash(change.target.hash);
        }
        if (!Append(body.Data(), false)) {
            return false;
        }
    }
    for (const std::string& folder : foldersToRemove) {
        ByteWriter body;
        body.U8(kFolderToRemove);
        body.Text(folder);
        if (!Append(body.Data(), false)) {
            return false;
        }
    }
    ByteWriter commit;
    commit.U8(kCommit);
    commit.U32(uint32_t(plan.size()));
    commit.U32(uint32_t(foldersToRemove.size()));
    return Append(commit.Data(), true);
}

bool JournalWriter::Abort() {
    ByteWriter body;
    body.U8(kAbort);
    return Append(body.Data(), true);
}

bool JournalWriter::Remove() {
    m_file.reset();
    if (!m_created) {
        return true;
    }
    if (!m_fs.RemoveFile(m_path) && m_fs.Stat(m_path).kind != NodeKind::Missing) {
        return false;
    }
    m_created = false;
    return true;
}

namespace {

// Parses one record body into `out`; false when it is malformed or out of order.
bool ParseRecord(ByteReader& in, bool first, JournalContents* out, std::string* why) {
    const uint8_t kind = in.U8();
    REFUSE_IF(first != (kind == kBegin),
              Refusal(why, first ? "it does not start with its header" : "a second header", false));
    REFUSE_IF(out->aborted || (out->committed && kind != kAbort),
              Refusal(why, "a record follows the end of the transaction", false));
    switch (kind) {
        case kBegin:
            REFUSE_IF(
                in.U16() != kVersion,
                Refusal(why, "it was written by another version of the update engine", false));
            out->token = in.Text(8);
            out->backupRoot = in.Text(kMaxPathText);
            REFUSE_IF(!ValidToken(out->token) ||
                          (!out->backupRoot.empty() && !PathProblem(out->backupRoot).empty()),
                      Refusal(why, "bad header", false));
            break;
        case kFolder:
        case kStaged:
        case kStagedLink: {
            REFUSE_IF(!out->plan.empty() || !out->foldersToRemove.empty(),
                      Refusal(why, "a prepared step follows the plan", false));
            PreparedStep step;
            step.folder = kind == kFolder;
            step.link = kind == kStagedLink;
            step.relative = in.Text(kMaxPathText);
            REFUSE_IF(!ValidPath(step.relative, step.folder ? out->backupRoot : std::string()),
                      Refusal(why, "an unsafe path", false));
            out->prepared.push_back(step);
            break;
        }
        case kItem: {
            PlannedChange change;
            change.relative = in.Text(kMaxPathText);
            const uint8_t flags = in.U8();
            change.asideNumber = in.U32();
            change.replace = (flags & kReplace) != 0;
            change.clearReadOnly = (flags & kClearReadOnly) != 0;
            change.hadOriginal = (flags & kHadOriginal) != 0;
            change.originalLink = (flags & kOriginalLink) != 0;
            change.targetLink = (flags & kTargetLink) != 0;
            change.keepReadOnly = (flags & kKeepReadOnly) != 0;
            if (change.hadOriginal) {
                change.original.present = true;
                change.original.size = in.U64();
                change.original.hash = in.Hash();
            }
            if (change.replace) {
                change.target.present = true;
                change.target.size = in.U64();
                change.target.hash = in.Hash();
            }
            REFUSE_IF(!PathProblem(change.relative).empty() || (flags & ~kAllItemFlags) != 0 ||
                          !out->foldersToRemove.empty(),
                      Refusal(why, "a bad plan entry", false));
            out->plan.push_back(change);
            break;
        }
        case kFolderToRemove:
            out->foldersToRemove.push_back(in.Text(kMaxPathText));
            REFUSE_IF(!PathProblem(out->foldersToRemove.back()).empty(),
                      Refusal(why, "an unsafe path", false));
            break;
        case kCommit:
            REFUSE_IF(in.U32() != out->plan.size() || in.U32() != out->foldersToRemove.size(),
                      Refusal(why, "the plan is incomplete", false));
            out->committed = true;
            break;
        case kAbort:
            REFUSE_IF(!out->committed, Refusal(why, "an abort before the commit", false));
            out->aborted = true;
            break;
        default:
            return Refusal(why, "an unknown record", false);
    }
    REFUSE_IF(!in.Ok() || !in.AtEnd(), Refusal(why, "a malformed record", false));
    return true;
}

bool AllZero(InputFile& file, uint64_t from) {
    uint8_t buffer[4096];
    for (uint64_t at = from; at < file.Size();) {
        size_t n = size_t(std::min<uint64_t>(sizeof(buffer), file.Size() - at));
        if (!file.ReadAt(at, buffer, n)) {
            return false;
        }
        for (size_t i = 0; i < n; ++i) {
            if (buffer[i] != 0) {
                return false;
            }
        }
        at += n;
    }
    return true;
}

}  // namespace

JournalStatus ReadJournal(FileSystem& fs, const std::string& path, JournalContents* contents,
                          std::string* why) {
    *contents = JournalContents();
    NodeInfo node = fs.Stat(path);
    if (node.kind == NodeKind::Missing) {
        return JournalStatus::Missing;
    }
    REFUSE_IF(node.kind != NodeKind::File,
              Refusal(why, "it is not a regular file", JournalStatus::Damaged));
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    REFUSE_IF(!file, Refusal(why, "it cannot be read (is another update running?)",
                             JournalStatus::Unreadable));
    const uint64_t size = file->Size();
    REFUSE_IF(size > kMaxJournalSize, Refusal(why, "it is too large", JournalStatus::Damaged));
    char magic[sizeof(kMagic)] = {};
    const size_t magicRead = size_t(std::min<uint64_t>(size, sizeof(kMagic)));
    REFUSE_IF(!file->ReadAt(0, magic, magicRead),
              Refusal(why, "it cannot be read", JournalStatus::Unreadable));
    REFUSE_IF(std::memcmp(magic, kMagic, magicRead) != 0,
              Refusal(why, "it is not an update journal", JournalStatus::Damaged));
    // A journal cut short while its header was written holds no change yet.
    std::vector<uint8_t> record;
    for (uint64_t at = magicRead; at < size;) {
        uint8_t head[8];
        if (size - at < sizeof(head)) {
            break;  // a length field torn at the end
        }
        REFUSE_IF(!file->ReadAt(at, head, sizeof(head)),
                  Refusal(why, "it cannot be read", JournalStatus::Unreadable));
        const uint32_t body = uint32_t(GetLe(head, 4));
        if (uint32_t(GetLe(head + 4, 4)) != ~body || body == 0 || body > kMaxRecordBody) {
            if (AllZero(*file, at)) {
                break;  // space the system had reserved for a write that never landed
            }
            return Refusal(why, "a record's length is damaged", JournalStatus::Damaged);
        }
        const uint64_t end = at + sizeof(head) + body + 4;
        if (end > size) {
            break;  // the last record was cut short by the kill
        }
        record.resize(sizeof(head) + body + 4);
        REFUSE_IF(!file->ReadAt(at, record.data(), record.size()),
                  Refusal(why, "it cannot be read", JournalStatus::Unreadable));
        const uint32_t crc = uint32_t(GetLe(record.data() + sizeof(head) + body, 4));
        REFUSE_IF(Crc32(record.data(), sizeof(head) + body) != crc,
                  Refusal(why, "a record fails its check", JournalStatus::Damaged));
        ByteReader in(record.data() + sizeof(head), body);
        if (!ParseRecord(in, at == sizeof(kMagic), contents, why)) {
            return JournalStatus::Damaged;
        }
        at = end;
    }
    return JournalStatus::Ok;
}

}  // namespace tpe
